// vtkCompactSplineTransform on a large point set: the points-only bulk path
// against a plain loop of single points, and its extra memory against the
// toolkit's thin-plate transform.
//
// Usage: bulk_transform_benchmark [POINTS] [LANDMARKS] [REPEATS]
//
// A sphere mesh of about POINTS points (default 1,000,000) in double
// precision, as a pipeline of the toolkit makes them, and LANDMARKS
// landmarks spread evenly over it (default 1000, each with about 30 others
// within the support radius), moved by a smooth motion. Measured:
//
//   first_bulk_seconds    TransformPoints() of a mesh the transform has not
//                         seen, on every core of vtkSMPTools, the displacement
//                         cache filled on the way
//   later_bulk_seconds    a later call with another BlendFactor, from the cache
//   single_loop_seconds   TransformPoint() of every mesh point in turn, on one
//                         thread
// each the median of REPEATS (default 3) runs
//   loop_over_first_bulk  single_loop_seconds / first_bulk_seconds
//   *_extra_bytes_per_point  the growth of the resident set's peak over one
//                         points-only TransformPoints() into a new output,
//                         per mesh point: of this transform (its cache, which
//                         it keeps, and the output) and of
//                         vtkThinPlateSplineTransform (the output)
//
// The peak is reset through /proc/self/clear_refs before each measurement;
// where that file cannot be written the memory figures are left out. One
// "key value" line per figure.
#include "vtkCompactSplineTransform.h"

#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>
#include <vtkThinPlateSplineTransform.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in bytes (its lines say kB), or -1.
double StatusBytes(const std::string& field)
{
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key)
  {
    double kilobytes = 0.0;
    if (key == field + ":" && status >> kilobytes)
    {
      return 1024.0 * kilobytes;
    }
    status.ignore(1 << 20, '\n');
  }
  return -1.0;
}

// The growth of the resident set's peak while measured() runs, or -1 when
// the peak cannot be reset.
template<typename Measured>
double PeakGrowthBytes(Measured measured)
{
  std::ofstream reset("/proc/self/clear_refs");
  reset << "5" << std::flush;
  if (!reset)
  {
    measured();
    return -1.0;
  }
  const double before = StatusBytes("VmRSS");
  measured();
  return StatusBytes("VmHWM") - before;
}

// count points evenly spread over the unit sphere (a Fibonacci lattice) and
// targets moved smoothly from them, by up to 0.03.
void Landmarks(int count, vtkPoints* source, vtkPoints* target)
{
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i)
  {
    const double z = 1.0 - (2.0 * i + 1.0) / count;
    const double r = std::sqrt(1.0 - z * z);
    const double p[3] = { r * std::cos(golden * i), r * std::sin(golden * i), z };
    source->InsertNextPoint(p);
    target->InsertNextPoint(p[0] + 0.03 * std::sin(2.0 * p[1]),
                            p[1] + 0.02 * std::cos(3.0 * p[2]),
                            p[2] + 0.03 * std::sin(2.0 * p[0]));
  }
}

double Median(std::vector<double> figures)
{
  std::sort(figures.begin(), figures.end());
  return figures[figures.size() / 2];
}

vtkSmartPointer<vtkPoints> OutputLike(vtkPoints* input)
{
  auto out = vtkSmartPointer<vtkPoints>::New();
  out->SetDataType(input->GetDataType());
  return out;
}
}

