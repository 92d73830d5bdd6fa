// The fit behind vtkMatrixSolver::Solve(), for callers that hold the control
// points themselves (vtkCompactSplineTransform) and want no report lines.
#ifndef spline_fit_h
#define spline_fit_h

#include <ostream>

class vtkPoints;

// Fits, for each coordinate, the weights c and the polynomial coefficients d
// of s(q) = sum_i c(i) phi(|q - p(i)|) + d0 + d1 qx + d2 qy + d3 qz to the
// values given at the control points: envelope assembly in list order,
// envelope Cholesky, and the polynomial part eliminated through the 4x4 QR
// solve (vtkMatrixSolver.cxx explains the block elimination).
//
//   points      in: the n >= 1 control points (source positions)
//   list        n entries, in: list position -> point id, the well-ordered list
//   max         in: two points closer than radius lie at most max positions apart
//   radius      in: support radius R of phi
//   bx, by, bz  n entries each, in/out: the values at the control points in
//               list order, then the weights c in list order
//   polynomial  out: d0 ... d3 of x, y and z
//   report      in: stream for the construction, size and solving-time lines,
//               or null for none
//
// Throws the text messages documented with vtkMatrixSolver::Solve(). Uses the
// module-level envelope matrix and QR system: one fit at a time.
void fit_spline(vtkPoints* points,
                const int* list,
                int max,
                float radius,
                float* bx,
                float* by,
                float* bz,
                float polynomial[3][4],
                std::ostream* report);

// The same fit for several sets of values at the same control points: the
// matrix is assembled and factored once, and each set costs three envelope
// solves and three 4x4 solves with the same factor.
//
//   sets         in: number of value sets, >= 1
//   values       3*sets arrays of n entries, in/out: x, y, z of set 0, then of
//                set 1, ...: the values in list order, then the weights
//   polynomials  3*sets rows, out: d0 ... d3 of each array of values
//
// The other arguments, the failures and the shared storage are fit_spline's.
void fit_spline_sets(vtkPoints* points,
                     const int* list,
                     int max,
                     float radius,
                     int sets,
                     float* const* values,
                     float (*polynomials)[4],
                     std::ostream* report);

#endif
