// animation_benchmark - times the animation's stages and their peers.
//
// Usage:
//   animation_benchmark --run RESULTS [--repeats K] [--tps-max-controls N]
//                       [--llt-max-controls N] [--no-cholmod-auto]
//       measures the scene of the working folder and writes RESULTS; the
//       thin-plate spline, SimplicialLLT and the row-by-row factorisation run
//       only up to the given numbers of control points
//   animation_benchmark --scale RESULTS COUNT NEIGHBOURS [options of --run]
//       measures the matrix of COUNT control points spread over a sphere
//       with about NEIGHBOURS neighbours each, against CHOLMOD
//   animation_benchmark --peak RESULTS
//       measures the double-precision peak of one core and of all cores
//   animation_benchmark --threads
//       prints vtkSMPTools' backend and number of threads
//   animation_benchmark --thin-plate RESULTS
//       times vtkThinPlateSplineTransform's set-up and one evaluation of the
//       mesh on the scene of the working folder, the peer of a whole run
//   animation_benchmark --target-drag RESULTS [--repeats K] [--tps-max-controls N]
//       times vtkCompactSplineTransform following a dragged target on the
//       scene of the working folder, against a whole refit and the
//       thin-plate transform
//   animation_benchmark --report RESULTS...
//       prints the markdown tables of the result files
//
// bench/run-benchmarks drives it.
#include "benchmark.h"

#include <vtkLogger.h>
#include <vtkOutputWindow.h>
#include <vtkPoints.h>
#include <vtkSMPTools.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <limits>

void Results::Add(const std::string& key, double value)
{
  this->Values.emplace_back(key, value);
}

void Results::Append(const Results& more)
{
  this->Values.insert(this->Values.end(), more.Values.begin(), more.Values.end());
}

bool Results::Has(const std::string& key) const
{
  for (const auto& entry : this->Values)
  {
    if (entry.first == key)
    {
      return true;
    }
  }
  return false;
}

double Results::Get(const std::string& key) const
{
  for (const auto& entry : this->Values)
  {
    if (entry.first == key)
    {
      return entry.second;
    }
  }
  return std::numeric_limits<double>::quiet_NaN();
}

void Results::Write(const std::string& path) const
{
  std::ofstream file(path);
  file.precision(9);
  for (const auto& entry : this->Values)
  {
    file << entry.first << " " << entry.second << "\n";
  }
}

Results Results::Read(const std::string& path)
{
  Results results;
  std::ifstream file(path);
  std::string key;
  double value;
  while (file >> key >> value)
  {
    results.Add(key, value);
  }
  return results;
}

namespace
{
const char* const Usage =
  "Usage: animation_benchmark --run RESULTS [--repeats K] [--tps-max-controls N]\n"
  "                                 [--llt-max-controls N] [--no-cholmod-auto]\n"
  "       animation_benchmark --scale RESULTS COUNT NEIGHBOURS [options of --run]\n"
  "       animation_benchmark --peak RESULTS\n"
  "       animation_benchmark --thin-plate RESULTS\n"
  "       animation_benchmark --target-drag RESULTS [--repeats K] [--tps-max-controls N]\n"
  "       animation_benchmark --threads\n"
  "       animation_benchmark --report RESULTS...\n";

int Scale(const std::string& path, int count, int neighbours, const Options& options)
{
  Results results;
  MeasureScale(options, count, neighbours, results);
  results.Write(path);
  return 0;
}

int Run(const std::string& path, const Options& options)
{
  Results results;
  AssembledSystem system;
  Landmarks landmarks;
  MeasureStages(options, results, system, landmarks);
  MeasurePeers(options, system, landmarks, results);
  landmarks.Sources->Delete();
  landmarks.Targets->Delete();
  landmarks.Mesh->Delete();
  results.Write(path);
  return 0;
}
}

int main(int argc, char* argv[])
{
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  vtkOutputWindow::GetInstance()->SetDisplayModeToAlways();
  if (argc >= 3 && std::strcmp(argv[1], "--report") == 0)
  {
    return WriteReport(std::vector<std::string>(argv + 2, argv + argc));
  }
  if (argc == 2 && std::strcmp(argv[1], "--threads") == 0)
  {
    std::cout << vtkSMPTools::GetBackend() << " " << vtkSMPTools::GetEstimatedNumberOfThreads()
              << "\n";
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--thin-plate") == 0)
  {
    return MeasureThinPlateOfScene(argv[2]);
  }
  if (argc == 3 && std::strcmp(argv[1], "--peak") == 0)
  {
    Results results;
    MeasurePeak(results);
    results.Write(argv[2]);
    return 0;
  }
  const bool scale = argc >= 5 && std::strcmp(argv[1], "--scale") == 0;
  const bool drag = argc >= 3 && std::strcmp(argv[1], "--target-drag") == 0;
  if (argc < 3 || (std::strcmp(argv[1], "--run") != 0 && !scale && !drag))
  {
    std::cerr << Usage;
    return 2;
  }
  Options options;
  for (int i = scale ? 5 : 3; i < argc; ++i)
  {
    if (std::strcmp(argv[i], "--no-cholmod-auto") == 0)
    {
      options.CholmodAuto = false;
    }
    else if (i + 1 < argc && std::strcmp(argv[i], "--repeats") == 0)
    {
      options.Repeats = std::max(1, std::atoi(argv[++i]));
    }
    else if (i + 1 < argc && std::strcmp(argv[i], "--tps-max-controls") == 0)
    {
      options.TpsMaxControls = std::atoi(argv[++i]);
    }
    else if (i + 1 < argc && std::strcmp(argv[i], "--llt-max-controls") == 0)
    {
      options.LltMaxControls = std::atoi(argv[++i]);
    }
    else
    {
      std::cerr << Usage;
      return 2;
    }
  }
  try
  {
    if (drag)
    {
      return MeasureTargetDragOfScene(argv[2], options);
    }
    return scale ? Scale(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), options)
                 : Run(argv[2], options);
  }
  catch (const char* message)
  {
    std::cerr << message << std::endl;
  }
  catch (const std::exception& failure)
  {
    std::cerr << failure.what() << std::endl;
  }
  return 1;
}
