// The program's own stages, each timed on its own with the program's code.
#include "benchmark.h"

#include "animation_loop.h"
#include "envelope.h"
#include "envelope_assembly.h"
#include "read_stage.h"
#include "scene.h"
#include "solve_stage.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"
#include "well_ordered_list.h"

#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace
{
double PeakMemoryMiB()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

// An empty output point set as vtkTransformPolyDataFilter makes one for every
// execution: same type as the input, room for count points.
vtkSmartPointer<vtkPoints> FilterOutput(vtkPoints* input, vtkIdType count)
{
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataType(input->GetDataType());
  points->Allocate(count);
  return points;
}

void MeasureLocatorAndOrdering(const Options& options, vtkDatReader* reader, Results& results)
{
  vtkPointLocator* tree = reader->GetTree();
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  results.Add("locator_build",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              tree->FreeSearchStructure();
                              const Clock::time_point start = Clock::now();
                              tree->BuildLocator();
                              return SecondsSince(start);
                            }));
  results.Add("ordering",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              const Clock::time_point start = Clock::now();
                              int max = 0;
                              int* list = GetWellOderredList(
                                max, n, reader->GetRadius(), reader->GetPointArray(), tree);
                              int* unlist = static_cast<int*>(std::malloc(n * sizeof(int)));
                              for (int k = 0; k < n; ++k)
                              {
                                unlist[list[k]] = k;
                              }
                              const double seconds = SecondsSince(start);
                              std::free(list);
                              std::free(unlist);
                              return seconds;
                            }));
  results.Add("max", reader->GetMax());
}

// Assembles A as Solve() does and keeps it, with the seven right-hand sides.
void MeasureAssembly(const Options& options,
                     vtkDatReader* reader,
                     Results& results,
                     AssembledSystem& system)
{
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  std::vector<float> x(n), y(n), z(n);
  for (int i = 0; i < n; ++i)
  {
    double p[3];
    reader->GetPointArray()->GetPoint(reader->GetList()[i], p);
    x[i] = static_cast<float>(p[0]);
    y[i] = static_cast<float>(p[1]);
    z[i] = static_cast<float>(p[2]);
  }
  system.N = n;
  system.Xenv.assign(n + 1, 0);
  envelope_rows kept;
  results.Add("assembly",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              const Clock::time_point start = Clock::now();
                              envelope_rows rows = start_envelope(n, reader->GetMax());
                              assemble_envelope(x.data(),
                                                y.data(),
                                                z.data(),
                                                n,
                                                reader->GetMax(),
                                                reader->GetRadius(),
                                                system.Xenv.data(),
                                                rows);
                              resize_envelope(rows, rows.Entries);
                              const double seconds = SecondsSince(start);
                              kept = std::move(rows);
                              return seconds;
                            }));
  results.Add("envelope_entries", static_cast<double>(kept.Entries));
  results.Add("relocations", kept.Relocations);
  system.Env.assign(kept.Env.get(), kept.Env.get() + kept.Entries);
  system.Diag.assign(n, 1.0f);
  system.Rhs = { std::vector<float>(n, 1.0f), x, y, z };
  for (float* b : { reader->GetBX(), reader->GetBY(), reader->GetBZ() })
  {
    system.Rhs.emplace_back(b, b + n);
  }
}

// envelope_solve on a fresh copy of A: mode 1 once, then the seven solves as Solve() takes them,
// the four rows of P together and BX, BY, BZ together.
void MeasureFactorisation(const Options& options, Results& results, AssembledSystem& system)
{
  const int n = system.N;
  results.Add("factor_and_solves",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              std::vector<float> env = system.Env;
                              std::vector<float> diag = system.Diag;
                              std::vector<int> xenv = system.Xenv;
                              system.Solutions = system.Rhs;
                              envelope = { n, diag.data(), xenv.data(), env.data(), 0 };
                              const Clock::time_point start = Clock::now();
                              envelope_solve(1, nullptr);
                              float* rhs[7];
                              for (int r = 0; r < 7; ++r)
                              {
                                rhs[r] = system.Solutions[r].data();
                              }
                              envelope_solve_many(4, rhs);
                              envelope_solve_many(3, rhs + 4);
                              const double seconds = SecondsSince(start);
                              envelope = { 0, nullptr, nullptr, nullptr, 0 };
                              return seconds;
                            }));
}

vtkSmartPointer<vtkPoints> ReadMesh()
{
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  reader->SetFileName("woman.vtk");
  reader->Update();
  vtkSmartPointer<vtkPoints> points = reader->GetOutput()->GetPoints();
  if (!points)
  {
    throw "woman.vtk holds no points";
  }
  return points;
}

