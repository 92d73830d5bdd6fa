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
// Values are stored as 32-bit floats; pivots and inner products are
// accumulated in double precision and rounded to float when stored.
//
// The factorisation borders one row at a time: with the leading i-by-i block
// already factored, row i of L solves L(f:i-1, f:i-1) * l = A(i, f:i-1)' by a
// forward substitution on the block of rows f ... i-1 (f = i - b(i)), and
// L(i,i) = sqrt(A(i,i) - l'*l). A solve is a forward substitution with L and a
// backward substitution with L'. Both substitutions skip work on zeros of the
// right-hand side.
//
// Every inner product is accumulated in double precision in increasing
// column order and rounded once, and the factor is defined by that order.
// envelope_factor (envelope_factor.cxx) computes the same sums blocked: many
// rows of a group at once, in register tiles that use each loaded entry of L
// many times, on every core (envelope_tile.h); the forward substitution of a
// solve takes eight rows at a time, their sums side by side, two to a vector
// register. Neither changes the order of any sum, so every stored value is
// rounded exactly as by the plain row-by-row method, on any processor and
// for any number of threads.
//
// The kernels themselves work on the arrays handed to them
// (deformation/core/envelope_view.h), so that any number of matrices can be
// factored at once. The module-level matrix `envelope`, envelope_solve() and
// the routines below are the program's fixed interface to them, a thin
// binding: they hold no arithmetic of their own.
#ifndef envelope_h
#define envelope_h

#include <cstdint>

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

// Mode 2 of envelope_solve on count right-hand sides of n entries each, at
// once: each is overwritten by its solution, the same bits as alone. They
// pass through L in step, a block of rows at a time, so that each block is
// read from memory once for all of them, and they are spread over the
// threads of vtkSMPTools.
//   count  in
//   rhs    count pointers, in; each to n entries, in/out
void envelope_solve_many(int count, float* const* rhs);

// Factors A = L*L' in place.
//   n      in
//   Xenv   n+1 entries, in
//   Env    Xenv[n]-1 entries, in/out: A's envelope, then L's
//   Diag   n entries, in/out: A's diagonal, then L's
//   Iflag  out: set to 1 on a pivot that is not positive, never reset to 0
//
// Row i reports 1 + b(i)^2 units of work to the open progress stage, about
// its share of the operations; the kernel prints nothing itself.
//
// A first diagonal entry that is not positive stops the factorisation with
// nothing changed. A later failed pivot leaves its Diag entry at the input
// value, and the rows after it are still factored with that value. Runs on
// the threads of vtkSMPTools (at most VTK_SMP_MAX_THREADS when it is set);
// the result does not depend on their number.
void envelope_factor(int n, const int* Xenv, float* Env, float* Diag, int* Iflag);

// The work of factoring rows first ... last-1, in the units the factorisation
// reports to the progress line: 1 + b(i)^2 for row i of bandwidth b(i).
//   Xenv   in: at least last+1 entries
std::int64_t envelope_factor_work(const int* Xenv, int first, int last);

// Solves L*y = rhs in place.
//   n      in
//   Xenv   n+1 entries, in
//   Env    in: the whole envelope; Xenv holds positions in it
//   Diag   n entries, in
//   rhs    n entries, in/out
void envelope_lower_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs);

// Solves L'*x = rhs in place; arguments as envelope_lower_solve.
void envelope_upper_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs);

#endif