int main(int argc, char* argv[])
{
  const double wanted = argc > 1 ? std::atof(argv[1]) : 1e6;
  const int landmarks = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
  if (!(wanted >= 4) || landmarks < 4 || repeats < 1)
  {
    std::cerr << "Usage: bulk_transform_benchmark [POINTS >= 4] [LANDMARKS >= 4] [REPEATS >= 1]\n";
    return 2;
  }

  vtkNew<vtkSphereSource> sphere;
  const int resolution = std::max(3, static_cast<int>(std::sqrt(wanted)));
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution);
  sphere->SetRadius(1.0);
  sphere->SetOutputPointsPrecision(vtkAlgorithm::DOUBLE_PRECISION);
  sphere->Update();
  vtkPoints* mesh = sphere->GetOutput()->GetPoints();
  const vtkIdType n = mesh->GetNumberOfPoints();

  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  Landmarks(landmarks, source, target);
  // A cap of chord radius R on the unit sphere holds a fraction R^2 / 4 of
  // evenly spread points: about 30 neighbours each.
  const double radius = 2.0 * std::sqrt(30.0 / landmarks);
  vtkNew<vtkCompactSplineTransform> transform;
  transform->SetSourceLandmarks(source);
  transform->SetTargetLandmarks(target);
  transform->SetSupportRadius(radius);
  Clock::time_point start = Clock::now();
  if (!transform->IsFitted())
  {
    std::cerr << "The landmarks give no fit\n";
    return 1;
  }
  std::cout << "points " << n << "\nlandmarks " << landmarks << "\nsupport_radius " << radius
            << "\nthreads " << vtkSMPTools::GetEstimatedNumberOfThreads() << "\nfit_seconds "
            << SecondsSince(start) << "\n";

  // Fills and loops alternate, so that both meet the same load of the machine; each fill is of a
  // fresh copy of the mesh, which the transform has not cached.
  std::vector<double> fills;
  std::vector<double> loops;
  std::vector<double> single(3 * static_cast<std::size_t>(n));
  for (int r = 0; r < repeats; ++r)
  {
    vtkNew<vtkPoints> copy;
    copy->DeepCopy(mesh);
    vtkSmartPointer<vtkPoints> out = OutputLike(mesh);
    start = Clock::now();
    transform->TransformPoints(copy, out);
    fills.push_back(SecondsSince(start));

    start = Clock::now();
    for (vtkIdType i = 0; i < n; ++i)
    {
      double x[3];
      mesh->GetPoint(i, x);
      transform->TransformPoint(x, &single[3 * i]);
    }
    loops.push_back(SecondsSince(start));
  }
  vtkSmartPointer<vtkPoints> bulk = OutputLike(mesh);
  transform->TransformPoints(mesh, bulk);
  std::vector<double> later;
  for (int r = 0; r < repeats; ++r)
  {
    transform->SetBlendFactor(0.5 + 0.1 * r);
    bulk->Reset();
    start = Clock::now();
    transform->TransformPoints(mesh, bulk);
    later.push_back(SecondsSince(start));
  }
  transform->SetBlendFactor(1.0);
  const double first = Median(fills);
  const double loop = Median(loops);
  std::cout << "first_bulk_seconds " << first << "\nlater_bulk_seconds " << Median(later)
            << "\nsingle_loop_seconds " << loop << "\nloop_over_first_bulk " << loop / first
            << "\n";

  // Each transform fitted before its peak is reset, so that only the bulk
  // evaluation and its output count.
  vtkNew<vtkCompactSplineTransform> fresh;
  fresh->DeepCopy(transform);
  fresh->Update();
  const double compact = PeakGrowthBytes(
    [&]
    {
      vtkSmartPointer<vtkPoints> out = OutputLike(mesh);
      fresh->TransformPoints(mesh, out);
    });
  vtkNew<vtkThinPlateSplineTransform> thinPlate;
  thinPlate->SetSourceLandmarks(source);
  thinPlate->SetTargetLandmarks(target);
  thinPlate->SetBasisToR();
  thinPlate->Update();
  const double plate = PeakGrowthBytes(
    [&]
    {
      vtkSmartPointer<vtkPoints> out = OutputLike(mesh);
      thinPlate->TransformPoints(mesh, out);
    });
  if (compact >= 0.0 && plate >= 0.0)
  {
    std::cout << "compact_spline_extra_bytes_per_point " << compact / n
              << "\nthin_plate_extra_bytes_per_point " << plate / n << "\nmemory_ratio "
              << compact / std::max(plate, 1.0) << "\n";
  }
  return 0;
}
