// The markdown tables of docs/benchmarks.md, from the result files of the
// workloads, each after its prose from report.md. Every ratio divides two figures of the same file,
// that is of one process on one machine.
#include "benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>
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

// The measured double-precision peak (animation_benchmark --peak) in the
// vector width of the tiles run r used (24 columns: AVX-512, 6: AVX2), of
// one core or of all cores as r ran; by the clock, or with processor = true
// per second of processor time, a figure for one core. NaN if not measured.
double Peak(const Results& peak, const Results& r, bool processor = false)
{
  const double columns = r.Get("tile_columns");
  const std::string width = columns == 24 ? "avx512" : columns == 6 ? "avx2" : "none";
  const std::string cores = Threads(r) == 1 ? "_one_core" : "_all_cores";
  return peak.Get("peak_" + width + cores + (processor ? "_processor" : ""));
}

// The factorisation's rate in GFlop/s: by the clock, or per second of
// processor time.
double FactorRate(const Results& r, bool processor = false)
{
  return r.Get("factor_flops") / r.Get(processor ? "factor_processor" : "factor") * 1e-9;
}

std::string Percent(double fraction)
{
  return Figure(100.0 * fraction, "%.0f %%");
}

std::string MiB(double bytes)
{
  return Figure(bytes / 1048576.0, "%.0f");
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

void StartupTable(std::ostream& out, const std::vector<Results>& startups)
{
  out << "| whole program |\n"
         "|---:|\n";
  for (const Results& r : startups)
  {
    out << "| " << Ms(r.Get("startup")) << " |\n";
  }
  out << "\n";
}

void StageTable(std::ostream& out, const std::vector<Results>& runs)
{
  out << "| n | N | threads | Max | locator build | ordering | assembly | factorisation + 7 "
         "solves | whole fit (Solve) | first evaluation (cache fill) | later frame | peak "
         "memory (MiB) |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    out << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
        << Count(r.Get("max")) << " | " << Ms(r.Get("locator_build")) << " | "
        << Ms(r.Get("ordering")) << " | " << Ms(r.Get("assembly")) << " | "
        << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("fit")) << " | "
        << Ms(r.Get("cache_fill")) << " | " << Ms(r.Get("frame")) << " | "
        << Figure(r.Get("peak_memory_mib"), "%.0f") << " |\n";
  }
  out << "\n";
}

void SolverTable(std::ostream& out, const std::vector<Results>& runs)
{
  out << "| n | N of run | threads | envelope kernels | SimplicialLLT AMD | SimplicialLLT "
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
    out << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
        << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("llt")) << " | "
        << Ms(r.Get("llt_list_order")) << " | " << Ms(r.Get("cholmod")) << " | "
        << Ms(r.Get("cholmod_amd")) << " | " << Ms(r.Get("cholmod_metis")) << " | "
        << Ratio(CholmodRatio(r)) << " | " << Ratio(r.Get("factor_and_solves") / FasterPeer(r))
        << " | " << Count(EnvelopeSize(r)) << " | " << Count(r.Get("cholmod_factor_entries"))
        << " | " << Ratio(EnvelopeSize(r) / r.Get("cholmod_factor_entries")) << " | "
        << Figure(difference, "%.1e") << " |\n";
  }
  out << "\n";
}

void RateTable(std::ostream& out, const std::vector<Results>& runs, const Results& peak)
{
  out << "| n | threads | factorisation (ms) | GFlop | GFlop/s | peak GFlop/s | of peak | "
         "GFlop per processor s | of peak per processor s | row by row (ms) | speed-up | same "
         "bits |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
  for (const Results& r : runs)
  {
    if (MeshPoints(r) > 50000)
    {
      continue; // one row for each n and thread count: the run on the demo's face
    }
    out << "| " << Controls(r) << " | " << Threads(r) << " | " << Ms(r.Get("factor")) << " | "
        << Figure(r.Get("factor_flops") * 1e-9, "%.2f") << " | " << Figure(FactorRate(r), "%.1f")
        << " | " << Figure(Peak(peak, r), "%.0f") << " | " << Percent(FactorRate(r) / Peak(peak, r))
        << " | " << Figure(FactorRate(r, true), "%.1f") << " | "
        << Percent(FactorRate(r, true) / Peak(peak, r, true)) << " | "
        << Ms(r.Get("bordering_factor")) << " | "
        << Ratio(r.Get("bordering_factor") / r.Get("factor")) << " | "
        << (r.Has("bordering_same_bits") ? (r.Get("bordering_same_bits") ? "yes" : "**no**") : "-")
        << " |\n";
  }
  out << "\n";
}