// Cache fill, later frames and the memory floor of a frame.
void MeasureTransform(const Options& options,
                      vtkDatReader* reader,
                      SplineFit& fit,
                      vtkPoints* mesh,
                      Results& results)
{
  const vtkIdType count = mesh->GetNumberOfPoints();
  vtkShapeTransform* transform = fit.Transform;
  vtkMatrixSolver* solver = fit.Solver;
  results.Add("mesh_points", static_cast<double>(count));
  results.Add("cache_fill",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              transform->SetSpline(reader->GetRadius(),
                                                   reader->GetPointArray(),
                                                   solver->GetSplineCoeffX(),
                                                   solver->GetSplineCoeffY(),
                                                   solver->GetSplineCoeffZ(),
                                                   reader->GetUnList(),
                                                   reader->GetTree());
                              transform->BlendFactor = 0.0f;
                              const Clock::time_point start = Clock::now();
                              vtkSmartPointer<vtkPoints> out = FilterOutput(mesh, count);
                              transform->TransformPoints(mesh, out);
                              return SecondsSince(start);
                            }));
  transform->BlendFactor = 0.5f;
  // As the transform filter runs it: a new output point set every frame.
  results.Add("frame",
              MedianSeconds(2 * options.Repeats + 1,
                            [&]
                            {
                              const Clock::time_point start = Clock::now();
                              vtkSmartPointer<vtkPoints> out = FilterOutput(mesh, count);
                              transform->TransformPoints(mesh, out);
                              return SecondsSince(start);
                            }));
  // The same into one output whose storage stays.
  vtkSmartPointer<vtkPoints> kept = FilterOutput(mesh, count);
  results.Add("frame_reused_output",
              MedianSeconds(2 * options.Repeats + 1,
                            [&]
                            {
                              kept->Reset();
                              const Clock::time_point start = Clock::now();
                              transform->TransformPoints(mesh, kept);
                              return SecondsSince(start);
                            }));

  // out = x - b*d over the float triples, a plain loop over warm arrays.
  const std::size_t values = 3 * static_cast<std::size_t>(count);
  std::vector<float> x(values), d(values), out(values);
  for (std::size_t j = 0; j < values; ++j)
  {
    x[j] = static_cast<float>(mesh->GetData()->GetComponent(j / 3, j % 3));
    d[j] = 0.001f * static_cast<float>(j % 97);
  }
  volatile float b = 0.5f;
  results.Add("memory_floor",
              MedianSeconds(2 * options.Repeats + 1,
                            [&]
                            {
                              const float blend = b;
                              const Clock::time_point start = Clock::now();
                              for (std::size_t j = 0; j < values; ++j)
                              {
                                out[j] = x[j] - blend * d[j];
                              }
                              const double seconds = SecondsSince(start);
                              b = out[values / 2];
                              return seconds;
                            }));
}

// The application's scene on the fitted transform: frame 0 as the program
// renders it, then later frames rendered and captured.
void MeasureRendering(const Options& options,
                      vtkDatReader* reader,
                      SplineFit& fit,
                      Results& results)
{
  Clock::time_point start = Clock::now();
  Scene scene = BuildScene(reader, fit.Transform);
  results.Add("scene_and_frame0", SecondsSince(start));
  int frame = 0;
  results.Add("render_and_capture",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              ++frame;
                              fit.Transform->BlendFactor = 0.1f * (frame % 10);
                              fit.Transform->Modified();
                              const Clock::time_point start = Clock::now();
                              RenderFrame(scene);
                              CaptureFrame(scene, frame);
                              return SecondsSince(start);
                            }));
  results.Add("peak_memory_mib", PeakMemoryMiB());
  TearDown(scene, fit, reader);
}
}

double SecondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void MeasureStages(const Options& options,
                   Results& results,
                   AssembledSystem& system,
                   Landmarks& landmarks)
{
  vtkDatReader* reader = ReadScene();
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  results.Add("controls", n);
  MeasureLocatorAndOrdering(options, reader, results);
  MeasureAssembly(options, reader, results, system);
  MeasureFactorisation(options, results, system);

  landmarks.Sources = vtkPoints::New();
  landmarks.Sources->DeepCopy(reader->GetPointArray());
  landmarks.Targets = vtkPoints::New();
  landmarks.Targets->DeepCopy(reader->GetPointArrayN());

  // The whole fit as the program runs it; Solve() overwrites BX, BY, BZ.
  Clock::time_point start = Clock::now();
  SplineFit fit = SolveSpline(reader);
  results.Add("fit", SecondsSince(start));

  vtkSmartPointer<vtkPoints> mesh = ReadMesh();
  landmarks.Mesh = vtkPoints::New();
  landmarks.Mesh->DeepCopy(mesh);
  MeasureTransform(options, reader, fit, mesh, results);
  if (options.Render)
  {
    MeasureRendering(options, reader, fit, results);
  }
  else
  {
    results.Add("peak_memory_mib", PeakMemoryMiB());
    fit.Transform->Delete();
    fit.Solver->Delete();
    reader->Delete();
  }
}

int MeasureStartup(const std::string& path)
{
  // Seconds since boot now and at the process's start, from /proc.
  double uptime = 0.0;
  std::ifstream("/proc/uptime") >> uptime;
  std::ifstream stat("/proc/self/stat");
  std::string field;
  for (int k = 0; k < 21 && stat >> field; ++k)
  {
  }
  double startTicks = 0.0;
  stat >> startTicks;
  const double loading = uptime - startTicks / sysconf(_SC_CLK_TCK);

  Results results;
  results.Add("startup_loading", loading);
  Clock::time_point start = Clock::now();
  vtkDatReader* reader = ReadScene();
  results.Add("startup_read", SecondsSince(start));
  start = Clock::now();
  SplineFit fit = SolveSpline(reader);
  results.Add("startup_solve", SecondsSince(start));
  start = Clock::now();
  Scene scene = BuildScene(reader, fit.Transform);
  results.Add("startup_scene_and_frame0", SecondsSince(start));
  results.Write(path);
  TearDown(scene, fit, reader);
  return 0;
}
