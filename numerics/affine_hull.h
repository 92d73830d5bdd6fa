// The affine hull of a cloud of control points: how many directions the cloud
// spans, and a frame of them, in which the fit forms its polynomial part when
// the points do not span space (fit.h) and the refinement always does
// (refinement.h).
#ifndef animation_core_affine_hull_h
#define animation_core_affine_hull_h

#include <cstddef>

namespace animation
{
namespace core
{
// The eigenvectors of the scatter matrix of the points about their centroid
// are the principal axes of the cloud, its eigenvalues the squared extents
// along them, and the condition of the polynomial system grows at least like
// the largest over the smallest. An axis whose eigenvalue is at most this
// ratio times the largest (a cloud thinner than 1e-4 of its length) is
// singular to single precision, and is taken as no extent of the cloud.
constexpr double planar_eigenvalue_ratio = 1e-8;

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

// The polynomial part over the hull: row 0 all 1, row j+1 the coordinates
// u_j = Axes[j].(p - Centroid) of the points along the hull, j < Dimension.
//   x, y, z  n entries each, in: the points
//   rows     (Dimension+1)*n entries, out: row k at rows + k*n
template<typename T>
void hull_rows(const affine_hull& hull,
               const float* x,
               const float* y,
               const float* z,
               int n,
               T* rows)
{
  for (int i = 0; i < n; ++i)
  {
    rows[i] = T(1);
    const double d[3] = { x[i] - hull.Centroid[0],
                          y[i] - hull.Centroid[1],
                          z[i] - hull.Centroid[2] };
    for (int j = 0; j < hull.Dimension; ++j)
    {
      const double u = hull.Axes[j][0] * d[0] + hull.Axes[j][1] * d[1] + hull.Axes[j][2] * d[2];
      rows[std::size_t(j + 1) * n + i] = static_cast<T>(u);
    }
  }
}

// The coefficients e of 1 and u_0 ... u_(Dimension-1) as the coefficients d
// of 1, x, y, z, and back:
//   e0 + sum_j e_j Axes[j].(x - Centroid) = d0 + d1 x + d2 y + d3 z.
//   e  Dimension+1 entries
//   d  4 entries
void monomials_from_hull(const affine_hull& hull, const double* e, double d[4]);
void hull_from_monomials(const affine_hull& hull, const double d[4], double* e);
}
}

#endif
