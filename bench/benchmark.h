// The benchmark of the animation's stages and of their peers.
//
// One run of animation_benchmark measures one workload: a folder that holds
// a scene as the program reads it (woman.ptt with n control points, woman.vtk
// with N mesh points, hair.vtk and the images). Every stage is measured on
// its own with the program's own code, then the peers on the same control
// points, the same matrix and the same mesh, so that every ratio comes from
// one process on one machine. The figures are written as "key value" lines;
// the report mode turns the files of several runs into markdown tables.
#ifndef benchmark_h
#define benchmark_h

#include <vtkSmartPointer.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

class vtkDatReader;
class vtkPoints;

// Figures of one workload, in the order they were measured.
class Results
{
public:
  void Add(const std::string& key, double value);
  void Append(const Results& more);
  // The value of key, or NaN when it was not measured.
  double Get(const std::string& key) const;
  bool Has(const std::string& key) const;
  void Write(const std::string& path) const;
  static Results Read(const std::string& path);

private:
  std::vector<std::pair<std::string, double>> Values;
};

// Seconds of a steady clock since start.
using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);

// Seconds of processor time all threads of the process have used so far:
// on a shared machine, the time it ran, without the time it waited.
double ProcessorSeconds();

// Median of the figures that repeats calls of measure return; each call
// returns the seconds of the work it timed, its preparation excluded.
template<typename Measure>
double MedianSeconds(int repeats, Measure measure);

// The interpolation matrix A as assembled, before it is factored, and the
// seven right-hand sides of the solve: the four rows of P, then BX, BY, BZ.
struct AssembledSystem
{
  int N = 0;
  std::vector<float> Diag;
  std::vector<int> Xenv;
  std::vector<float> Env;
  std::vector<std::vector<float>> Rhs;
  std::vector<std::vector<float>> Solutions; // the envelope kernels' answers
};

// What the peers need besides the matrix.
struct Landmarks
{
  vtkPoints* Sources = nullptr; // owned by the caller
  vtkPoints* Targets = nullptr;
  vtkPoints* Mesh = nullptr;
};

struct Options
{
  int Repeats = 3;
  int TpsMaxControls = 1000; // the dense solve of larger sets takes minutes
  int LltMaxControls = 5000; // SimplicialLLT and the row-by-row factorisation above take minutes
  bool CholmodAuto = true;   // CHOLMOD's automatic choice beside its supernodal AMD and METIS
};

// The program's factorisation and seven solves, as Solve() runs them, on a
// fresh copy of system's matrix; returns the seconds they took and leaves
// the solutions in system.Solutions.
double FactorAndSolveOnce(AssembledSystem& system);

// The factorisation with seven solves, the factorisation alone with its
// rate, and up to LltMaxControls the row-by-row factorisation beside it, on
// system's matrix (left as assembled).
void MeasureFactorisation(const Options& options, Results& results, AssembledSystem& system);

// The double-precision peak of one core and of all cores, in GFlop/s, for
// each vector width of the register tiles the processor has.
void MeasurePeak(Results& results);

// count control points spread evenly over a sphere with about neighbours
// neighbours each: ordering, assembly, the factorisation with seven solves,
// the memory it takes, and CHOLMOD on the same matrix.
void MeasureScale(const Options& options, int count, int neighbours, Results& results);

// Reads the scene of the working folder and measures the program's stages:
// locator build, ordering, assembly, factorisation with seven solves, the
// whole fit, cache fill, a later frame and the memory floor; then the peak
// memory. Fills system with the matrix and
// landmarks with copies of the points, which the caller releases.
void MeasureStages(const Options& options,
                   Results& results,
                   AssembledSystem& system,
                   Landmarks& landmarks);

// Eigen's SimplicialLLT and CHOLMOD on system, vtkThinPlateSplineTransform on
// the landmarks.
void MeasurePeers(const Options& options,
                  const AssembledSystem& system,
                  const Landmarks& landmarks,
                  Results& results);

// The scene file woman.ptt of the working folder, read and prepared by
// vtkDatReader with the support radius 0.5 unless it sets its own. Throws a
// text when it cannot be read.
vtkDatReader* ReadScene();

// The points of woman.vtk in the working folder. Throws a text when it holds
// none.
vtkSmartPointer<vtkPoints> ReadMesh();

// vtkThinPlateSplineTransform (R basis) on the scene of the working folder:
// its set-up on the control points and one evaluation of the face mesh, as
// tps_setup and tps_evaluation, written to path. The peer of the whole
// program's run on the same scene (bench/run-benchmarks times that run).
int MeasureThinPlateOfScene(const std::string& path);

// vtkCompactSplineTransform following a dragged target on the scene of the
// working folder, the face carried with its normals: the first and the
// following moves of a landmark, a control point added, a fresh transform
// fitted and evaluated whole, and vtkThinPlateSplineTransform after the same
// move, as drag_* figures written to path.
int MeasureTargetDragOfScene(const std::string& path, const Options& options);

// Markdown tables of the result files, to standard output.
int WriteReport(const std::vector<std::string>& files);

// The median of figures (at least one).
inline double Median(std::vector<double> figures)
{
  std::sort(figures.begin(), figures.end());
  return figures[figures.size() / 2];
}

template<typename Measure>
double MedianSeconds(int repeats, Measure measure)
{
  std::vector<double> seconds;
  for (int r = 0; r < repeats; ++r)
  {
    seconds.push_back(measure());
  }
  return Median(seconds);
}

#endif