void PeakTable(std::ostream& out, const Results& peak)
{
  out << "| vector width | one core | all cores | one core, per processor s | all cores, per "
         "processor s and core |\n"
         "|---|---:|---:|---:|---:|\n";
  for (const char* width : { "avx512", "avx2" })
  {
    const std::string key = std::string("peak_") + width;
    if (!peak.Has(key + "_one_core"))
    {
      continue;
    }
    out << "| " << (key == "peak_avx512" ? "AVX-512 (8 doubles)" : "AVX2 (4 doubles)") << " | "
        << Figure(peak.Get(key + "_one_core"), "%.1f") << " | "
        << Figure(peak.Get(key + "_all_cores"), "%.1f") << " | "
        << Figure(peak.Get(key + "_one_core_processor"), "%.1f") << " | "
        << Figure(peak.Get(key + "_all_cores_processor"), "%.1f") << " |\n";
  }
  out << "\n";
}

// The faster CHOLMOD ordering of a scale run, by name.
std::string FasterCholmodName(const Results& r)
{
  const double amd = r.Get("cholmod_amd");
  const double metis = r.Get("cholmod_metis");
  return std::isnan(metis) || amd <= metis ? "cholmod_amd" : "cholmod_metis";
}

void ScaleTable(std::ostream& out, const std::vector<Results>& scales)
{
  if (scales.empty())
  {
    return;
  }
  out << "| n | threads | neighbours | Max | ordering | assembly | envelope: factorisation + "
         "7 solves | CHOLMOD AMD | CHOLMOD METIS | ratio | envelope entries | CHOLMOD L "
         "(faster) | envelope storage MiB | envelope peak growth MiB | CHOLMOD peak MiB | "
         "envelope GFlop | CHOLMOD GFlop | difference |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:"
         "|---:|\n";
  for (const Results& r : scales)
  {
    const std::string faster = FasterCholmodName(r);
    out << "| " << Controls(r) << " | " << Threads(r) << " | "
        << Figure(r.Get("mean_neighbours"), "%.1f") << " | " << Count(r.Get("max")) << " | "
        << Ms(r.Get("ordering")) << " | " << Ms(r.Get("assembly")) << " | "
        << Ms(r.Get("factor_and_solves")) << " | " << Ms(r.Get("cholmod_amd")) << " | "
        << Ms(r.Get("cholmod_metis")) << " | " << Ratio(CholmodRatio(r)) << " | "
        << Count(EnvelopeSize(r)) << " | " << Count(r.Get(faster + "_factor_entries")) << " | "
        << MiB(4.0 * (EnvelopeSize(r) + r.Get("controls") + 1)) << " | "
        << MiB(r.Get("envelope_peak_bytes")) << " | " << MiB(r.Get(faster + "_peak_bytes")) << " | "
        << Figure(r.Get("factor_flops") * 1e-9, "%.1f") << " | "
        << Figure(r.Get(faster + "_flops") * 1e-9, "%.1f") << " | "
        << Figure(r.Get(faster + "_disagreement"), "%.1e") << " |\n";
  }
  out << "\n";
}

void CacheFillTable(std::ostream& out, const std::vector<Results>& runs)
{
  out << "| n | N | threads | cache fill | grid loop | ratio | difference |\n"
         "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    out << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
        << Ms(r.Get("cache_fill")) << " | " << Ms(r.Get("grid_loop")) << " | "
        << Ratio(r.Get("cache_fill") / r.Get("grid_loop")) << " | "
        << Figure(r.Get("grid_loop_difference"), "%.1e") << " |\n";
  }
  out << "\n";
}

double FitAndFirstEvaluation(const Results& r)
{
  return r.Get("fit") + r.Get("cache_fill");
}

