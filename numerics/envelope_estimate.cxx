// The envelope of the breadth-first order, estimated from samples.
//
// In the breadth-first order of order_points (fit.h), row i of the envelope
// holds i - p(i) entries, p(i) the position of the point that placed it:
// the length of the breadth-first queue when the point joined it. The queue holds about one "layer" of the walk, the
// points at one hop count from the seed, so on a wide cloud every row is
// much longer than the number of its neighbours: the neighbour count alone
// (each pair of neighbours is one entry, n * d / 2 for d neighbours a point)
// is only a lower bound.
//
// The estimate walks a random subsample of m of the n points, with the same
// radius and the same seed (point 0), and sums its exact row lengths. A
// uniform thinning keeps the shape of the layers and scales every queue, and
// the number of rows, by m / n, so the full envelope is about the
// subsample's times (n / m)^2. The subsample must keep enough neighbours a
// point (m * d / n, here at least 16 when m allows) for its walk to take the
// same paths; a thinner subsample takes more, smaller layers and
// underestimates. The estimate is the larger of this figure and the lower
// bound n * d / 2, with d the mean neighbour count of a random sample of
// points. Both err low rather than high, so a refusal based on them does not
// turn away a run that fits; with all points (m = n) the figure is exact.
#include "envelope_estimate.h"

#include "fit.h"

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace
{
constexpr int neighbour_samples = 256;
constexpr int fewest_walked = 2000;
constexpr int most_walked = 20000;
constexpr double walked_neighbours = 16.0;

// Mean number of other points within radius of sampled points.
double mean_neighbours(int count,
                       float radius,
                       vtkPoints* points,
                       vtkPointLocator* locator,
                       std::mt19937& random)
{
  const int samples = std::min(count, neighbour_samples);
  std::uniform_int_distribution<int> anyPoint(0, count - 1);
  vtkNew<vtkIdList> found;
  double total = 0.0;
  for (int s = 0; s < samples; ++s)
  {
    double centre[3];
    points->GetPoint(samples == count ? s : anyPoint(random), centre);
    locator->FindPointsWithinRadius(radius, centre, found);
    total += static_cast<double>(found->GetNumberOfIds() - 1);
  }
  return total / samples;
}

// Entries of the envelope of the breadth-first order of points (exact).
std::int64_t walked_envelope(vtkPoints* points, float radius)
{
  const int count = static_cast<int>(points->GetNumberOfPoints());
  vtkNew<vtkPolyData> set;
  set->SetPoints(points);
  vtkNew<vtkPointLocator> locator;
  locator->SetDataSet(set);
  locator->BuildLocator();
  int max = 0;
  std::vector<int> list;
  std::int64_t entries = 0;
  // Without storage for the walk of a subsample there is no estimate; it errs low.
  animation::core::order_points(points, locator, count, radius, list, max, nullptr, &entries);
  return entries;
}
}

namespace animation
{
namespace core
{
envelope_estimate EstimateEnvelope(int count,
                                   float radius,
                                   vtkPoints* points,
                                   vtkPointLocator* locator)
{
  if (count < 2)
  {
    return { 0, 0.0 };
  }
  std::mt19937 random(count);
  const double neighbours = mean_neighbours(count, radius, points, locator, random);
  const double lowerBound = count * neighbours / 2.0;

  const double wanted = walked_neighbours * count / std::max(neighbours, 1.0);
  const int walked = static_cast<int>(
    std::min<double>(count, std::clamp<double>(wanted, fewest_walked, most_walked)));
  // Point 0 and walked - 1 others, in increasing id order like the full set,
  // so that the walk starts where the full ordering starts.
  std::vector<int> ids(count);
  std::iota(ids.begin(), ids.end(), 0);
  for (int k = 1; k < walked; ++k)
  {
    std::uniform_int_distribution<int> rest(k, count - 1);
    std::swap(ids[k], ids[rest(random)]);
  }
  ids.resize(walked);
  std::sort(ids.begin(), ids.end());
  vtkNew<vtkPoints> subsample;
  subsample->SetNumberOfPoints(walked);
  for (int k = 0; k < walked; ++k)
  {
    subsample->SetPoint(k, points->GetPoint(ids[k]));
  }
  const double scale = static_cast<double>(count) / walked;
  const double scaled = walked_envelope(subsample, radius) * scale * scale;
  return { static_cast<std::int64_t>(std::max(lowerBound, scaled)), neighbours };
}

std::int64_t MatrixBytes(std::int64_t entries, int count)
{
  return 4 * (entries + 2 * static_cast<std::int64_t>(count));
}
}
}
