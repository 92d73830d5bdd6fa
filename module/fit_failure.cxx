#include "fit_failure.h"

#include "closest_pair.h"
#include "envelope_estimate.h"

#include <vtkPoints.h>

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <sstream>
#include <string>

namespace animation
{
std::string DescribeFailedFit(const core::outcome& failed,
                              vtkPoints* sources,
                              const float* fitted,
                              const landmark_frame& frame,
                              core::basis_kernel kernel,
                              double supportRadius)
{
  const vtkIdType count = sources->GetNumberOfPoints();
  std::ostringstream text;
  switch (failed.Code)
  {
    case core::status::too_large_for_memory:
      text << "the interpolation matrix of " << count << " landmarks would take about "
           << core::MatrixBytes(failed.Where, static_cast<int>(count)) / 1048576
           << " MiB, but only " << static_cast<std::int64_t>(failed.Value) / 1048576
           << " MiB of memory are available; the SupportRadius " << supportRadius
           << " reaches too many landmarks from each";
      return text.str();
    case core::status::no_memory:
      text << failed.Value / 1048576 << " MiB of work storage could not be obtained for " << count
           << " landmarks";
      return text.str();
    case core::status::too_many_entries:
      text << "the interpolation matrix of " << count << " landmarks would have at least "
           << static_cast<std::int64_t>(failed.Value)
           << " entries in its envelope, more than its 32-bit offsets address; the SupportRadius "
           << supportRadius << " reaches too many landmarks from each";
      return text.str();
    case core::status::not_finite:
      text << "the coefficients of the " << count << " landmarks came out infinite or undefined";
      return text.str();
    default:
      break;
  }
  // The matrix is singular or not positive definite in single precision: two landmarks at one
  // position, or a radius so large beside their spacing that neighbouring basis functions are
  // equal.
  const core::closest_pair closest =
    core::find_closest_pair(count, fitted, supportRadius / frame.Scale, kernel);
  if (closest.First < 0)
  {
    return "the interpolation matrix is not positive definite";
  }
  const vtkIdType pair[2] = { closest.First, closest.Second };
  if (closest.Distance == 0.0)
  {
    double p[3];
    sources->GetPoint(pair[0], p);
    text << "the source landmarks " << pair[0] << " and " << pair[1] << " share the position ("
         << p[0] << ", " << p[1] << ", " << p[2] << ")";
  }
  else if (closest.NearlySameBasisValue)
  {
    text << "the SupportRadius " << supportRadius
         << " is so large beside the spacing of the landmarks (the closest two, " << pair[0]
         << " and " << pair[1] << ", are " << closest.Distance * frame.Scale
         << " apart) that their basis values differ from 1 by less than "
         << core::nearly_one_basis_value << ", and the matrix is singular in single precision";
  }
  else
  {
    text << "the interpolation matrix is not positive definite in single precision (failed at row "
         << failed.Where << "); the closest landmarks, " << pair[0] << " and " << pair[1]
         << ", are " << closest.Distance * frame.Scale << " apart beside the SupportRadius "
         << supportRadius << ", and a smaller radius makes the matrix better conditioned";
  }
  return text.str();
}

std::string DescribeRadiusBeyondPrecision(double supportRadius, const landmark_frame& frame)
{
  // Below this radius, as a fraction of the landmarks' extent, the radius is within a few
  // hundred single-precision steps of the coordinates.
  constexpr double smallest_relative_radius = 1e-5;
  const double radius = supportRadius / frame.Scale;
  std::ostringstream why;
  if (radius > 0.5 * FLT_MAX)
  {
    why << "the SupportRadius " << supportRadius
        << " is beyond single precision beside the landmarks' extent " << frame.Extent;
  }
  else if (radius < smallest_relative_radius)
  {
    why << "the SupportRadius " << supportRadius
        << " is below the precision of the landmark coordinates (their extent is " << frame.Extent
        << ", and a radius below " << smallest_relative_radius * frame.Extent
        << " moves no point but the landmarks)";
  }
  return why.str();
}

std::string DescribeMissingStorage(vtkIdType count)
{
  return "the storage of the fit of " + std::to_string(count) + " landmarks could not be obtained";
}

std::string DescribeInaccurateFit(vtkIdType count,
                                  double residual,
                                  double before,
                                  double largestMove,
                                  double allowed)
{
  if (residual <= std::max(largest_fit_residual, allowed))
  {
    return std::string();
  }
  std::ostringstream why;
  why << "the fit of " << count << " landmarks misses them by up to " << residual
      << " of the largest landmark move " << largestMove
      << " after refinement in double precision (single precision alone missed by " << before
      << "); the interpolation matrix is too ill-conditioned, and a smaller SupportRadius, "
         "the quadratic kernel or smoothing makes it better conditioned";
  return why.str();
}
}
