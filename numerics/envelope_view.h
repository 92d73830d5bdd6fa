// The envelope Cholesky kernels on storage handed to them. The layout of
// Diag, Xenv and Env and the method are those described in kernels/envelope.h;
// here the matrix is a view of arrays the caller owns, so any number of
// matrices can be factored and solved at once, on any threads.
#ifndef animation_core_envelope_view_h
#define animation_core_envelope_view_h

#include "progress_sink.h"

struct envelope_tile_kernel;

namespace animation
{
namespace core
{
// An n-by-n symmetric matrix in envelope storage; the arrays belong to the
// caller and must stay valid while the view is used.
struct envelope_view
{
  int n;           // number of equations, at least 1
  const int* Xenv; // n+1 entries, 1-based positions in Env
  float* Env;      // Xenv[n]-1 entries: the strictly lower envelope, then L
  float* Diag;     // n entries: the diagonal of A, then of L
};

// Factors A = L*L' in place.
//   a         in: Env and Diag in/out
//   progress  in: receives 1 + b(i)^2 units for row i; may be null
// Returns -1, or the first row whose pivot was not positive. A failure at row
// 0 changes nothing; a later one leaves that Diag entry at its input value
// and factors the rows after it with it. Runs on the threads of vtkSMPTools;
// the factor does not depend on their number.
int envelope_factor(const envelope_view& a, progress_sink* progress);

// envelope_factor with the given register tiles (kernels/envelope_tile.h).
int envelope_factor_tiled(const envelope_view& a,
                          const envelope_tile_kernel& kernel,
                          progress_sink* progress);

// Solves L*y = rhs in place (n entries, in/out).
void envelope_lower_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs);

// Solves L'*x = rhs in place; arguments as envelope_lower_solve.
void envelope_upper_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs);

// Solves A*x = rhs with the factor in a: the lower, then the upper solve.
//   rhs  n entries, in/out
void envelope_solve(const envelope_view& a, float* rhs);

// envelope_solve on count right-hand sides of n entries at once, each giving
// the same bits as alone; they pass through L in step, a block of rows at a
// time, spread over the threads of vtkSMPTools.
//   rhs  count pointers, in; each to n entries, in/out
void envelope_solve_many(const envelope_view& a, int count, float* const* rhs);
}
}

#endif
