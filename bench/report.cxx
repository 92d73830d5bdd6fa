// The markdown tables of docs/benchmarks.md, from the result files of the
// workloads. Every ratio divides two figures of the same file, that is of
// one process on one machine.
#include "benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>
#include <utility>

namespace
{
// Milliseconds with three significant digits, or "-" for a figure not measured.
std::string Ms(double seconds)
{
  if (std::isnan(seconds))
  {
    return "-";
  }
  const double ms = 1000.0 * seconds;
  char text[32];
  std::snprintf(text,
                sizeof(text),
                ms >= 100  ? "%.0f"
                : ms >= 10 ? "%.1f"
                : ms >= 1  ? "%.2f"
                           : "%.3f",
                ms);
  return text;
}

std::string Ratio(double value)
{
  if (std::isnan(value))
  {
    return "-";
  }
  char text[32];
  std::snprintf(text, sizeof(text), value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  return text;
}

std::string Count(double value)
{
  if (std::isnan(value))
  {
    return "-";
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%.0f", value);
  return text;
}

std::string Figure(double value, const char* format)
{
  if (std::isnan(value))
  {
    return "-";
  }
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

int Controls(const Results& r)
{
  return static_cast<int>(r.Get("controls"));
}

int MeshPoints(const Results& r)
{
  return static_cast<int>(r.Get("mesh_points"));
}

int Threads(const Results& r)
{
  return r.Has("threads") ? static_cast<int>(r.Get("threads")) : 1;
}

// The faster of CHOLMOD's supernodal factorisations with AMD and with METIS,
// and the program's time measured alongside it: {ours, peer}.
std::pair<double, double> FasterCholmodOrdering(const Results& r)
{
  const double amd = r.Get("cholmod_amd");
  const double metis = r.Get("cholmod_metis");
  if (std::isnan(metis) || amd <= metis)
  {
    return { r.Get("cholmod_amd_ours"), amd };
  }
  return { r.Get("cholmod_metis_ours"), metis };
}

double CholmodRatio(const Results& r)
{
  const std::pair<double, double> faster = FasterCholmodOrdering(r);
  return faster.first / faster.second;
}

// Double-precision peak of the given cores in GFlop/s, from the figure per
// core that bench/run-benchmarks passes (PEAK_GFLOPS_PER_CORE), or NaN.
double Peak(int cores)
{
  const char* perCore = std::getenv("PEAK_GFLOPS_PER_CORE");
  return perCore ? cores * std::atof(perCore) : std::numeric_limits<double>::quiet_NaN();
}

// The faster of the two sparse direct solvers that were measured.
double FasterPeer(const Results& r)
{
  const double llt = r.Get("llt");
  const double cholmod = r.Get("cholmod");
  return std::isnan(cholmod) ? llt : std::min(llt, cholmod);
}

// Envelope entries with the diagonal, as nonzeros of L are counted.
double EnvelopeSize(const Results& r)
{
  return r.Get("envelope_entries") + r.Get("controls");
}

void StartupTable(const std::vector<Results>& startups)
{
  std::cout << "### Startup of the demo\n\n"
               "The program on the demo scene with one frame: the whole process, from its start "
               "to its end (which also writes animated_shape.vtk and tears down), median of "
               "three runs. Then the same stages in one process, each timed: loading to main "
               "(10 ms resolution), reading the scene, solving, and building the scene with "
               "frame 0 rendered (window, OpenGL context, meshes, cache fill, first draw). "
               "Milliseconds.\n\n"
               "| whole program | loading | reading | solving | scene + frame 0 | to frame 0 |\n"
               "|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : startups)
  {
    const double toFrame = r.Get("startup_loading") + r.Get("startup_read") +
                           r.Get("startup_solve") + r.Get("startup_scene_and_frame0");
    std::cout << "| " << Ms(r.Get("startup")) << " | " << Ms(r.Get("startup_loading")) << " | "
              << Ms(r.Get("startup_read")) << " | " << Ms(r.Get("startup_solve")) << " | "
              << Ms(r.Get("startup_scene_and_frame0")) << " | " << Ms(toFrame) << " |\n";
  }
  std::cout << "\n";
}

void StageTable(const std::vector<Results>& runs)
{
  std::cout << "### Stages\n\n"
               "Milliseconds; peak memory is the resident set of the process after the last "
               "stage of the program (before the peers run).\n\n"
               "| n | N | threads | Max | locator build | ordering | assembly | factorisation + 7 "
               "solves | whole fit (Solve) | first evaluation (cache fill) | later frame | "
               "rendered + captured frame | peak memory (MiB) |\n"
               "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
              << Count(r.Get("max")) << " | " << Ms(r.Get("locator_build")) << " | "
              << Ms(r.Get("ordering")) << " | " << Ms(r.Get("assembly")) << " | "
              << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("fit")) << " | "
              << Ms(r.Get("cache_fill")) << " | " << Ms(r.Get("frame")) << " | "
              << Ms(r.Get("render_and_capture")) << " | "
              << Figure(r.Get("peak_memory_mib"), "%.0f") << " |\n";
  }
  std::cout << "\n";
}

void SolverTable(const std::vector<Results>& runs)
{
  std::cout << "### Factorisation plus seven solves against sparse direct solvers\n\n"
               "The same matrix A (the nonzeros of the envelope, in list order); the peers in "
               "double precision with their own fill-reducing ordering (SimplicialLLT: AMD; "
               "CHOLMOD: its automatic choice, then supernodal with AMD and with METIS), and "
               "SimplicialLLT once more in the list order; all with the same number of threads "
               "(the program's through VTK_SMP_MAX_THREADS, OpenBLAS's through "
               "OPENBLAS_NUM_THREADS). SimplicialLLT is not run above 5000 control points "
               "(minutes). Milliseconds, medians. Ratio = envelope kernels / faster CHOLMOD "
               "ordering, the program's time taken alongside that peer in the same "
               "repetitions; earlier ratio = envelope kernels / faster of SimplicialLLT (AMD) "
               "and CHOLMOD's automatic choice, as in earlier runs. Sizes are stored entries of "
               "the factor, diagonal included. Difference = largest difference of the solutions "
               "relative to their largest component.\n\n"
               "| n | N of run | threads | envelope kernels | SimplicialLLT AMD | SimplicialLLT "
               "list order | CHOLMOD auto | CHOLMOD AMD | CHOLMOD METIS | ratio | earlier ratio | "
               "envelope size | CHOLMOD L | envelope / CHOLMOD L | difference |\n"
               "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    const double difference =
      std::max({ r.Has("llt_disagreement") ? r.Get("llt_disagreement") : 0.0,
                 r.Get("cholmod_disagreement"),
                 r.Get("cholmod_amd_disagreement"),
                 r.Has("cholmod_metis_disagreement") ? r.Get("cholmod_metis_disagreement") : 0.0 });
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
              << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("llt")) << " | "
              << Ms(r.Get("llt_list_order")) << " | " << Ms(r.Get("cholmod")) << " | "
              << Ms(r.Get("cholmod_amd")) << " | " << Ms(r.Get("cholmod_metis")) << " | "
              << Ratio(CholmodRatio(r)) << " | "
              << Ratio(r.Get("factor_and_solves") / FasterPeer(r)) << " | "
              << Count(EnvelopeSize(r)) << " | " << Count(r.Get("cholmod_factor_entries")) << " | "
              << Ratio(EnvelopeSize(r) / r.Get("cholmod_factor_entries")) << " | "
              << Figure(difference, "%.1e") << " |\n";
  }
  std::cout << "\n";
}

