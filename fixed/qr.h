// Householder QR solve of the small dense system S*x = b of the polynomial
// part of the spline (the terms 1, x, y, z), in the manner of LINPACK's
// SQRDC/SQRSL: the program's fixed interface, the module-level system
// qr_matrix and qr_rhs and the routines below, a thin binding over the
// routines of the numerics (dense_qr.h, which describes the storage, with
// qr_matrix as S, and the method).
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

// The steps of the solve, the routines of dense_qr.h (which lists their
// arguments) on the working matrix M of qr_matrix: qr_factor factors M in
// place, qr_forward_solve solves R'*y = vector in place, qr_apply_q replaces
// vector by Q*vector.
void qr_factor(int rows, int columns, float* scalars);
void qr_forward_solve(float* vector, int rows, int columns);
void qr_apply_q(const float* scalars, float* vector, int rows, int columns);

// Unit-stride vector operations; a count <= 0 does nothing (an empty norm or
// inner product is 0).
double vector_norm(const float* x, int count);                  // sqrt(x'*x), unscaled
double vector_dot(const float* x, const float* y, int count);   // x'*y
void vector_scale(float a, float* x, int count);                // x = a*x
void vector_axpy(float a, const float* x, float* y, int count); // y = a*x + y

#endif
