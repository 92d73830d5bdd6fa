// The binding over the fit of the numerics (fit.h, which describes the system
// and its block elimination).
#include "vtkMatrixSolver.h"

#include "closest_pair.h"
#include "envelope_estimate.h"
#include "fit.h"
#include "fixed_texts.h"
#include "program_error.h"
#include "progress.h"
#include "stopwatch.h"

#include <vtkMath.h>
#include <vtkObjectFactory.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace core = animation::core;
namespace fixed = animation::fixed;

// Failures of Solve() besides the storage messages.
const char* const no_points = "Solve: there are no control points to fit";
const char* const not_positive_definite =
  "Solve: the interpolation matrix is not positive definite";
const char* const not_finite =
  "Solve: the spline coefficients are not finite; check the control points and the right-hand "
  "sides for infinite or undefined values";
const char* const too_many_entries =
  "The interpolation matrix has more than 2^31 - 1 envelope entries, more than its 32-bit "
  "offsets address: there are far more control points within the support radius of one another "
  "than a fit can hold";

double seconds_since(int mark)
{
  return (stopwatch_ticks() - mark) * 0.001;
}

// The report lines of Solve(), printed as the fit passes its stages; times
// are measured with marks of its own, so the caller's stopwatch is not
// disturbed.
class solve_report : public core::fit_monitor
{
public:
  void Advance(std::int64_t units) override { progress_advance(units); }
  void AssemblyStarted() override { this->ConstructionStart = stopwatch_ticks(); }
  void Assembled(int n, std::int64_t entries, int relocations) override
  {
    std::cout << "Constructing time: " << seconds_since(this->ConstructionStart) << " sec., ("
              << relocations << " relocations)." << std::endl;
    // Four bytes per envelope entry and eight per row, against four per
    // entry of the full matrix.
    const std::int64_t envelopeBytes = core::MatrixBytes(entries, n);
    const std::int64_t fullBytes = 4 * std::int64_t(n) * n;
    std::cout << "Size of matrix A is (" << n << "*" << n << "): " << envelopeBytes << " bytes "
              << "(" << envelopeBytes / 1048576 << " MiB) <= " << fullBytes << " bytes ("
              << fullBytes / 1048576 << " MiB) if stored as full matrix." << std::endl;
  }
  void FactorStarted(std::int64_t work) override
  {
    this->SolvingStart = stopwatch_ticks();
    this->Factoring = std::make_unique<progress_stage>("Factorising the matrix", work);
  }
  void Factored(int failedRow) override
  {
    this->Factoring.reset();
    if (failedRow >= 0)
    {
      std::printf(fixed::matrix_not_positive, 1);
      std::fflush(stdout);
    }
  }
  void Solved() override
  {
    std::cout << "Solving time: " << seconds_since(this->SolvingStart) << " sec." << std::endl;
  }

private:
  int ConstructionStart = 0;
  int SolvingStart = 0;
  std::unique_ptr<progress_stage> Factoring;
};

// The program's text for a failed fit.
const char* failure_text(const core::outcome& failed)
{
  switch (failed.Code)
  {
    case core::status::no_memory:
      switch (static_cast<core::storage>(failed.Where))
      {
        case core::storage::diagonal:
          return fixed::no_memory_diag;
        case core::storage::row_starts:
          return fixed::no_memory_xenv;
        case core::storage::polynomial_rows:
          return fixed::no_memory_matrix_rows;
        case core::storage::work_columns:
          return fixed::no_memory_fff;
        case core::storage::envelope_first:
          return fixed::no_memory_env;
        case core::storage::envelope_growth:
          return fixed::no_memory_env_growth;
        default:
          return fixed::no_memory_coeff;
      }
    case core::status::too_many_entries:
      return too_many_entries;
    case core::status::not_finite:
      return not_finite;
    default:
      return nullptr;
  }
}

// The program's text for a factorisation that failed at a pivot, naming the
// cause from the closest two control points (numbered from 1, as the scene
// file lists them).
//   points  the control points by id
std::string not_positive_definite_text(vtkPoints* points,
                                       double radius,
                                       core::basis_kernel kernel,
                                       const core::outcome& failed)
{
  const vtkIdType n = points->GetNumberOfPoints();
  std::vector<float> coordinates(3 * std::size_t(n));
  for (vtkIdType i = 0; i < n; ++i)
  {
    double p[3];
    points->GetPoint(i, p);
    std::copy(p, p + 3, &coordinates[3 * std::size_t(i)]);
  }
  const core::closest_pair closest = core::find_closest_pair(n, coordinates.data(), radius, kernel);
  std::ostringstream text;
  text << not_positive_definite;
  if (closest.First < 0)
  {
    return text.str();
  }
  const float* p = &coordinates[3 * std::size_t(closest.First)];
  const vtkIdType first = closest.First + 1;
  const vtkIdType second = closest.Second + 1;
  if (closest.Distance == 0.0)
  {
    text << ": control points " << first << " and " << second << " share the source position "
         << p[0] << " " << p[1] << " " << p[2];
  }
  else if (closest.NearlySameBasisValue)
  {
    text << ": the SupportRadius " << radius
         << " is so large beside the spacing of the control points (the closest two, " << first
         << " and " << second << ", are " << closest.Distance
         << " apart) that their basis values differ from 1 by less than "
         << core::nearly_one_basis_value
         << ", and the matrix is singular in single precision; give a "
            "SupportRadius nearer the size of the region that moves";
  }
  else
  {
    text << " in single precision (at row " << failed.Where + 1
         << " of the ordered list); the closest control points, " << first << " and " << second
         << ", are " << closest.Distance << " apart beside the SupportRadius " << radius
         << ": a smaller SupportRadius makes the matrix better conditioned";
  }
  return text.str();
}

