// The fitted displacement field at one point, with its Jacobian: the one
// evaluation behind vtkShapeTransform's cache and every path of
// vtkCompactSplineTransform.
//
// The field of each coordinate a is
//
//   s_a(x) = sum_k w_a(k) phi(|x - p(k)|) + c_a0 + c_a1 x + c_a2 y + c_a3 z,
//
// the sum running over the control points p(k) within R of x and phi one of
// the basis functions of basis_function.h. The polynomial part is evaluated
// at every point, inside the supports or not, so that the field is
// continuous: beyond every support it is the affine part alone (0 when the
// fit has none). Its Jacobian J(a, b) = ds_a/dx_b is
//
//   J(a, b) = sum_k w_a(k) dphi/dx_b + c_a(b+1),
//
// with dphi/dx_b as basis_function.h gives it, 0 at the quadratic
// function's cusp.
#ifndef spline_field_h
#define spline_field_h

#include "fit_options.h"

#include <vtkType.h>

#include <cmath>

class vtkPoints;

namespace animation
{
namespace core
{
// A fitted field as the solver leaves it: coefficients in list order, in
// single precision (the program's solver) or double precision (a refined fit).
template<typename Real>
struct spline_field_of
{
  double Radius;                        // support radius R
  vtkPoints* Controls;                  // the control points p(k), nc of them
  const float* ControlCoords;           // their 3*nc float coordinates, or null to read Controls
  const Real* Coeff[3];                 // nc + 4 entries each: weights in list order, c_a0 ... c_a3
  const int* UnList;                    // control point id -> list position (index of its weight)
  animation::core::basis_kernel Kernel; // the basis function phi
};
using spline_field = spline_field_of<float>;

// Evaluates the field at x from the ids of the control points within R of x.
//   field     in
//   x         3 entries, in: the point
//   ids       count entries, in: the control point ids found within R of x,
//             in the order in which their terms are added
//   count     in: 0 when no control point lies within R (the polynomial part alone)
//   s         3 entries, out: the displacement, summed in double precision
//   jacobian  3x3, out: J(a, b) = ds_a/dx_b; may be null when not wanted
//   distances2  count entries, in: the squared distances |x - p|^2 of the
//             control points, as (x0-p0)^2 + (x1-p1)^2 + (x2-p2)^2 in double
//             precision; may be null, and they are computed so
template<typename Real>
void evaluate_spline_field(const spline_field_of<Real>& field,
                           const double x[3],
                           const vtkIdType* ids,
                           vtkIdType count,
                           double s[3],
                           double jacobian[3][3],
                           const double* distances2 = nullptr);

// The normal of a surface after a map with derivative m at the point: the
// inverse transpose of m applied to the normal, renormalised. The cofactor
// matrix of m, whose rows are the cross products of the rows of m in cyclic
// order, is det(m) times the inverse transpose, so the normal is formed with
// the cofactors and no division by det(m); the sign of det(m) keeps the
// orientation. A result of length 0 or not finite (a degenerate m) leaves the
// normal as it was.
//   m       3x3, in: the derivative of the map at the point
//   normal  3 entries, in/out
template<typename T>
inline void transform_normal(const T m[3][3], T normal[3])
{
  const T c[3][3] = { { m[1][1] * m[2][2] - m[1][2] * m[2][1],
                        m[1][2] * m[2][0] - m[1][0] * m[2][2],
                        m[1][0] * m[2][1] - m[1][1] * m[2][0] },
                      { m[2][1] * m[0][2] - m[2][2] * m[0][1],
                        m[2][2] * m[0][0] - m[2][0] * m[0][2],
                        m[2][0] * m[0][1] - m[2][1] * m[0][0] },
                      { m[0][1] * m[1][2] - m[0][2] * m[1][1],
                        m[0][2] * m[1][0] - m[0][0] * m[1][2],
                        m[0][0] * m[1][1] - m[0][1] * m[1][0] } };
  const T n[3] = { c[0][0] * normal[0] + c[0][1] * normal[1] + c[0][2] * normal[2],
                   c[1][0] * normal[0] + c[1][1] * normal[1] + c[1][2] * normal[2],
                   c[2][0] * normal[0] + c[2][1] * normal[1] + c[2][2] * normal[2] };
  const T determinant = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
  const T length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > T(0)) || !std::isfinite(length))
  {
    return;
  }
  const T scale = determinant < T(0) ? T(-1) / length : T(1) / length;
  normal[0] = n[0] * scale;
  normal[1] = n[1] * scale;
  normal[2] = n[2] * scale;
}

// A normal carried by x -> x - b s(x) for many blend factors b with one Jacobian J: by the
// Cayley-Hamilton theorem, with t = tr J and sigma = (t^2 - tr J^2) / 2,
//
//   cof(I - b J) = I + b (J' - t I) + b^2 (sigma I - t J' + J'^2),
//   det(I - b J) = 1 - b t + b^2 sigma - b^3 det J,
//
// so cof(I - b J) n = n + b u1 + b^2 u2 with u1 = J'n - t n and u2 = sigma n - t J'n + J'(J'n).
// normal_terms() forms u1, u2, t, sigma and det J once (in double precision); blend_normals()
// then costs two multiply-adds per component, the determinant's sign and the renormalisation.
//   jacobian  9 entries, in: J row by row
//   normal    3 entries, in: n
//   terms     9 entries, out: u1, u2, t, sigma, det J
void normal_terms(const float jacobian[9], const float normal[3], float terms[9]);

// The normals of transform_normal() for m = I - blend * J(i), i = 0 ... n-1, from the normals n(i)
// and their terms. The terms are stored as nine planes of n floats (plane k holds term k of
// every normal), so that the loop reads every array with unit stride and runs on vector
// registers; it is compiled for AVX-512, AVX2 and the baseline, chosen at the first call.
// Every operation is a single IEEE operation, so each version gives the same bits. A normal whose
// carried length is 0 or not finite (a degenerate m) is left as it was; the sign of det(m) keeps
// the orientation.
//   n       in: number of normals
//   terms   9*n entries, in: plane k = terms k of normal_terms() for normals 0 ... n-1
//   blend   in
//   in      3*n entries, in: the normals n(i), x y z by x y z
//   out     3*n entries, out: the carried normals; must not overlap in or terms
void blend_normals(vtkIdType n, const float* terms, float blend, const float* in, float* out);

// m = I - blend * jacobian: the derivative of x -> x - blend * s(x).
template<typename T>
inline void blended_derivative(const T jacobian[9], T blend, T m[3][3])
{
  for (int a = 0; a < 3; ++a)
  {
    for (int b = 0; b < 3; ++b)
    {
      m[a][b] = (a == b ? T(1) : T(0)) - blend * jacobian[3 * a + b];
    }
  }
}
}
}

#endif
