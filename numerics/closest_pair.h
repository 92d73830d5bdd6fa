// Why an interpolation matrix is not positive definite. The matrix
// A(i,j) = phi(|p(i) - p(j)|) loses its positive definiteness in single
// precision in two ways: two control points share a position (two equal
// rows), or the support radius is so large beside the spacing of the points
// that every phi of their distances lies near phi(0) = 1. A is then close to
// the matrix of all ones, of rank one: its pivots after the first are of the
// order of 1 - phi, and once that is within a few thousand rounding steps of
// a float the factorisation cannot tell them from zero. Both show in the
// closest pair of points, which is what a caller needs to name the cause.
#ifndef animation_core_closest_pair_h
#define animation_core_closest_pair_h

#include "fit_options.h"

#include <vtkType.h>

namespace animation
{
namespace core
{
// The closest two of the n points, and how their basis value compares.
struct closest_pair
{
  vtkIdType First = -1;  // the smaller id of the pair, -1 for fewer than two points
  vtkIdType Second = -1; // the larger id
  double Distance = 0.0; // |p(First) - p(Second)|
  // 1 - phi(Distance) < nearly_one_basis_value: the rows of the pair agree
  // in all but the last few bits that a float holds.
  bool NearlySameBasisValue = false;
};

// About 800 single-precision steps below 1.
constexpr double nearly_one_basis_value = 1e-4;

// Finds the closest pair of points.
//   n       in: points
//   points  3*n entries, in: x y z of each point
//   radius  in: the support radius R > 0, in the units of points
//   kernel  in: the basis function
closest_pair find_closest_pair(vtkIdType n,
                               const float* points,
                               double radius,
                               basis_kernel kernel);
}
}

#endif
