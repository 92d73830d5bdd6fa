// The choices that define the fitted field besides the control points and
// the support radius. They travel together from the scene file (or the
// library's setters) to the fit and to the evaluation of the field.
#ifndef spline_options_h
#define spline_options_h

// The radial basis function phi(r), t = r/R, zero for r >= R:
//   quadratic  (1 - t)^2, continuous, with a cusp at r = 0;
//   wendland   (1 - t)^4 (4t + 1), Wendland's C2 function, smooth at r = 0.
// Both are positive definite in three dimensions and equal 1 at r = 0.
enum class basis_kernel
{
  quadratic,
  wendland
};

struct spline_options
{
  basis_kernel Kernel = basis_kernel::quadratic;
  // With the polynomial part, the field reproduces affine motions and the
  // weights satisfy P*c = 0; without it, c = inv(A + lambda I) b and the field
  // is 0 beyond every support.
  bool Polynomial = true;
  // lambda >= 0: the fit solves (A + lambda I) c + P' d = b, an approximation
  // of the values at the control points instead of an interpolation.
  double Smoothing = 0.0;
};

#endif
