// Fuzz target: the fit of the spline for small control-point sets.
//
// The first input byte picks the scale of the cloud against the support
// radius 0.5, from 2^-10 to 2^5, so that the sets range from points that
// nearly coincide to points that never meet. Every following 12 bytes make one
// control point: six signed 16-bit numbers, the source and the target, scaled
// to +-4 times that scale. At most 64 points are taken, so that one run stays
// well under a millisecond.
//
// The points go through make_fit, the hand-off of the core from control points
// to coefficients that the library's transforms make and whose solve the
// program's vtkMatrixSolver runs. It may refuse the set with a status
// (coincident points, a pivot that is not positive, coefficients not finite);
// when it succeeds, the field it gives at every source must be finite. Sets in
// a plane, on a line or of fewer than four points fit a reduced polynomial
// part.
#include "fit.h"
#include "scene_file_buffer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
constexpr std::size_t MaximumPoints = 64;
constexpr std::size_t BytesPerPoint = 12;

float Coordinate(const std::uint8_t* bytes, double scale)
{
  const auto value = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
  return static_cast<float>(value / 32768.0 * 4.0 * scale);
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  SilenceToolkit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0)
  {
    return 0;
  }
  const double scale = std::ldexp(1.0, static_cast<int>(data[0] % 16) - 10);
  std::vector<float> sources;
  std::vector<float> targets;
  for (std::size_t at = 1; at + BytesPerPoint <= size && sources.size() < 3 * MaximumPoints;
       at += BytesPerPoint)
  {
    for (int k = 0; k < 3; ++k)
    {
      sources.push_back(Coordinate(data + at + 2 * k, scale));
      targets.push_back(Coordinate(data + at + 6 + 2 * k, scale));
    }
  }
  const int n = static_cast<int>(sources.size() / 3);
  if (n == 0)
  {
    return 0;
  }
  animation::core::fit fitted;
  if (!animation::core::make_fit(
         n, sources.data(), targets.data(), animation::core::fit_options(), nullptr, fitted)
         .Ok())
  {
    return 0; // refused with a status: not a fault
  }
  std::vector<vtkIdType> ids;
  for (int i = 0; i < n; ++i)
  {
    const double x[3] = { sources[3 * i], sources[3 * i + 1], sources[3 * i + 2] };
    double s[3];
    double jacobian[3][3];
    animation::core::evaluate(fitted, x, ids, s, jacobian);
    for (int a = 0; a < 3; ++a)
    {
      if (!std::isfinite(s[a]) || !std::isfinite(jacobian[a][0] + jacobian[a][1] + jacobian[a][2]))
      {
        std::abort();
      }
    }
  }
  return 0;
}