void RateTable(const std::vector<Results>& runs)
{
  std::cout
    << "### The factorisation's rate\n\n"
       "The envelope factorisation alone (envelope_factor, median): its multiply-adds "
       "as two flops each, the rate, and the double-precision peak of the cores it ran "
       "on (PEAK_GFLOPS_PER_CORE per core, see above). Row by row: the bordering "
       "factorisation of before the register tiles (one thread), on the same matrix, "
       "and whether its factor has the same bits.\n\n"
       "| n | threads | factorisation (ms) | GFlop | GFlop/s | peak GFlop/s | of peak | row "
       "by row (ms) | speed-up | same bits |\n"
       "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
  for (const Results& r : runs)
  {
    if (MeshPoints(r) > 50000)
    {
      continue; // one row for each n and thread count: the run on the demo's face
    }
    const double rate = r.Get("factor_flops") / r.Get("factor") * 1e-9;
    std::cout << "| " << Controls(r) << " | " << Threads(r) << " | " << Ms(r.Get("factor")) << " | "
              << Figure(r.Get("factor_flops") * 1e-9, "%.2f") << " | " << Figure(rate, "%.1f")
              << " | " << Figure(Peak(Threads(r)), "%.0f") << " | "
              << Figure(100.0 * rate / Peak(Threads(r)), "%.0f %%") << " | "
              << Ms(r.Get("bordering_factor")) << " | "
              << Ratio(r.Get("bordering_factor") / r.Get("factor")) << " | "
              << (r.Has("bordering_same_bits") ? (r.Get("bordering_same_bits") ? "yes" : "**no**")
                                               : "-")
              << " |\n";
  }
  std::cout << "\n";
}

