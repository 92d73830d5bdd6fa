// The markdown tables of docs/benchmarks.md, from the result files of the
// workloads. Every ratio divides two figures of the same file, that is of
// one process on one machine.
#include "benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>

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
               "| n | N | Max | locator build | ordering | assembly | factorisation + 7 solves | "
               "whole fit (Solve) | first evaluation (cache fill) | later frame | rendered + "
               "captured frame | peak memory (MiB) |\n"
               "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Count(r.Get("max"))
              << " | " << Ms(r.Get("locator_build")) << " | " << Ms(r.Get("ordering")) << " | "
              << Ms(r.Get("assembly")) << " | " << Ms(r.Get("factor_and_solves")) << " | "
              << Ms(r.Get("fit")) << " | " << Ms(r.Get("cache_fill")) << " | " << Ms(r.Get("frame"))
              << " | " << Ms(r.Get("render_and_capture")) << " | "
              << Figure(r.Get("peak_memory_mib"), "%.0f") << " |\n";
  }
  std::cout << "\n";
}

void SolverTable(const std::vector<Results>& runs)
{
  std::cout << "### Factorisation plus seven solves against sparse direct solvers\n\n"
               "The same matrix A (the nonzeros of the envelope, in list order); the peers in "
               "double precision with their own fill-reducing ordering (SimplicialLLT: AMD; "
               "CHOLMOD: its automatic choice), and SimplicialLLT once more in the list order. "
               "Ratio = envelope kernels / faster of SimplicialLLT (AMD) and CHOLMOD. Sizes are "
               "stored entries of the factor, diagonal included. Difference = largest "
               "difference of the solutions relative to their largest component.\n\n"
               "| n | N of run | envelope kernels (ms) | SimplicialLLT AMD (ms) | SimplicialLLT "
               "list order (ms) | CHOLMOD (ms) | ratio | envelope size | SimplicialLLT L | "
               "CHOLMOD L | envelope / CHOLMOD L | difference |\n"
               "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | "
              << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("llt")) << " | "
              << Ms(r.Get("llt_list_order")) << " | " << Ms(r.Get("cholmod")) << " | "
              << Ratio(r.Get("factor_and_solves") / FasterPeer(r)) << " | "
              << Count(EnvelopeSize(r)) << " | " << Count(r.Get("llt_factor_entries")) << " | "
              << Count(r.Get("cholmod_factor_entries")) << " | "
              << Ratio(EnvelopeSize(r) / r.Get("cholmod_factor_entries")) << " | "
              << Figure(std::max(r.Get("llt_disagreement"), r.Get("cholmod_disagreement")), "%.1e")
              << " |\n";
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
               "| n | N | ours | thin-plate set-up | thin-plate evaluation | thin-plate total | "
               "ratio |\n"
               "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    if (!r.Has("tps_setup"))
    {
      continue;
    }
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | "
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
               "| n | N | later frame | kept output | floor | ratio |\n"
               "|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    std::cout << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Ms(r.Get("frame"))
              << " | " << Ms(r.Get("frame_reused_output")) << " | " << Ms(r.Get("memory_floor"))
              << " | " << Ratio(r.Get("frame") / r.Get("memory_floor")) << " |\n";
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
        r.Has("tps_setup"))
    {
      const double ratio = ThinPlateSpline(r) / FitAndFirstEvaluation(r);
      std::cout << "| fit + first evaluation >= 200x faster than vtkThinPlateSplineTransform | n = "
                << Controls(r) << ", N = " << MeshPoints(r) << " | " << Ratio(ratio) << "x | "
                << Verdict(ratio >= 200) << " |\n";
    }
  }
  // The matrix of n control points is factored in each of the runs with n;
  // every run gives its own ratio, and the verdict takes their median.
  for (int n : { 1000, 5000 })
  {
    std::vector<double> ratios;
    std::string each;
    double size = std::numeric_limits<double>::quiet_NaN();
    for (const Results& r : runs)
    {
      if (Controls(r) == n)
      {
        ratios.push_back(r.Get("factor_and_solves") / FasterPeer(r));
        each += (each.empty() ? "" : ", ") + Ratio(ratios.back());
        size = EnvelopeSize(r) / r.Get("cholmod_factor_entries");
      }
    }
    if (ratios.empty())
    {
      continue;
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    std::cout << "| factorisation + 7 solves <= faster of SimplicialLLT and CHOLMOD | n = " << n
              << ", median of the runs (" << each << ") | " << Ratio(median) << " | "
              << Verdict(median <= 1.0) << " |\n";
    std::cout << "| envelope <= 2 x CHOLMOD's factor | n = " << n << " | " << Ratio(size) << " | "
              << Verdict(size <= 2.0) << " |\n";
  }
  for (const Results& r : runs)
  {
    if (MeshPoints(r) >= 900000)
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
                   [](const Results& a, const Results& b) {
                     return Controls(a) != Controls(b) ? Controls(a) < Controls(b)
                                                       : MeshPoints(a) < MeshPoints(b);
                   });
  TargetTable(runs, startups);
  StageTable(runs);
  SolverTable(runs);
  ThinPlateSplineTable(runs);
  FrameTable(runs);
  StartupTable(startups);
  return 0;
}
