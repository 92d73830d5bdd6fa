// Householder QR solve of the small dense system S*x = b of the polynomial
// part, in the manner of LINPACK's SQRDC/SQRSL, on a matrix and right-hand
// side the caller passes, so that any number of solves can run at once.
//
// Storage: the matrix holds S row by row, S(r,c) at position r*qr_order + c.
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
// Each routine exists for T = float, the single-precision fit, and
// T = double, the correction steps of its refinement (refinement.h); norms
// and inner products are accumulated in double precision either way, and
// every quotient or update is rounded to T.
#ifndef animation_core_dense_qr_h
#define animation_core_dense_qr_h

namespace animation
{
namespace core
{
// Order of the system: the four polynomial terms.
constexpr int qr_size = 4;

// Solves S*x = b. A smaller system, of the polynomial part reduced to the
// affine functions of points that do not span space, is held compactly.
//   matrix  order*order entries, in/out: S row by row, then its factors
//   rhs     order entries, in/out: b, then x
//   order   in: 1 ... qr_size
template<typename T>
void qr_solve(T* matrix, T* rhs, int order = qr_size);

// Factors the working matrix M (M(r,k) at k*rows + r) in place.
//   matrix   rows*columns entries, in/out
//   rows     in, at most qr_size
//   columns  in, at most rows
//   scalars  columns entries, out: leading components of the reflections
template<typename T>
void qr_factor(T* matrix, int rows, int columns, T* scalars);

// Solves R'*y = vector in place with the R that qr_factor left in matrix.
template<typename T>
void qr_forward_solve(const T* matrix, T* vector, int rows, int columns);

// Replaces vector (rows entries) by Q*vector.
template<typename T>
void qr_apply_q(const T* matrix, const T* scalars, T* vector, int rows, int columns);

// Unit-stride vector operations; a count <= 0 does nothing.
template<typename T>
double vector_norm(const T* x, int count); // sqrt(x'*x), unscaled
template<typename T>
double vector_dot(const T* x, const T* y, int count); // x'*y
template<typename T>
void vector_scale(T a, T* x, int count); // x = a*x
template<typename T>
void vector_axpy(T a, const T* x, T* y, int count); // y = a*x + y
}
}

#endif