double ThinPlateSpline(const Results& r)
{
  return r.Get("tps_setup") + r.Get("tps_evaluation");
}

void ThinPlateSplineTable(std::ostream& out, const std::vector<Results>& runs)
{
  if (std::none_of(runs.begin(), runs.end(), [](const Results& r) { return r.Has("tps_setup"); }))
  {
    return;
  }
  out << "| n | N | threads | ours | thin-plate set-up | thin-plate evaluation | thin-plate "
         "total | ratio |\n"
         "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    if (!r.Has("tps_setup"))
    {
      continue;
    }
    out << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
        << Ms(FitAndFirstEvaluation(r)) << " | " << Ms(r.Get("tps_setup")) << " | "
        << Ms(r.Get("tps_evaluation")) << " | " << Ms(ThinPlateSpline(r)) << " | "
        << Ratio(ThinPlateSpline(r) / FitAndFirstEvaluation(r)) << " |\n";
  }
  out << "\n";
}

std::string Verdict(bool met)
{
  return met ? "met" : "**missed**";
}

// The whole program's --batch run beside the thin-plate transform on the
// same scene.
void WholeRunTable(std::ostream& out, const std::vector<Results>& wholeRuns)
{
  if (wholeRuns.empty())
  {
    return;
  }
  out << "| n | N | whole run | thin-plate set-up | thin-plate evaluation | ratio | verdict |\n"
         "|---:|---:|---:|---:|---:|---:|---|\n";
  for (const Results& r : wholeRuns)
  {
    const double ratio = ThinPlateSpline(r) / r.Get("whole_run");
    out << "| " << Count(r.Get("whole_run_controls")) << " | " << Count(r.Get("whole_run_points"))
        << " | " << Ms(r.Get("whole_run")) << " | " << Ms(r.Get("tps_setup")) << " | "
        << Ms(r.Get("tps_evaluation")) << " | " << Ratio(ratio) << " | " << Verdict(ratio >= 50)
        << " |\n";
  }
  out << "\n";
}

// vtkCompactSplineTransform following a dragged target, beside a whole refit
// and the thin-plate transform after the same move.
void TargetDragTable(std::ostream& out, const std::vector<Results>& drags)
{
  if (drags.empty())
  {
    return;
  }
  out
    << "| n | N | threads | first move | following move (processor) | carry alone | control added "
       "(fit) "
       "| control added, points alone | whole refit | thin-plate | whole / following | thin-plate "
       "/ following | following <= 10 ms | added <= 50 ms |\n"
       "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|---|\n";
  for (const Results& r : drags)
  {
    const double following = r.Get("drag_following_move");
    const double added = r.Get("drag_add_control");
    out << "| " << Count(r.Get("drag_controls")) << " | " << Count(r.Get("drag_points")) << " | "
        << Threads(r) << " | " << Ms(r.Get("drag_first_move")) << " | " << Ms(following) << " ("
        << Ms(r.Get("drag_following_move_processor")) << ") | " << Ms(r.Get("drag_carry_only"))
        << " | " << Ms(added) << " (" << Ms(r.Get("drag_add_control_fit")) << ") | "
        << Ms(r.Get("drag_add_control_points_only")) << " | " << Ms(r.Get("drag_whole")) << " | "
        << Ms(r.Get("drag_thin_plate")) << " | " << Ratio(r.Get("drag_whole") / following) << " | "
        << Ratio(r.Get("drag_thin_plate") / following) << " | " << Verdict(following <= 0.010)
        << " | " << Verdict(added <= 0.050) << " |\n";
  }
  out << "\n";
}

void FrameTable(std::ostream& out, const std::vector<Results>& runs)
{
  out << "| n | N | threads | later frame | kept output | floor | ratio |\n"
         "|---:|---:|---:|---:|---:|---:|---:|\n";
  for (const Results& r : runs)
  {
    out << "| " << Controls(r) << " | " << MeshPoints(r) << " | " << Threads(r) << " | "
        << Ms(r.Get("frame")) << " | " << Ms(r.Get("frame_reused_output")) << " | "
        << Ms(r.Get("memory_floor")) << " | " << Ratio(r.Get("frame") / r.Get("memory_floor"))
        << " |\n";
  }
  out << "\n";
}