struct free_deleter
{
  void operator()(void* block) const { std::free(block); }
};

// malloc of count floats, throwing the SplineCoeff text when it fails.
std::unique_ptr<float[], free_deleter> obtain_coefficients(std::int64_t count)
{
  std::unique_ptr<float[], free_deleter> block(
    static_cast<float*>(std::malloc(std::size_t(count) * sizeof(float))));
  if (!block)
  {
    throw program_error(fixed::no_memory_coeff);
  }
  return block;
}
}

vtkMatrixSolver* vtkMatrixSolver::New()
{
  if (vtkObject* made = vtkObjectFactory::CreateInstance("vtkMatrixSolver"))
  {
    return static_cast<vtkMatrixSolver*>(made);
  }
  return new vtkMatrixSolver;
}

vtkMatrixSolver::vtkMatrixSolver()
  : Math(vtkMath::New())
{
}

void vtkMatrixSolver::SetOptions(const core::fit_options& options)
{
  this->Options = options;
  this->Modified();
}

vtkMatrixSolver::~vtkMatrixSolver()
{
  this->SetSplineCoeffX(nullptr);
  this->SetSplineCoeffY(nullptr);
  this->SetSplineCoeffZ(nullptr);
  this->SetPointArray(nullptr);
  this->SetList(nullptr);
  this->SetBX(nullptr);
  this->SetBY(nullptr);
  this->SetBZ(nullptr);
  this->Math->Delete();
  for (float* block : this->SolvedCoeff)
  {
    std::free(block);
  }
}

int vtkMatrixSolver::Solve()
{
  const int n = this->PointArray ? static_cast<int>(this->PointArray->GetNumberOfPoints()) : 0;
  if (n == 0)
  {
    throw program_error(no_points);
  }
  if (!this->List || !this->BX || !this->BY || !this->BZ)
  {
    throw program_error("Solve: List, BX, BY and BZ must be set before Solve");
  }
  // The control points in list order, in single precision.
  std::vector<float> coordinates(3 * std::size_t(n));
  core::list_order_coordinates(this->PointArray, this->List, n, coordinates.data());
  float* const values[3] = { this->BX, this->BY, this->BZ };
  float polynomial[3][4];
  core::fit_options options = this->Options;
  options.Radius = this->Radius;
  solve_report report;
  core::refinement_request refinement;
  const core::outcome fitted = core::solve_system(coordinates.data(),
                                                  coordinates.data() + n,
                                                  coordinates.data() + 2 * std::size_t(n),
                                                  n,
                                                  this->Max,
                                                  options,
                                                  values,
                                                  3,
                                                  polynomial,
                                                  &report,
                                                  &refinement);
  this->Accuracy = refinement.Accuracy;
  if (!fitted.Ok())
  {
    if (fitted.Code == core::status::no_memory &&
        static_cast<core::storage>(fitted.Where) == core::storage::factor_work)
    {
      throw std::bad_alloc();
    }
    if (const char* text = failure_text(fitted))
    {
      throw program_error(text);
    }
    throw program_error(
      not_positive_definite_text(this->PointArray, this->Radius, options.Kernel, fitted));
  }

  // All three arrays are obtained before the earlier ones are released, so a
  // failure leaves the coefficients of the last Solve() in place.
  std::unique_ptr<float[], free_deleter> coeff[3] = { obtain_coefficients(std::int64_t(n) + 4),
                                                      obtain_coefficients(std::int64_t(n) + 4),
                                                      obtain_coefficients(std::int64_t(n) + 4) };
  for (int a = 0; a < 3; ++a)
  {
    std::copy(values[a], values[a] + n, coeff[a].get());
    std::copy(polynomial[a], polynomial[a] + 4, coeff[a].get() + n);
    std::free(this->SolvedCoeff[a]);
    this->SolvedCoeff[a] = coeff[a].release();
  }
  // Assigned directly: no trace, no new modification time.
  this->SplineCoeffX = this->SolvedCoeff[0];
  this->SplineCoeffY = this->SolvedCoeff[1];
  this->SplineCoeffZ = this->SolvedCoeff[2];
  return 1;
}
