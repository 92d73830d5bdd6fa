// Envelope (profile) Cholesky factorisation A = L*L' and the two triangular
// solves of a sparse symmetric positive definite matrix.
//
// Storage of an n-by-n matrix, rows and columns counted from 0:
//
//   Diag[0..n-1]  the diagonal of A; after envelope_factor the diagonal of L.
//   Xenv[0..n]    1-based start positions of the rows in Env: Xenv[0] = 1, and
//                 row i holds b(i) = Xenv[i+1] - Xenv[i] entries, its row
//                 bandwidth. Xenv[n] - 1 is the length of Env.
//   Env[...]      the strictly lower envelope, row after row: row i stores
//                 A(i, i-b(i)) ... A(i, i-1) in increasing column order at
//                 positions Xenv[i]-1 ... Xenv[i+1]-2. Zeros between the first
//                 column of the row and the diagonal are stored.
//
// b(0) = 0 and b(i) <= i. Only the lower triangle is held. The envelope of L
// equals the envelope of A, so the factor overwrites A with no fill-in storage.
//
// The factorisation borders one row at a time: with the leading i-by-i block
// already factored, row i of L solves L(f:i-1, f:i-1) * l = A(i, f:i-1)' by a
// forward substitution on the block of rows f ... i-1 (f = i - b(i)), and
// L(i,i) = sqrt(A(i,i) - l'*l). A solve is a forward substitution with L and a
// backward substitution with L'. Both substitutions skip work on zeros of the
// right-hand side.
//
// Values are stored as 32-bit floats. Every inner product is accumulated in
// double precision in increasing column order and rounded once, and the
// factor is defined by that order. envelope_factor computes the same sums
// blocked, in register tiles on every core (envelope_factor.cxx,
// envelope_tile.h); the forward substitution of a solve takes eight rows at a
// time, their sums side by side. Neither changes the order of any sum, so
// every stored value is rounded exactly as by the plain row-by-row method,
// on any processor and for any number of threads.
#ifndef animation_core_envelope_view_h
#define animation_core_envelope_view_h

#include "progress_sink.h"

#include <cstdint>

namespace animation
{
namespace core
{
struct envelope_tile_kernel;

// An n-by-n symmetric matrix in envelope storage. The arrays belong to the
// caller and must stay valid while the view is used; any number of matrices
// can be factored and solved at once, on any threads.
struct envelope_view
{
  int n;           // number of equations, at least 1
  const int* Xenv; // n+1 entries, 1-based positions in Env
  float* Env;      // Xenv[n]-1 entries: the strictly lower envelope, then L
  float* Diag;     // n entries: the diagonal of A, then of L
};

// envelope_factor's answer when its work storage cannot be obtained; the
// matrix is then left partly factored.
constexpr int envelope_no_memory = -2;

// Factors A = L*L' in place.
//   a         in: Env and Diag in/out
//   progress  in: receives 1 + b(i)^2 units for row i; may be null
// Returns -1, envelope_no_memory, or the first row whose pivot was not
// positive. A failure at row 0 changes nothing; a later one leaves that Diag
// entry at its input value and factors the rows after it with it. Runs on the threads of vtkSMPTools;
// the factor does not depend on their number.
int envelope_factor(const envelope_view& a, progress_sink* progress);

// envelope_factor with the given register tiles (envelope_tile.h).
int envelope_factor_tiled(const envelope_view& a,
                          const envelope_tile_kernel& kernel,
                          progress_sink* progress);

// The work of factoring rows first ... last-1, in the units envelope_factor
// reports: 1 + b(i)^2 for row i of bandwidth b(i).
//   Xenv   in: at least last+1 entries
std::int64_t envelope_factor_work(const int* Xenv, int first, int last);

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
