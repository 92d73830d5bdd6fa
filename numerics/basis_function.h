// The radial basis functions of the spline and their derivatives, shared by
// the assembly of the interpolation matrix and the evaluation of the field.
//
// With t = r/R and r = |x - p|, for r < R:
//
//   quadratic  phi = (1 - t)^2
//              dphi/dx_b = -2 (1 - t) / (R r) (x_b - p_b)       (r > 0)
//   wendland   phi = (1 - t)^4 (4t + 1)
//              dphi/dx_b = -20 (1 - t)^3 / R^2 (x_b - p_b)
//
// and phi = 0 beyond. The quadratic function has a cusp at r = 0 (its
// one-sided slopes are -2/R in every direction); its gradient term there is
// taken as 0, the mean of the one-sided slopes of any line through the
// control point. Wendland's function is twice continuously differentiable
// everywhere, with a zero gradient at r = 0.
//
// Values are formed in double precision; callers round to float where they
// store them.
#ifndef animation_core_basis_function_h
#define animation_core_basis_function_h

#include "fit_options.h"

namespace animation
{
namespace core
{
// phi(r) for 0 <= r < R; the caller makes the r < R test.
//   kernel  in
//   r       in: the distance, the square root of the squared distance
//   radius  in: R > 0
inline double basis_value(basis_kernel kernel, double r, double radius)
{
  const double t = 1.0 - r / radius;
  if (kernel == basis_kernel::wendland)
  {
    const double t2 = t * t;
    return t2 * t2 * (4.0 * (r / radius) + 1.0);
  }
  return t * t;
}

// g(r) with dphi/dx_b = g(r) (x_b - p_b), for 0 <= r < R.
inline double basis_gradient_factor(basis_kernel kernel, double r, double radius)
{
  const double t = 1.0 - r / radius;
  if (kernel == basis_kernel::wendland)
  {
    return -20.0 * t * t * t / (radius * radius);
  }
  return r > 0.0 ? -2.0 * t / (radius * r) : 0.0;
}
}
}

#endif