void TargetTable(std::ostream& out,
                 const std::vector<Results>& runs,
                 const std::vector<Results>& startups,
                 const Results& peak)
{
  out << "| target | workload | figure | verdict |\n"
         "|---|---|---:|---|\n";
  for (const Results& r : runs)
  {
    if (Controls(r) == 1000 && MeshPoints(r) >= 90000 && MeshPoints(r) <= 110000 &&
        r.Has("tps_setup") && Threads(r) == 1)
    {
      const double ratio = ThinPlateSpline(r) / FitAndFirstEvaluation(r);
      out << "| fit + first evaluation >= 200x faster than vtkThinPlateSplineTransform | n = "
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
  for (const Results& r : runs)
  {
    if (Controls(r) == 20000 && Threads(r) == 1 && MeshPoints(r) < 50000)
    {
      const double fraction = FactorRate(r) / Peak(peak, r);
      out << "| factorisation >= 60 % of the measured one-core peak | n = 20000, 1 thread ("
          << Figure(FactorRate(r), "%.1f") << " of " << Figure(Peak(peak, r), "%.1f")
          << " GFlop/s; per processor second " << Figure(FactorRate(r, true), "%.1f") << " of "
          << Figure(Peak(peak, r, true), "%.1f") << ", "
          << Percent(FactorRate(r, true) / Peak(peak, r, true)) << ") | " << Percent(fraction)
          << " | " << Verdict(fraction >= 0.6) << " |\n";
      if (r.Has("factor_avx2"))
      {
        const double rate = r.Get("factor_flops") / r.Get("factor_avx2") * 1e-9;
        const double avx2 = rate / peak.Get("peak_avx2_one_core");
        out << "| factorisation with the AVX2 tile >= 60 % of the measured one-core AVX2 "
               "peak | n = 20000, 1 thread ("
            << Figure(rate, "%.1f") << " of " << Figure(peak.Get("peak_avx2_one_core"), "%.1f")
            << " GFlop/s; factor "
            << (r.Get("factor_avx2_same_bits") ? "bit for bit the AVX-512 one"
                                               : "**not** bit for bit the AVX-512 one")
            << ") | " << Percent(avx2) << " | " << Verdict(avx2 >= 0.6) << " |\n";
      }
    }
  }
  for (const auto& [n, limit] : { std::make_pair(5000, 0.5), std::make_pair(20000, 0.7) })
  {
    for (int threads : threadCounts)
    {
      std::string each;
      const double ratio = median(n, threads, CholmodRatio, each);
      if (!std::isnan(ratio))
      {
        out << "| factorisation + 7 solves <= " << Ratio(limit)
            << " x faster CHOLMOD ordering (OpenBLAS, its right core), same threads | n = " << n
            << ", " << threads << " thread" << (threads > 1 ? "s" : "") << ", median of the runs ("
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
      out << "| factorisation on one thread >= 2.5 x faster than row by row | n = 5000, "
             "median of the runs ("
          << each << ") | " << Ratio(speedup) << " | " << Verdict(speedup >= 2.5) << " |\n";
    }
  }
  for (const Results& r : runs)
  {
    if (Controls(r) == 1000 && MeshPoints(r) >= 90000 && Threads(r) > 1)
    {
      const double ratio = r.Get("cache_fill") / r.Get("grid_loop");
      out << "| cache fill <= 0.5 x plain single-threaded grid loop, all cores | n = "
          << Controls(r) << ", N = " << MeshPoints(r) << ", " << Threads(r) << " threads | "
          << Ratio(ratio) << " | " << Verdict(ratio <= 0.5) << " |\n";
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
    out
      << "| factorisation + 7 solves <= faster of SimplicialLLT and CHOLMOD (earlier target) | n = "
      << n << ", 1 thread, median of the runs (" << each << ") | " << Ratio(ratio) << " | "
      << Verdict(ratio <= 1.0) << " |\n";
    out << "| envelope <= 2 x CHOLMOD's factor | n = " << n << " | " << Ratio(size) << " | "
        << Verdict(size <= 2.0) << " |\n";
  }
  for (const Results& r : runs)
  {
    if (MeshPoints(r) >= 900000 && Threads(r) == 1)
    {
      const double ratio = r.Get("frame") / r.Get("memory_floor");
      out << "| later frame <= 3 x memory floor | n = " << Controls(r) << ", N = " << MeshPoints(r)
          << " | " << Ratio(ratio) << " | " << Verdict(ratio <= 3.0) << " |\n";
    }
  }
  for (const Results& r : startups)
  {
    const double seconds = r.Get("startup");
    out << "| startup to first rendered frame of the demo < 1 s | demo, "
        << Count(r.Get("controls_of_demo")) << " controls, whole program | " << Ms(seconds)
        << " ms | " << Verdict(seconds < 1.0) << " |\n";
  }
  out << "\n";
}
}

namespace
{
// The sections of the report's prose (report.md): each starts with a line
// @@NAME@@ and runs to the next; the table NAME follows its prose.
std::map<std::string, std::string> ReadSections(const char* path)
{
  std::ifstream file(path);
  std::map<std::string, std::string> sections;
  std::string line;
  std::string* section = nullptr;
  while (std::getline(file, line))
  {
    if (line.size() > 4 && line.rfind("@@", 0) == 0 && line.compare(line.size() - 2, 2, "@@") == 0)
    {
      section = &sections[line.substr(2, line.size() - 4)];
    }
    else if (section)
    {
      *section += line + "\n";
    }
  }
  return sections;
}
}

int WriteReport(const std::vector<std::string>& files)
{
  std::vector<Results> runs;
  std::vector<Results> scales;
  std::vector<Results> startups;
  std::vector<Results> wholeRuns;
  std::vector<Results> drags;
  Results peak;
  for (const std::string& file : files)
  {
    Results r = Results::Read(file);
    if (r.Has("whole_run"))
    {
      wholeRuns.push_back(r);
    }
    else if (r.Has("drag_controls"))
    {
      drags.push_back(r);
    }
    else if (r.Has("scale_neighbours"))
    {
      scales.push_back(r);
    }
    else if (r.Has("controls"))
    {
      runs.push_back(r);
    }
    else if (r.Has("startup"))
    {
      startups.push_back(r);
    }
    else if (r.Has("cores"))
    {
      peak = r;
    }
    else
    {
      std::cerr << "No figures in " << file << "\n";
      return 1;
    }
  }
  auto order = [](const Results& a, const Results& b)
  {
    if (Controls(a) != Controls(b))
    {
      return Controls(a) < Controls(b);
    }
    return MeshPoints(a) != MeshPoints(b) ? MeshPoints(a) < MeshPoints(b) : Threads(a) < Threads(b);
  };
  std::stable_sort(runs.begin(), runs.end(), order);
  std::stable_sort(scales.begin(), scales.end(), order);
  const std::vector<std::pair<std::string, std::function<void(std::ostream&)>>> tables = {
    { "targets", [&](std::ostream& out) { TargetTable(out, runs, startups, peak); } },
    { "peak", [&](std::ostream& out) { PeakTable(out, peak); } },
    { "stages", [&](std::ostream& out) { StageTable(out, runs); } },
    { "solvers", [&](std::ostream& out) { SolverTable(out, runs); } },
    { "rate", [&](std::ostream& out) { RateTable(out, runs, peak); } },
    { "scale", [&](std::ostream& out) { ScaleTable(out, scales); } },
    { "cache_fill", [&](std::ostream& out) { CacheFillTable(out, runs); } },
    { "thin_plate_spline", [&](std::ostream& out) { ThinPlateSplineTable(out, runs); } },
    { "whole_run", [&](std::ostream& out) { WholeRunTable(out, wholeRuns); } },
    { "target_drag", [&](std::ostream& out) { TargetDragTable(out, drags); } },
    { "frame", [&](std::ostream& out) { FrameTable(out, runs); } },
    { "startup", [&](std::ostream& out) { StartupTable(out, startups); } },
  };
  const std::map<std::string, std::string> prose = ReadSections(ANIMATION_REPORT_TEMPLATE);
  for (const auto& [name, table] : tables)
  {
    std::ostringstream rows;
    table(rows);
    if (!rows.str().empty())
    {
      std::cout << prose.at(name) << rows.str();
    }
  }
  return 0;
}
