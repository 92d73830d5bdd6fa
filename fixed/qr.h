// Householder QR solve of the small dense system S*x = b of the polynomial
// part of the spline (the terms 1, x, y, z), in the manner of LINPACK's
// SQRDC/SQRSL.
//
// Storage: qr_matrix holds S row by row, S(r,c) at position r*qr_order + c.
// The routines read the same storage by columns of a working matrix M, with
// M(r,k) at position k*rows + r; so M = S'. The solve factors M = Q*R and
// forms x = Q * inv(R') * b, which satisfies M'*x = S*x = b.
//
// After qr_factor, column k of the storage holds R(0:k, k) at and above the
// diagonal and, below it, the trailing components of reflection k, whose
// leading component is scalars[k]. Reflection k is H(k) = I - u*u'/u(0); only
// reflections 0 ... columns-2 exist, the last column is reduced by the others.
// Q = H(0)*H(1)*...*H(columns-2).
//
// A column whose remaining part is zero ends the factorisation: its scalar
// and the later ones are 0, and the zero diagonal entry of R makes the
// solution infinite or not a number. A singular S is not otherwise detected.
//
// Values are 32-bit floats; norms and inner products are accumulated in
// double precision and every quotient or update is rounded to float.
//
// The routines of deformation/core/dense_qr.h do the work on a matrix handed
// to them; the module-level system and the routines below are the program's
// fixed interface to them, a thin binding.
#ifndef qr_h
#define qr_h

// Order of the system: the four polynomial terms.
constexpr int qr_order = 4;

// The module-level system: the caller writes S and b, qr_solve() overwrites
// the matrix with its factors and the right-hand side with the solution.
extern float qr_matrix[qr_order * qr_order];
extern float qr_rhs[qr_order];

// Solves S*x = b held in qr_matrix and qr_rhs.
void qr_solve();

// Factors the working matrix M of qr_matrix in place.
//   rows     in, at most qr_order
//   columns  in, at most rows
//   scalars  columns entries, out: leading components of the reflections
void qr_factor(int rows, int columns, float* scalars);

// Solves R'*y = vector in place with the R left in qr_matrix by qr_factor.
//   vector   columns entries, in/out
//   rows     in
//   columns  in
void qr_forward_solve(float* vector, int rows, int columns);

// Replaces vector by Q*vector with the reflections of qr_factor.
//   scalars  columns entries, in
//   vector   rows entries, in/out
//   rows     in
//   columns  in
void qr_apply_q(const float* scalars, float* vector, int rows, int columns);

// Unit-stride vector operations; a count <= 0 does nothing (an empty norm or
// inner product is 0).
double vector_norm(const float* x, int count);                  // sqrt(x'*x), unscaled
double vector_dot(const float* x, const float* y, int count);   // x'*y
void vector_scale(float a, float* x, int count);                // x = a*x
void vector_axpy(float a, const float* x, float* y, int count); // y = a*x + y

#endif
