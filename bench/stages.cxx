// The program's own stages, each timed on its own with the code of the
// numerics and the fixed interfaces.
#include "benchmark.h"

#include "basis_function.h"
#include "envelope.h"
#include "envelope_assembly.h"
#include "envelope_tile.h"
#include "fit.h"
#include "solver_input.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSMPTools.h>
#include <vtkSmartPointer.h>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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
  results.Add(
    "ordering",
    MedianSeconds(options.Repeats,
                  [&]
                  {
                    const Clock::time_point start = Clock::now();
                    int max = 0;
                    std::vector<int> list;
                    animation::core::order_points(
                      reader->GetPointArray(), tree, n, reader->GetRadius(), list, max, nullptr);
                    std::vector<int> unlist(n);
                    for (int k = 0; k < n; ++k)
                    {
                      unlist[list[k]] = k;
                    }
                    return SecondsSince(start);
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
  std::vector<float> coordinates(3 * std::size_t(n));
  animation::core::list_order_coordinates(
    reader->GetPointArray(), reader->GetList(), n, coordinates.data());
  const std::vector<float> x(coordinates.begin(), coordinates.begin() + n);
  const std::vector<float> y(coordinates.begin() + n, coordinates.begin() + 2 * n);
  const std::vector<float> z(coordinates.begin() + 2 * n, coordinates.end());
  system.N = n;
  system.Xenv.assign(n + 1, 0);
  animation::core::envelope_rows kept;
  results.Add("assembly",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              const Clock::time_point start = Clock::now();
                              animation::core::envelope_rows rows;
                              animation::core::start_envelope(n, reader->GetMax(), rows);
                              animation::core::assemble_envelope(
                                x.data(),
                                y.data(),
                                z.data(),
                                n,
                                reader->GetMax(),
                                reader->GetRadius(),
                                animation::core::basis_kernel::quadratic,
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

// Multiply-adds of the factorisation of an envelope, as flops (two each): for
// each entry L(i,j) the products of columns max(f(i), f(j)) ... j-1, and for
// each pivot those of its row.
double FactorisationFlops(const AssembledSystem& system)
{
  auto first = [&](int i) { return i - (system.Xenv[i + 1] - system.Xenv[i]); };
  double products = 0.0;
  for (int i = 0; i < system.N; ++i)
  {
    for (int j = first(i); j < i; ++j)
    {
      products += j - std::max(first(i), first(j));
    }
    products += i - first(i);
  }
  return 2.0 * products;
}

// The factorisation as it was before the register tiles: row after row, the
// forward substitution of the row's border on the rows above it.
void BorderingFactor(int n, const int* Xenv, float* Env, float* Diag)
{
  Diag[0] = static_cast<float>(std::sqrt(static_cast<double>(Diag[0])));
  for (int i = 1; i < n; ++i)
  {
    const int b = Xenv[i + 1] - Xenv[i];
    double t = Diag[i];
    if (b > 0)
    {
      float* row = Env + (Xenv[i] - 1);
      envelope_lower_solve(b, Xenv + (i - b), Env, Diag + (i - b), row);
      for (int k = 0; k < b; ++k)
      {
        t -= static_cast<double>(row[k]) * row[k];
      }
    }
    if (t > 0.0)
    {
      Diag[i] = static_cast<float>(std::sqrt(t));
    }
  }
}

}

void MeasureFactorisation(const Options& options, Results& results, AssembledSystem& system)
{
  const int n = system.N;
  results.Add("tile_columns", animation::core::envelope_tile_select().Columns);
  results.Add("factor_and_solves",
              MedianSeconds(options.Repeats, [&] { return FactorAndSolveOnce(system); }));
  std::vector<float> tiled;
  std::vector<float> bordered;
  std::vector<double> processor;
  // One factorisation of a fresh copy of A with the given tiles: its clock
  // time; its processor time joins processor, its factor (Env, then Diag)
  // is left in factor.
  auto factorOnce =
    [&](const animation::core::envelope_tile_kernel& kernel, std::vector<float>& factor)
  {
    std::vector<float> env = system.Env;
    std::vector<float> diag = system.Diag;
    int flag = 0;
    const double used = ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    envelope_factor_tiled(n, system.Xenv.data(), env.data(), diag.data(), &flag, kernel);
    const double seconds = SecondsSince(start);
    processor.push_back(ProcessorSeconds() - used);
    factor = std::move(env);
    factor.insert(factor.end(), diag.begin(), diag.end());
    return seconds;
  };
  results.Add(
    "factor",
    MedianSeconds(options.Repeats,
                  [&] { return factorOnce(animation::core::envelope_tile_select(), tiled); }));
  results.Add("factor_processor", Median(processor));
  results.Add("factor_flops", FactorisationFlops(system));
  // On a processor with AVX-512 the AVX2 tile as well, which processors
  // without it run: its rate against the AVX2 peak, and its bits.
  const animation::core::envelope_tile_kernel* avx2 = animation::core::envelope_tile_avx2();
  if (avx2 && animation::core::envelope_tile_avx512())
  {
    bool sameBits = true;
    std::vector<float> factor;
    results.Add("factor_avx2",
                MedianSeconds(options.Repeats,
                              [&]
                              {
                                const double seconds = factorOnce(*avx2, factor);
                                sameBits = sameBits && factor == tiled;
                                return seconds;
                              }));
    results.Add("factor_avx2_same_bits", sameBits ? 1.0 : 0.0);
  }
  if (n > options.LltMaxControls)
  {
    return;
  }
  results.Add("bordering_factor",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              std::vector<float> env = system.Env;
                              std::vector<float> diag = system.Diag;
                              const Clock::time_point start = Clock::now();
                              BorderingFactor(n, system.Xenv.data(), env.data(), diag.data());
                              const double seconds = SecondsSince(start);
                              bordered = env;
                              bordered.insert(bordered.end(), diag.begin(), diag.end());
                              return seconds;
                            }));
  results.Add("bordering_same_bits",
              std::memcmp(tiled.data(), bordered.data(), tiled.size() * sizeof(float)) == 0);
}

vtkDatReader* ReadScene()
{
  vtkDatReader* reader = vtkDatReader::New();
  reader->FileName = "woman.ptt";
  // The ordering uses the radius held at read time, so it is set first.
  reader->SetRadius(0.5);
  if (reader->ReadFile() != 0)
  {
    reader->Delete();
    throw "woman.ptt cannot be read";
  }
  return reader;
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

namespace
{

// The cache fill as a plain single-threaded loop would do it: a uniform grid
// of cells of size R over the control points, the 27 cells around each mesh
// point, the same distance test, phi and double sums (in the grid's order of
// the neighbours, so the last bits may differ from the program's).
double GridLoopOnce(vtkDatReader* reader,
                    vtkMatrixSolver* solver,
                    vtkPoints* mesh,
                    std::vector<float>& cache)
{
  const Clock::time_point start = Clock::now();
  vtkPoints* controls = reader->GetPointArray();
  const vtkIdType nc = controls->GetNumberOfPoints();
  const float* c = static_cast<const float*>(controls->GetVoidPointer(0));
  const float* m = static_cast<const float*>(mesh->GetVoidPointer(0));
  const double radius = reader->GetRadius();
  const double* bounds = controls->GetBounds();
  int dims[3];
  for (int a = 0; a < 3; ++a)
  {
    dims[a] = 1 + static_cast<int>((bounds[2 * a + 1] - bounds[2 * a]) / radius);
  }
  auto cellOf = [&](const float* p, int a)
  { return static_cast<int>(std::floor((p[a] - bounds[2 * a]) / radius)); };
  std::vector<int> start_of(std::size_t(dims[0]) * dims[1] * dims[2] + 1, 0);
  std::vector<int> cell(nc);
  for (vtkIdType k = 0; k < nc; ++k)
  {
    const float* p = c + 3 * k;
    cell[k] =
      (std::min(cellOf(p, 0), dims[0] - 1) * dims[1] + std::min(cellOf(p, 1), dims[1] - 1)) *
        dims[2] +
      std::min(cellOf(p, 2), dims[2] - 1);
    ++start_of[cell[k] + 1];
  }
  for (std::size_t b = 1; b < start_of.size(); ++b)
  {
    start_of[b] += start_of[b - 1];
  }
  std::vector<int> ids(nc);
  std::vector<int> next(start_of.begin(), start_of.end() - 1);
  for (vtkIdType k = 0; k < nc; ++k)
  {
    ids[next[cell[k]]++] = static_cast<int>(k);
  }
  const float* coeff[3] = { solver->GetSplineCoeffX(),
                            solver->GetSplineCoeffY(),
                            solver->GetSplineCoeffZ() };
  const int* unlist = reader->GetUnList();
  const animation::core::basis_kernel kernel = reader->GetFitOptions().Kernel;
  const double radius2 = radius * radius;
  const vtkIdType n = mesh->GetNumberOfPoints();
  cache.resize(3 * n);
  for (vtkIdType i = 0; i < n; ++i)
  {
    const double x[3] = { m[3 * i], m[3 * i + 1], m[3 * i + 2] };
    const int ci = cellOf(m + 3 * i, 0);
    const int cj = cellOf(m + 3 * i, 1);
    const int ck = cellOf(m + 3 * i, 2);
    double s[3] = { 0.0, 0.0, 0.0 };
    bool near = false;
    for (int a = std::max(ci - 1, 0); a <= std::min(ci + 1, dims[0] - 1); ++a)
    {
      for (int b = std::max(cj - 1, 0); b <= std::min(cj + 1, dims[1] - 1); ++b)
      {
        for (int d = std::max(ck - 1, 0); d <= std::min(ck + 1, dims[2] - 1); ++d)
        {
          const int bucket = (a * dims[1] + b) * dims[2] + d;
          for (int slot = start_of[bucket]; slot < start_of[bucket + 1]; ++slot)
          {
            const float* p = c + 3 * ids[slot];
            const double d2 = (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) +
                              (x[2] - p[2]) * (x[2] - p[2]);
            if (d2 <= radius2)
            {
              const double phi = animation::core::basis_value(kernel, std::sqrt(d2), radius);
              const int w = unlist[ids[slot]];
              s[0] += phi * coeff[0][w];
              s[1] += phi * coeff[1][w];
              s[2] += phi * coeff[2][w];
              near = true;
            }
          }
        }
      }
    }
    for (int a = 0; a < 3 && near; ++a)
    {
      s[a] +=
        x[0] * coeff[a][nc + 1] + x[1] * coeff[a][nc + 2] + x[2] * coeff[a][nc + 3] + coeff[a][nc];
    }
    for (int a = 0; a < 3; ++a)
    {
      cache[3 * i + a] = static_cast<float>(s[a]);
    }
  }
  return SecondsSince(start);
}

// The reader's control points handed to a new solver and solved, as the
// program's solve stage does for a scene without expressions.
vtkMatrixSolver* SolveScene(vtkDatReader* reader)
{
  vtkMatrixSolver* solver = vtkMatrixSolver::New();
  HandControlPointsTo(solver, reader);
  solver->Solve();
  return solver;
}

// Cache fill, later frames and the memory floor of a frame.
void MeasureTransform(const Options& options,
                      vtkDatReader* reader,
                      vtkMatrixSolver* solver,
                      vtkShapeTransform* transform,
                      vtkPoints* mesh,
                      Results& results)
{
  const vtkIdType count = mesh->GetNumberOfPoints();
  results.Add("mesh_points", static_cast<double>(count));
  // The cache fill and the plain grid loop in turns, so that both meet the
  // same load of the machine.
  std::vector<double> fills;
  std::vector<double> loops;
  std::vector<float> gridCache;
  for (int r = 0; r < 2 * options.Repeats + 1; ++r)
  {
    HandSplineTo(transform, reader, solver);
    transform->BlendFactor = 0.0f;
    const Clock::time_point start = Clock::now();
    vtkSmartPointer<vtkPoints> out = FilterOutput(mesh, count);
    transform->TransformPoints(mesh, out);
    fills.push_back(SecondsSince(start));
    loops.push_back(GridLoopOnce(reader, solver, mesh, gridCache));
  }
  results.Add("cache_fill", Median(fills));
  results.Add("grid_loop", Median(loops));
  // The two caches agree up to the order of the sums.
  const float* cache = static_cast<const float*>(transform->GetDisplacements()->GetVoidPointer(0));
  double largest = 0.0;
  double difference = 0.0;
  for (std::size_t j = 0; j < gridCache.size(); ++j)
  {
    largest = std::max(largest, std::fabs(static_cast<double>(cache[j])));
    difference = std::max(difference, std::fabs(static_cast<double>(cache[j]) - gridCache[j]));
  }
  results.Add("grid_loop_difference", difference / std::max(largest, 1e-300));
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
}

double SecondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ProcessorSeconds()
{
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + 1e-9 * now.tv_nsec;
}

double FactorAndSolveOnce(AssembledSystem& system)
{
  std::vector<float> env = system.Env;
  std::vector<float> diag = system.Diag;
  std::vector<int> xenv = system.Xenv;
  system.Solutions = system.Rhs;
  envelope = { system.N, diag.data(), xenv.data(), env.data(), 0 };
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
}

void MeasureStages(const Options& options,
                   Results& results,
                   AssembledSystem& system,
                   Landmarks& landmarks)
{
  vtkDatReader* reader = ReadScene();
  const int n = static_cast<int>(reader->GetPointArray()->GetNumberOfPoints());
  results.Add("controls", n);
  results.Add("threads", vtkSMPTools::GetEstimatedNumberOfThreads());
  MeasureLocatorAndOrdering(options, reader, results);
  MeasureAssembly(options, reader, results, system);
  MeasureFactorisation(options, results, system);

  landmarks.Sources = vtkPoints::New();
  landmarks.Sources->DeepCopy(reader->GetPointArray());
  landmarks.Targets = vtkPoints::New();
  landmarks.Targets->DeepCopy(reader->GetPointArrayN());

  // The whole fit through the fixed interfaces; Solve() overwrites BX, BY, BZ.
  Clock::time_point start = Clock::now();
  vtkMatrixSolver* solver = SolveScene(reader);
  results.Add("fit", SecondsSince(start));
  // MeasureTransform gives it the spline before every cache fill.
  vtkShapeTransform* transform = vtkShapeTransform::New();

  vtkSmartPointer<vtkPoints> mesh = ReadMesh();
  landmarks.Mesh = vtkPoints::New();
  landmarks.Mesh->DeepCopy(mesh);
  MeasureTransform(options, reader, solver, transform, mesh, results);
  results.Add("peak_memory_mib", PeakMemoryMiB());
  transform->Delete();
  solver->Delete();
  reader->Delete();
}
