// The affine hull of a cloud of control points: how many directions the cloud
// spans, and a frame of them. The polynomial part of the fit is 1, x, y, z
// only when the points span space; over points in a plane or on a line those
// functions are linearly dependent, and the fit reduces them to the affine
// functions of the hull (fit.h). The frame also serves the refinement
// (refinement.h), which forms the polynomial part in the coordinates of the
// cloud's principal axes.
#ifndef animation_core_affine_hull_h
#define animation_core_affine_hull_h

namespace animation
{
namespace core
{
// The eigenvalues of the scatter matrix of the control points are the
// squared extents of the cloud along its principal axes, and the condition
// of the polynomial system grows at least like the largest over the smallest.
// Below this ratio (a cloud thinner than 1e-4 of its length) the system is
// singular to single precision, and the axis counts as no extent of the cloud.
constexpr double planar_eigenvalue_ratio = 1e-8;

// The eigenvectors of the scatter matrix of the points about their centroid
// are the principal axes of the cloud; an axis whose eigenvalue is at most
// planar_eigenvalue_ratio times the largest is taken as no extent.
struct affine_hull
{
  int Dimension;      // 0 (one point) ... 3 (the points span space)
  double Centroid[3]; // the mean of the points
  double Axes[3][3];  // Axes[0 ... Dimension-1]: unit directions of the hull
  double Extents[3];  // Extents[j]: the root-mean-square distance of the points along Axes[j]
};

// The affine hull of n points. Coordinates that are not finite give
// Dimension 3, so that the fit keeps its full polynomial part and reports
// coefficients that are not finite.
//   x, y, z  n entries each, in
//   n        in, >= 1
affine_hull find_affine_hull(const float* x, const float* y, const float* z, int n);
}
}

#endif
