// The peers: what a user of VTK or of a sparse direct solver would reach for
// to do the same work.
//
// - vtkThinPlateSplineTransform with the R basis on the same landmarks: its
//   set-up (a dense solve of the n + 4 system) and one evaluation of the mesh.
// - Eigen's SimplicialLLT and, when installed, CHOLMOD (through Eigen's
//   CholmodSupport) on the same compactly supported matrix A, in double
//   precision with their own fill-reducing orderings: factorisation plus the
//   seven solves. SimplicialLLT in the list order of the program shows what
//   the ordering alone is worth. CHOLMOD runs its dense blocks in whatever
//   BLAS libblas.so.3 is (OpenBLAS once libopenblas0-pthread is installed),
//   with as many threads as OPENBLAS_NUM_THREADS allows.
#include "benchmark.h"

#include "vtkDatReader.h"

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#ifdef ANIMATION_HAVE_CHOLMOD
#include <Eigen/CholmodSupport>
#endif

#include <vtkPoints.h>
#include <vtkSmartPointer.h>
#include <vtkThinPlateSplineTransform.h>

#include <cmath>
#include <utility>

namespace
{
using SparseMatrix = Eigen::SparseMatrix<double>;

// The lower triangle of A with the nonzeros of its envelope.
SparseMatrix LowerTriangle(const AssembledSystem& system)
{
  std::vector<Eigen::Triplet<double>> entries;
  for (int i = 0; i < system.N; ++i)
  {
    const int b = system.Xenv[i + 1] - system.Xenv[i];
    const float* row = system.Env.data() + (system.Xenv[i] - 1);
    for (int k = 0; k < b; ++k)
    {
      if (row[k] != 0.0f)
      {
        entries.emplace_back(i, i - b + k, row[k]);
      }
    }
    entries.emplace_back(i, i, system.Diag[i]);
  }
  SparseMatrix a(system.N, system.N);
  a.setFromTriplets(entries.begin(), entries.end());
  return a;
}

std::vector<Eigen::VectorXd> RightHandSides(const AssembledSystem& system)
{
  std::vector<Eigen::VectorXd> rhs;
  for (const std::vector<float>& b : system.Rhs)
  {
    rhs.push_back(Eigen::Map<const Eigen::VectorXf>(b.data(), b.size()).cast<double>());
  }
  return rhs;
}

// Largest difference between a peer's solutions and the envelope kernels',
// relative to the largest component of each solution.
double Disagreement(const AssembledSystem& system, const std::vector<Eigen::VectorXd>& solutions)
{
  double worst = 0.0;
  for (std::size_t k = 0; k < solutions.size(); ++k)
  {
    const Eigen::VectorXd ours =
      Eigen::Map<const Eigen::VectorXf>(system.Solutions[k].data(), system.N).cast<double>();
    const double scale = std::max(solutions[k].cwiseAbs().maxCoeff(), 1e-300);
    worst = std::max(worst, (ours - solutions[k]).cwiseAbs().maxCoeff() / scale);
  }
  return worst;
}

// Factorisation plus the seven solves; the decomposition is made fresh for
// every repetition, as the program factors once per run. The program's
// factorisation and solves run just before the peer in every repetition, so
// that both meet the same load of the machine: name_ours is their median.
// configure(solver) sets the peer up before it factors.
// describe(solver, name, results) adds what the peer says of its last
// factorisation.
template<typename Solver, typename Size, typename Describe, typename Configure>
void MeasureSolver(const Options& options,
                   const AssembledSystem& system,
                   const std::string& name,
                   Size factorSize,
                   Describe describe,
                   Configure configure,
                   Results& results)
{
  const SparseMatrix a = LowerTriangle(system);
  const std::vector<Eigen::VectorXd> rhs = RightHandSides(system);
  std::vector<Eigen::VectorXd> solutions(rhs.size());
  AssembledSystem ours = system;
  double entries = 0.0;
  Results said;
  bool failed = false;
  std::vector<double> peer;
  std::vector<double> alongside;
  for (int r = 0; r < options.Repeats; ++r)
  {
    alongside.push_back(FactorAndSolveOnce(ours));
    Solver solver;
    configure(solver);
    const Clock::time_point start = Clock::now();
    solver.compute(a);
    for (std::size_t k = 0; k < rhs.size(); ++k)
    {
      solutions[k] = solver.solve(rhs[k]);
    }
    peer.push_back(SecondsSince(start));
    failed = failed || solver.info() != Eigen::Success;
    entries = factorSize(solver);
    said = Results();
    describe(solver, name, said);
  }
  if (failed)
  {
    return;
  }
  results.Add(name, Median(peer));
  results.Add(name + "_ours", Median(alongside));
  results.Add(name + "_factor_entries", entries);
  results.Append(said);
  results.Add(name + "_disagreement", Disagreement(system, solutions));
}

void MeasureThinPlateSpline(const Landmarks& landmarks, Results& results)
{
  auto spline = vtkSmartPointer<vtkThinPlateSplineTransform>::New();
  spline->SetBasisToR();
  spline->SetSourceLandmarks(landmarks.Sources);
  spline->SetTargetLandmarks(landmarks.Targets);
  Clock::time_point start = Clock::now();
  spline->Update();
  results.Add("tps_setup", SecondsSince(start));
  auto out = vtkSmartPointer<vtkPoints>::New();
  out->Allocate(landmarks.Mesh->GetNumberOfPoints());
  start = Clock::now();
  spline->TransformPoints(landmarks.Mesh, out);
  results.Add("tps_evaluation", SecondsSince(start));
}
}