void CacheFillTable(const std::vector<Results>& runs)
{
  std::cout << "### The cache fill against a plain grid loop\n\n"
               "The first TransformPoints after SetSpline (the cache fill, on the run's threads) "
               "and, in turns with it, a plain single-threaded loop over a uniform grid of cells "
               "of size R: the 27 cells around each mesh point, the same distance test, phi and "
               "sums. Milliseconds, medians; ratio = cache fill / grid loop. Difference = largest "
               "difference of the two caches relative to their largest component (the grid "
               "takes the neighbours in another order).\n\n"
               "| n | N | threads | cache fill | grid loop | ratio | difference |\n"
               "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
              << Ms(r.Get("cache_fill")) << " | " << Ms(r.Get("grid_loop")) << " | "
              << Ratio(r.Get("cache_fill") / r.Get("grid_loop")) << " | "
              << Figure(r.Get("grid_loop_difference"), "%.1e") << " |\n";
  }
  std::cout << "\n";
}

double FitAndFirstEvaluation(const Results& r)
{
  return r.Get("fit") + r.Get("cache_fill");
}

double ThinPlateSpline(const Results& r)
{
  return r.Get("tps_setup") + r.Get("tps_evaluation");
}

void ThinPlateSplineTable(const std::vector<Results>& runs)
{
  std::cout << "### Fit plus first evaluation against vtkThinPlateSplineTransform\n\n"
               "Ours: vtkMatrixSolver::Solve plus the first TransformPoints of the mesh (cache "
               "fill). vtkThinPlateSplineTransform (R basis, same landmarks): Update (its dense "
               "solve) plus TransformPoints of the same mesh. Milliseconds; ratio = peer / "
               "ours. Not run above the controls limit of the run (minutes of dense "
               "solve).\n\n"
               "| n | N | threads | ours | thin-plate set-up | thin-plate evaluation | thin-plate "
               "total | ratio |\n"
               "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    if (!r.Has("tps_setup"))
    {
      continue;
    }
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
              << Ms(FitAndFirstEvaluation(r)) << " | " << Ms(r.Get("tps_setup")) << " | "
              << Ms(r.Get("tps_evaluation")) << " | " << Ms(ThinPlateSpline(r)) << " | "
              << Ratio(ThinPlateSpline(r) / FitAndFirstEvaluation(r)) << " |\n";
  }
  std::cout << "\n";
}

void FrameTable(const std::vector<Results>& runs)
{
  std::cout << "### A later frame against the memory floor\n\n"
               "Later frame: TransformPoints of the cached transform into a new output point "
               "set, as vtkTransformPolyDataFilter hands it one each frame; also into an "
               "output whose storage is kept. Floor: out = x - b*d over the N float triples, a "
               "plain loop over warm arrays. Milliseconds; ratio = later frame / floor.\n\n"
               "| n | N | threads | later frame | kept output | floor | ratio |\n"
               "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
              << Ms(r.Get("frame")) << " | " << Ms(r.Get("frame_reused_output")) << " | "
              << Ms(r.Get("memory_floor")) << " | " << Ratio(r.Get("frame") / r.Get("memory_floor"))
              << " |\n";
  }
  std::cout << "\n";
}

std::string Verdict(bool met)
{
  return met ? "met" : "**missed**";
}

