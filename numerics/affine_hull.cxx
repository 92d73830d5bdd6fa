#include "affine_hull.h"

#include <vtkMath.h>

#include <algorithm>
#include <cmath>

namespace animation
{
namespace core
{
affine_hull find_affine_hull(const float* x, const float* y, const float* z, int n)
{
  const float* coordinates[3] = { x, y, z };
  affine_hull hull = { 3, { 0.0, 0.0, 0.0 }, {}, {} };
  for (int a = 0; a < 3; ++a)
  {
    for (int i = 0; i < n; ++i)
    {
      hull.Centroid[a] += coordinates[a][i];
    }
    hull.Centroid[a] /= n;
  }
  double scatter[3][3] = {};
  for (int i = 0; i < n; ++i)
  {
    double d[3];
    for (int a = 0; a < 3; ++a)
    {
      d[a] = coordinates[a][i] - hull.Centroid[a];
    }
    for (int a = 0; a < 3; ++a)
    {
      for (int b = 0; b < 3; ++b)
      {
        scatter[a][b] += d[a] * d[b];
      }
    }
  }
  // The eigenvectors are the columns of the result.
  double eigenvalues[3];
  double eigenvectors[3][3];
  vtkMath::Diagonalize3x3(scatter, eigenvalues, eigenvectors);
  if (!std::isfinite(eigenvalues[0] + eigenvalues[1] + eigenvalues[2]))
  {
    return hull;
  }
  const double largest = std::max({ eigenvalues[0], eigenvalues[1], eigenvalues[2] });
  hull.Dimension = 0;
  for (int k = 0; k < 3; ++k)
  {
    if (eigenvalues[k] > planar_eigenvalue_ratio * largest)
    {
      for (int b = 0; b < 3; ++b)
      {
        hull.Axes[hull.Dimension][b] = eigenvectors[b][k];
      }
      hull.Extents[hull.Dimension] = std::sqrt(eigenvalues[k] / n);
      ++hull.Dimension;
    }
  }
  return hull;
}

void monomials_from_hull(const affine_hull& hull, const double* e, double d[4])
{
  d[0] = e[0];
  d[1] = d[2] = d[3] = 0.0;
  for (int j = 0; j < hull.Dimension; ++j)
  {
    for (int b = 0; b < 3; ++b)
    {
      d[b + 1] += e[j + 1] * hull.Axes[j][b];
      d[0] -= e[j + 1] * hull.Axes[j][b] * hull.Centroid[b];
    }
  }
}

void hull_from_monomials(const affine_hull& hull, const double d[4], double* e)
{
  e[0] = d[0];
  for (int b = 0; b < 3; ++b)
  {
    e[0] += d[b + 1] * hull.Centroid[b];
  }
  for (int j = 0; j < hull.Dimension; ++j)
  {
    e[j + 1] = 0.0;
    for (int b = 0; b < 3; ++b)
    {
      e[j + 1] += hull.Axes[j][b] * d[b + 1];
    }
  }
}
}
}