void MeasurePeers(const Options& options,
                  const AssembledSystem& system,
                  const Landmarks& landmarks,
                  Results& results)
{
  // Nonzeros of L, its diagonal included.
  auto simplicialSize = [](const auto& solver)
  { return static_cast<double>(solver.matrixL().nestedExpression().nonZeros()); };
  auto nothing = [](const auto&, const std::string&, Results&) {};
  auto asIs = [](auto&) {};
  if (system.N <= options.LltMaxControls)
  {
    MeasureSolver<Eigen::SimplicialLLT<SparseMatrix, Eigen::Lower>>(
      options, system, "llt", simplicialSize, nothing, asIs, results);
    MeasureSolver<Eigen::SimplicialLLT<SparseMatrix, Eigen::Lower, Eigen::NaturalOrdering<int>>>(
      options, system, "llt_list_order", simplicialSize, nothing, asIs, results);
  }
#ifdef ANIMATION_HAVE_CHOLMOD
  // CHOLMOD's own count of the nonzeros of L for the ordering it chose: its
  // automatic choice of method and ordering, then supernodal with AMD and
  // with METIS's nested dissection, its dense blocks in the BLAS.
  // It also counts the flops of its factorisation and the most memory its
  // own allocations held at once (the matrix it was given excluded).
  auto cholmodSize = [](auto& solver) { return solver.cholmod().lnz; };
  auto cholmodSays = [](auto& solver, const std::string& name, Results& said)
  {
    said.Add(name + "_flops", solver.cholmod().fl);
    said.Add(name + "_peak_bytes", static_cast<double>(solver.cholmod().memory_usage));
  };
  if (options.CholmodAuto)
  {
    MeasureSolver<Eigen::CholmodDecomposition<SparseMatrix, Eigen::Lower>>(
      options, system, "cholmod", cholmodSize, cholmodSays, asIs, results);
  }
  for (const auto& ordering : { std::make_pair(std::string("cholmod_amd"), int(CHOLMOD_AMD)),
                                std::make_pair(std::string("cholmod_metis"), int(CHOLMOD_METIS)) })
  {
    auto only = [&](auto& solver)
    {
      solver.cholmod().nmethods = 1;
      solver.cholmod().method[0].ordering = ordering.second;
    };
    MeasureSolver<Eigen::CholmodSupernodalLLT<SparseMatrix, Eigen::Lower>>(
      options, system, ordering.first, cholmodSize, cholmodSays, only, results);
  }
#endif
  if (system.N <= options.TpsMaxControls)
  {
    MeasureThinPlateSpline(landmarks, results);
  }
}

int MeasureThinPlateOfScene(const std::string& path)
{
  vtkDatReader* reader = ReadScene();
  vtkSmartPointer<vtkPoints> mesh = ReadMesh();
  Landmarks landmarks;
  landmarks.Sources = reader->GetPointArray();
  landmarks.Targets = reader->GetPointArrayN();
  landmarks.Mesh = mesh;
  Results results;
  MeasureThinPlateSpline(landmarks, results);
  reader->Delete();
  results.Write(path);
  return 0;
}
