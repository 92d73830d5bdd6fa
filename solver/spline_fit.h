// The fit behind vtkMatrixSolver::Solve(), for callers that hold the control
// points themselves (vtkCompactSplineTransform) and want no report lines.
#ifndef spline_fit_h
#define spline_fit_h

#include "spline_options.h"

#include <ostream>

class vtkPoints;

// Fits, for each coordinate, the weights c and the polynomial coefficients d
// of s(q) = sum_i c(i) phi(|q - p(i)|) + d0 + d1 qx + d2 qy + d3 qz to the
// values given at the control points: envelope assembly in list order,
// envelope Cholesky, and the polynomial part eliminated through the 4x4 QR
// solve, or a smaller one when the points do not span space
// (vtkMatrixSolver.cxx explains the block elimination).
//
//   points      in: the n >= 1 control points (source positions)
//   list        n entries, in: list position -> point id, the well-ordered list
//   max         in: two points closer than radius lie at most max positions apart
//   radius      in: support radius R of phi
//   options     in: the basis function, whether there is a polynomial part
//               (d = 0 without) and the smoothing lambda >= 0
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
                const spline_options& options,
                float* bx,
                float* by,
                float* bz,
                float polynomial[3][4],
                std::ostream* report);

#endif
