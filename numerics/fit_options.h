// How a field is fitted: the support radius, the basis function, whether the
// field has its polynomial part, and the smoothing. They travel together from
// the scene file (or the library's setters) to the fit and to the evaluation
// of the field.
#ifndef animation_core_fit_options_h
#define animation_core_fit_options_h

#include <cstdint>

namespace animation
{
namespace core
{
// The radial basis function phi(r), zero for r >= R: quadratic, with a cusp
// at r = 0, or Wendland's C2 function. Both are positive definite in three
// dimensions and equal 1 at r = 0 (basis_function.h gives their formulas).
enum class basis_kernel
{
  quadratic,
  wendland
};

struct fit_options
{
  float Radius = 0.5f; // support radius R, in the units of the control points
  basis_kernel Kernel = basis_kernel::quadratic;
  // With the polynomial part, the field reproduces affine motions and the
  // weights satisfy P*c = 0; without it, c = inv(A + lambda I) b and the
  // field is 0 beyond every support.
  bool Polynomial = true;
  // lambda >= 0: the fit solves (A + lambda I) c + P' d = b, an
  // approximation of the values at the control points instead of an
  // interpolation.
  double Smoothing = 0.0;
  // Every fit refuses, before any ordering, a matrix that the estimate of
  // envelope_estimate.h finds larger than its 32-bit offsets address or, when
  // MemoryLimit is not negative, larger than MemoryLimit bytes. The caller
  // knows the memory available; the fit reads nothing of the machine.
  std::int64_t MemoryLimit = -1;
  // The fit is refined in mixed precision (refinement.h) when the landmark
  // residual of its single-precision solution exceeds this fraction of the
  // largest landmark move. 0 refines every fit with any residual; the
  // program keeps the single-precision fit up to 1e-4.
  double RefineAbove = 0.0;
};
}
}

#endif