void TargetTable(const std::vector<Results>& runs, const std::vector<Results>& startups)
{
  std::cout << "### Targets\n\n| target | workload | figure | verdict |\n|---|---|---:|---|\n";
  for (const Results& r : runs)
  {
    if (Controls(r) == 1000 && MeshPoints(r) >= 90000 && MeshPoints(r) <= 110000 &&
        r.Has("tps_setup") && Threads(r) == 1)
    {
      const double ratio = ThinPlateSpline(r) / FitAndFirstEvaluation(r);
      std::cout << "| fit + first evaluation >= 200x faster than vtkThinPlateSplineTransform | n = "
                << Controls(r) << ", N = " << MeshPoints(r) << " | " << Ratio(ratio) << "x | "
                << Verdict(ratio >= 200) << " |\n";
    }
  }
  // The matrix of n control points is factored in each of the runs with n;
  // every run gives its own ratio, and the verdict takes their median.
  auto median = [&](int n, int threads, auto figure, std::string& each)
  {
    std::vector<double> values;
    for (const Results& r : runs)
    {
      if (Controls(r) == n && (threads == 0 || Threads(r) == threads) && !std::isnan(figure(r)))
      {
        values.push_back(figure(r));
        each += (each.empty() ? "" : ", ") + Ratio(values.back());
      }
    }
    return values.empty() ? std::numeric_limits<double>::quiet_NaN() : Median(values);
  };
  std::vector<int> threadCounts;
  for (const Results& r : runs)
  {
    if (std::find(threadCounts.begin(), threadCounts.end(), Threads(r)) == threadCounts.end())
    {
      threadCounts.push_back(Threads(r));
    }
  }
  for (const auto& [n, limit] : { std::make_pair(5000, 1.0), std::make_pair(20000, 1.5) })
  {
    for (int threads : threadCounts)
    {
      std::string each;
      const double ratio = median(n, threads, CholmodRatio, each);
      if (!std::isnan(ratio))
      {
        std::cout << "| factorisation + 7 solves <= " << Ratio(limit)
                  << " x faster CHOLMOD ordering (OpenBLAS), same threads | n = " << n << ", "
                  << threads << " thread" << (threads > 1 ? "s" : "") << ", median of the runs ("
                  << each << ") | " << Ratio(ratio) << " | " << Verdict(ratio <= limit) << " |\n";
      }
    }
  }
  {
    std::string each;
    const double speedup = median(
      5000, 1, [](const Results& r) { return r.Get("bordering_factor") / r.Get("factor"); }, each);
    if (!std::isnan(speedup))
    {
      std::cout << "| factorisation on one thread >= 2.5 x faster than row by row | n = 5000, "
                   "median of the runs ("
                << each << ") | " << Ratio(speedup) << " | " << Verdict(speedup >= 2.5) << " |\n";
    }
  }
  for (const Results& r : runs)
  {
    if (Controls(r) == 1000 && MeshPoints(r) >= 90000 && Threads(r) > 1)
    {
      const double ratio = r.Get("cache_fill") / r.Get("grid_loop");
      std::cout << "| cache fill <= 0.75 x plain single-threaded grid loop, all cores | n = "
                << Controls(r) << ", N = " << MeshPoints(r) << ", " << Threads(r) << " threads | "
                << Ratio(ratio) << " | " << Verdict(ratio <= 0.75) << " |\n";
    }
  }
  for (int n : { 1000, 5000 })
  {
    std::string each;
    const double ratio = median(
      n, 1, [](const Results& r) { return r.Get("factor_and_solves") / FasterPeer(r); }, each);
    if (std::isnan(ratio))
    {
      continue;
    }
    std::string ignored;
    const double size = median(
      n,
      0,
      [](const Results& r) { return EnvelopeSize(r) / r.Get("cholmod_factor_entries"); },
      ignored);
    std::cout
      << "| factorisation + 7 solves <= faster of SimplicialLLT and CHOLMOD (earlier target) | n = "
      << n << ", 1 thread, median of the runs (" << each << ") | " << Ratio(ratio) << " | "
      << Verdict(ratio <= 1.0) << " |\n";
    std::cout << "| envelope <= 2 x CHOLMOD's factor | n = " << n << " | " << Ratio(size) << " | "
              << Verdict(size <= 2.0) << " |\n";
  }
  for (const Results& r : runs)
  {
    if (MeshPoints(r) >= 900000 && Threads(r) == 1)
    {
      const double ratio = r.Get("frame") / r.Get("memory_floor");
      std::cout << "| later frame <= 3 x memory floor | n = " << Controls(r)
                << ", N = " << MeshPoints(r) << " | " << Ratio(ratio) << " | "
                << Verdict(ratio <= 3.0) << " |\n";
    }
  }
  for (const Results& r : startups)
  {
    const double seconds = r.Get("startup");
    std::cout << "| startup to first rendered frame of the demo < 1 s | demo, "
              << Count(r.Get("controls_of_demo")) << " controls, whole program | " << Ms(seconds)
              << " ms | " << Verdict(seconds < 1.0) << " |\n";
    const double toFrame = r.Get("startup_loading") + r.Get("startup_read") +
                           r.Get("startup_solve") + r.Get("startup_scene_and_frame0");
    std::cout << "| startup to first rendered frame of the demo < 1 s | demo, stages to frame 0 | "
              << Ms(toFrame) << " ms | " << Verdict(toFrame < 1.0) << " |\n";
  }
  std::cout << "\n";
}
}

int WriteReport(const std::vector<std::string>& files)
{
  std::vector<Results> runs;
  std::vector<Results> startups;
  for (const std::string& file : files)
  {
    Results r = Results::Read(file);
    if (r.Has("controls"))
    {
      runs.push_back(r);
    }
    else if (r.Has("startup"))
    {
      startups.push_back(r);
    }
    else
    {
      std::cerr << "No figures in " << file << "\n";
      return 1;
    }
  }
  std::stable_sort(runs.begin(),
                   runs.end(),
                   [](const Results& a, const Results& b)
                   {
                     if (Controls(a) != Controls(b))
                     {
                       return Controls(a) < Controls(b);
                     }
                     return MeshPoints(a) != MeshPoints(b) ? MeshPoints(a) < MeshPoints(b)
                                                           : Threads(a) < Threads(b);
                   });
  TargetTable(runs, startups);
  StageTable(runs);
  SolverTable(runs);
  RateTable(runs);
  CacheFillTable(runs);
  ThinPlateSplineTable(runs);
  FrameTable(runs);
  StartupTable(startups);
  return 0;
}
