// The scale workload: many control points on a surface, each with a few
// dozen neighbours, where a fill-reducing ordering has the most to gain
// over the envelope of the breadth-first order.
#include "benchmark.h"

#include "envelope_assembly.h"
#include "fit.h"

#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkSmartPointer.h>

#include <sys/resource.h>

#include <cmath>
#include <cstdlib>

namespace
{
double PeakResidentBytes()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return 1024.0 * usage.ru_maxrss; // kilobytes on Linux
}

// count points evenly spread over the unit sphere: a Fibonacci lattice, point
// i at height 1 - (2i+1)/count and longitude i times the golden angle.
vtkSmartPointer<vtkPoints> SpherePoints(int count)
{
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataTypeToFloat();
  points->SetNumberOfPoints(count);
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i)
  {
    const double z = 1.0 - (2.0 * i + 1.0) / count;
    const double r = std::sqrt(1.0 - z * z);
    points->SetPoint(i, r * std::cos(golden * i), r * std::sin(golden * i), z);
  }
  return points;
}
}

void MeasureScale(const Options& options, int count, int neighbours, Results& results)
{
  // A cap of chord radius R on the unit sphere has area pi R^2, so with the
  // points spread evenly each has about count R^2 / 4 others within R.
  const float radius = static_cast<float>(2.0 * std::sqrt(neighbours / double(count)));
  vtkSmartPointer<vtkPoints> points = SpherePoints(count);
  auto surface = vtkSmartPointer<vtkPolyData>::New();
  surface->SetPoints(points);
  auto locator = vtkSmartPointer<vtkPointLocator>::New();
  locator->SetDataSet(surface);
  locator->BuildLocator();
  results.Add("controls", count);
  results.Add("mesh_points", 0);
  results.Add("scale_neighbours", neighbours);
  results.Add("threads", vtkSMPTools::GetEstimatedNumberOfThreads());

  const Clock::time_point start = Clock::now();
  int max = 0;
  std::vector<int> list;
  if (!animation::core::order_points(points, locator, count, radius, list, max, nullptr).Ok())
  {
    throw "The control points of the scale workload cannot be ordered";
  }
  results.Add("ordering", SecondsSince(start));
  results.Add("max", max);

  std::vector<float> coordinates(3 * std::size_t(count));
  animation::core::list_order_coordinates(points, list.data(), count, coordinates.data());
  const std::vector<float> x(coordinates.begin(), coordinates.begin() + count);
  const std::vector<float> y(coordinates.begin() + count, coordinates.begin() + 2 * count);
  const std::vector<float> z(coordinates.begin() + 2 * count, coordinates.end());
  AssembledSystem system;
  system.N = count;
  system.Xenv.assign(count + 1, 0);
  {
    const Clock::time_point start = Clock::now();
    animation::core::envelope_rows rows;
    if (!animation::core::start_envelope(count, max, rows).Ok() ||
        !animation::core::assemble_envelope(x.data(),
                                            y.data(),
                                            z.data(),
                                            count,
                                            max,
                                            radius,
                                            animation::core::basis_kernel::quadratic,
                                            system.Xenv.data(),
                                            rows)
           .Ok())
    {
      throw "The matrix of the scale workload cannot be assembled";
    }
    results.Add("assembly", SecondsSince(start));
    results.Add("envelope_entries", static_cast<double>(rows.Entries));
    system.Env.assign(rows.Env.get(), rows.Env.get() + rows.Entries);
  }
  std::int64_t nonzeros = 0;
  for (float entry : system.Env)
  {
    nonzeros += entry != 0.0f;
  }
  results.Add("mean_neighbours", 2.0 * nonzeros / count);
  system.Diag.assign(count, 1.0f);
  std::vector<float> ones(count, 1.0f), xy(count), yz(count), zx(count);
  for (int i = 0; i < count; ++i)
  {
    xy[i] = x[i] * y[i];
    yz[i] = y[i] * z[i];
    zx[i] = z[i] * x[i];
  }
  system.Rhs = { ones, x, y, z, xy, yz, zx };

  // The factor's storage and what the factorisation adds while it runs:
  // the growth of the process's peak resident set over its first run.
  const double before = PeakResidentBytes();
  MeasureFactorisation(options, results, system);
  results.Add("envelope_peak_bytes", PeakResidentBytes() - before);
  MeasurePeers(options, system, Landmarks(), results);
}
