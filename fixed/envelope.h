// The program's fixed interface to the envelope Cholesky kernels of the
// numerics (envelope_view.h, which describes the storage and the method): the
// module-level matrix `envelope`, envelope_solve() and the routines below, a
// thin binding that holds no arithmetic of its own.
#ifndef envelope_h
#define envelope_h

#include "envelope_tile.h"
#include "envelope_view.h"

struct envelope_matrix
{
  int n;       // number of equations, at least 1
  float* Diag; // n entries
  int* Xenv;   // n+1 entries, 1-based positions in Env
  float* Env;  // Xenv[n]-1 entries
  int Iflag;   // 0: no failure; 1: a pivot that was not positive was met
};

// The one envelope matrix of the program; its arrays belong to the caller.
extern envelope_matrix envelope;

// Drives the kernels on `envelope`.
//   mode  in   0: factor, then solve; 1: factor only; 2: solve with the
//              existing factor; any other value: nothing
//   rhs   n entries, in/out: the right-hand side, overwritten by the solution
//              in modes 0 and 2; not used in mode 1
// Modes 0 and 1 print "Matrix is not positive  Iflag =1" when the factorisation
// fails. Returns envelope.Iflag.
int envelope_solve(int mode, float* rhs);

// Mode 2 of envelope_solve on count right-hand sides at once, the same bits
// as alone (animation::core::envelope_solve_many).
//   rhs    count pointers, in; each to n entries, in/out
void envelope_solve_many(int count, float* const* rhs);

// Factors A = L*L' in place (animation::core::envelope_factor), its work
// reported to the open progress stage; throws std::bad_alloc when its work
// storage cannot be obtained.
//   Iflag  out: set to 1 on a pivot that is not positive, never reset to 0
void envelope_factor(int n, const int* Xenv, float* Env, float* Diag, int* Iflag);

// Solve L*y = rhs and L'*x = rhs in place: the numerics' routines themselves
// (envelope_view.h).
using animation::core::envelope_lower_solve;
using animation::core::envelope_upper_solve;

// envelope_factor with the given tiles, for the tests and the benchmark that
// compare them (envelope_tile.h).
void envelope_factor_tiled(int n,
                           const int* Xenv,
                           float* Env,
                           float* Diag,
                           int* Iflag,
                           const animation::core::envelope_tile_kernel& kernel);

#endif
