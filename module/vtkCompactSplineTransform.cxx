#include "vtkCompactSplineTransform.h"

#include "available_memory.h"
#include "displacement_cache.h"
#include "finite_points.h"
#include "fit.h"
#include "fit_failure.h"
#include "landmark_frame.h"
#include "point_set_paths.h"
#include "target_update.h"

#include <vtkDataArray.h>
#include <vtkMath.h>
#include <vtkObjectFactory.h>
#include <vtkPoints.h>
#include <vtkSMPThreadLocal.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkCompactSplineTransform);

namespace
{
namespace core = animation::core;

using animation::keyed_cache;
using animation::relative_fit;

// Fills made with the displacements of points under fit (on every core), with the Jacobian when
// asked.
void FillCache(const relative_fit& fit, vtkPoints* points, bool withJacobian, keyed_cache& made)
{
  vtkSMPThreadLocal<double> beyondSupports(0.0);
  made.Cache.Fill(
    points->GetNumberOfPoints(),
    1,
    withJacobian,
    [points](vtkIdType i, double x[3]) { points->GetPoint(i, x); },
    [&fit,
     &beyondSupports](const double x[3], std::vector<vtkIdType>& ids, double s[3], double j[3][3])
    {
      fit.Evaluate(x, ids, s, j);
      if (ids.empty())
      {
        double& largest = beyondSupports.Local();
        largest = std::max(largest, std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
      }
    },
    [](vtkIdType, const double*, const double*) {},
    nullptr);
  made.LargestMoveBeyondSupports = animation::LargestOf(beyondSupports);
}
}

class vtkCompactSplineTransform::vtkInternals
{
public:
  // The last fit, or null when there is none. Written only by InternalUpdate(), which the
  // toolkit runs under the transform's update lock.
  std::shared_ptr<const relative_fit> Fit;
  // Modified whenever a fit is made or found impossible.
  vtkTimeStamp FitTime;
  // Modified when another target point set is given; a change of the sources, the radius or the
  // options modifies ParametersTime instead, and asks for a whole fit.
  vtkTimeStamp TargetsTime;

  // The displacements of the last few point sets.
  animation::point_set_cache<relative_fit, double> Caches;
};

vtkCompactSplineTransform::vtkCompactSplineTransform()
  : Internals(new vtkInternals)
{
}

vtkCompactSplineTransform::~vtkCompactSplineTransform()
{
  this->SetSourceLandmarks(nullptr);
  this->SetTargetLandmarks(nullptr);
  delete this->Internals;
}

void vtkCompactSplineTransform::SetSourceLandmarks(vtkPoints* source)
{
  if (this->SourceLandmarks == source)
  {
    return;
  }
  vtkSetObjectBodyMacro(SourceLandmarks, vtkPoints, source);
  this->ParametersTime.Modified();
}

void vtkCompactSplineTransform::SetTargetLandmarks(vtkPoints* target)
{
  if (this->TargetLandmarks == target)
  {
    return;
  }
  vtkSetObjectBodyMacro(TargetLandmarks, vtkPoints, target);
  this->Internals->TargetsTime.Modified();
}

vtkMTimeType vtkCompactSplineTransform::GetMTime()
{
  vtkMTimeType mtime = this->Superclass::GetMTime();
  for (vtkPoints* landmarks : { this->SourceLandmarks, this->TargetLandmarks })
  {
    if (landmarks && landmarks->GetMTime() > mtime)
    {
      mtime = landmarks->GetMTime();
    }
  }
  return mtime;
}

bool vtkCompactSplineTransform::IsFitted()
{
  this->Update();
  return this->Internals->Fit != nullptr;
}

void vtkCompactSplineTransform::InternalUpdate()
{
  vtkInternals& internals = *this->Internals;
  // The last change of a stamp or of the landmarks it goes with.
  auto latest = [](const vtkTimeStamp& stamp, vtkPoints* landmarks)
  { return landmarks ? std::max(stamp.GetMTime(), landmarks->GetMTime()) : stamp.GetMTime(); };
  const vtkMTimeType whole = latest(this->ParametersTime, this->SourceLandmarks);
  const vtkMTimeType targets = latest(internals.TargetsTime, this->TargetLandmarks);
  const vtkMTimeType fitted = internals.FitTime.GetMTime();
  // Nothing changed since the fit, or only the targets, which an update of the fit follows.
  if (fitted > whole && (fitted > targets || this->UpdateTargets()))
  {
    return;
  }
  internals.Fit.reset();
  internals.FitTime.Modified();
  internals.Caches.Clear();
  this->FitError.clear();
  this->FitResidual = 0.0;
  try
  {
    ++this->WholeFits;
    this->FitLandmarks();
  }
  catch (const std::bad_alloc&)
  {
    internals.Fit.reset();
    this->ReportCannotFit(animation::DescribeMissingStorage(
                            this->SourceLandmarks ? this->SourceLandmarks->GetNumberOfPoints() : 0),
                          " until the landmarks change");
  }
}

bool vtkCompactSplineTransform::UpdateTargets()
{
  vtkInternals& internals = *this->Internals;
  const std::shared_ptr<const relative_fit> fit = internals.Fit;
  vtkPoints* target = this->TargetLandmarks;
  if (!fit || !this->FitError.empty() || !target || target->GetNumberOfPoints() != fit->Fit.Count ||
      !core::AllPointsFinite(target))
  {
    return false;
  }
  try
  {
    double residual = 0.0;
    bool resolved = false;
    const std::shared_ptr<const relative_fit> moved = animation::MoveTargets(
      fit, target, this->Options.Smoothing, animation::largest_fit_residual, residual, resolved);
    if (!moved)
    {
      return false;
    }
    if (resolved)
    {
      internals.Caches.Clear();
    }
    internals.Fit = moved;
    this->FitResidual = residual;
    internals.FitTime.Modified();
    return true;
  }
  catch (const std::bad_alloc&)
  {
    return false;
  }
}

void vtkCompactSplineTransform::FitLandmarks()
{
  vtkInternals& internals = *this->Internals;
  vtkPoints* source = this->SourceLandmarks;
  vtkPoints* target = this->TargetLandmarks;
  const vtkIdType n = source ? source->GetNumberOfPoints() : 0;
  if (!source || !target || (n == 0 && target->GetNumberOfPoints() == 0))
  {
    return; // no landmarks: the identity
  }
  if (target->GetNumberOfPoints() != n)
  {
    this->ReportCannotFit(std::to_string(n) + " source landmarks but " +
                            std::to_string(target->GetNumberOfPoints()) + " target landmarks",
                          " until they agree");
    return;
  }
  const std::string unusable = this->DescribeUnusableSettings();
  if (!unusable.empty())
  {
    this->ReportCannotFit(unusable);
    return;
  }
  if (!FittableLandmarks(source, target))
  {
    this->ReportCannotFit("the " + std::to_string(n) +
                          " landmarks hold coordinates that are not finite, or are more than "
                          "2^31 - 5");
    return;
  }

  auto fit = std::make_shared<relative_fit>();
  fit->Frame = animation::landmark_frame::Of(source);
  const std::string beyond =
    animation::DescribeRadiusBeyondPrecision(this->SupportRadius, fit->Frame);
  if (!beyond.empty())
  {
    this->ReportCannotFit(beyond);
    return;
  }

  // The landmarks relative to the centre, read point by point into arrays of this transform's
  // own, so that no point the caller holds from the landmark sets is overwritten: in double
  // precision, where the miss of the fit is measured, and rounded for the fit. The moves are
  // kept in double precision too, for the refinement: the rounding of each position would
  // otherwise be a part of them.
  const int count = static_cast<int>(n);
  fit->Sources.resize(3 * std::size_t(n));
  fit->Targets.resize(3 * std::size_t(n));
  std::vector<double> relativeTargets(3 * std::size_t(n));
  std::vector<double> moves(3 * std::size_t(n));
  for (vtkIdType k = 0; k < n; ++k)
  {
    double p[3];
    double* q = &fit->Targets[3 * k];
    source->GetPoint(k, p);
    target->GetPoint(k, q);
    fit->Frame.ToFrame(p, &fit->Sources[3 * k]);
    fit->Frame.ToFrame(q, &relativeTargets[3 * k]);
    for (int a = 0; a < 3; ++a)
    {
      moves[3 * k + a] = (p[a] - q[a]) / fit->Frame.Scale;
    }
    fit->LargestLandmarkMove =
      std::max(fit->LargestLandmarkMove, std::sqrt(vtkMath::Distance2BetweenPoints(p, q)));
  }
  const std::vector<float> sources(fit->Sources.begin(), fit->Sources.end());
  const std::vector<float> targets(relativeTargets.begin(), relativeTargets.end());
  core::fit_options options = this->Options;
  options.Radius = static_cast<float>(this->SupportRadius / fit->Frame.Scale);
  options.MemoryLimit = available_memory_bytes();
  const core::outcome made =
    core::make_fit(count, sources.data(), targets.data(), options, nullptr, fit->Fit, moves.data());
  if (!made.Ok())
  {
    this->ReportCannotFit(
      animation::DescribeFailedFit(
        made, source, sources.data(), fit->Frame, options.Kernel, this->SupportRadius),
      " until the landmarks change");
    return;
  }
  internals.Fit = fit;

  // How far the field misses the landmarks, at their own positions.
  this->FitResidual = core::landmark_residual(
    fit->Fit, 0, options.Smoothing, fit->Sources.data(), relativeTargets.data());
  std::string inaccurate = animation::DescribeInaccurateFit(
    count, this->FitResidual, fit->Fit.Accuracy.Before, fit->LargestLandmarkMove, 0.0);
  if (!inaccurate.empty())
  {
    inaccurate[0] = 'T'; // the phrase, as a sentence of its own
    this->FitError = inaccurate + ".";
    vtkErrorMacro(<< this->FitError);
  }
}

void vtkCompactSplineTransform::ReportCannotFit(const std::string& why, const char* until)
{
  this->FitError = "Cannot fit: " + why + "; the transform is the identity" + until + ".";
  vtkErrorMacro(<< this->FitError);
}

double vtkCompactSplineTransform::Displacement(const double x[3],
                                               double s[3],
                                               double jacobian[3][3])
{
  if (const relative_fit* fit = this->Internals->Fit.get())
  {
    thread_local std::vector<vtkIdType> ids;
    fit->Evaluate(x, ids, s, jacobian);
  }
  return this->BlendFactor;
}

bool vtkCompactSplineTransform::TransformPointSet(vtkPoints* inPts,
                                                  vtkPoints* outPts,
                                                  const animation::carried_tuples& carried)
{
  const std::shared_ptr<const relative_fit> fit = this->Internals->Fit;
  if (!fit)
  {
    return false;
  }
  const bool derivatives = carried.Any();
  const double blend = this->BlendFactor;
  const vtkIdType n = inPts->GetNumberOfPoints();
  const vtkIdType start = animation::AppendTuples(outPts->GetData(), n);
  vtkDataArray* out = outPts->GetData();
  const std::shared_ptr<const keyed_cache> entry = this->Internals->Caches.Find(
    inPts,
    fit,
    derivatives,
    [&](keyed_cache& old, bool sole, keyed_cache& made)
    { return animation::DeriveDisplacements(*fit, inPts, old, sole, made); },
    [&](keyed_cache& made)
    {
      ++this->WholePointSetEvaluations;
      FillCache(*fit, inPts, derivatives, made);
    });
  const core::displacement_cache<double>& cache = entry->Cache;
  vtkSMPTools::For(
    0,
    n,
    4096,
    [&](vtkIdType begin, vtkIdType end)
    {
      for (vtkIdType i = begin; i < end; ++i)
      {
        double x[3];
        inPts->GetPoint(i, x);
        const double* s = &cache.Displacement[3 * i];
        const double moved[3] = { x[0] - blend * s[0], x[1] - blend * s[1], x[2] - blend * s[2] };
        out->SetTuple(start + i, moved);
      }
    });
  if (entry->LargestMoveBeyondSupports > 0.1 * fit->LargestLandmarkMove &&
      !fit->FarMoveReported.exchange(true))
  {
    vtkWarningMacro(<< "The affine part of the fit moves points beyond the support of every "
                       "landmark by up to "
                    << entry->LargestMoveBeyondSupports
                    << ", more than a tenth of the largest landmark move "
                    << fit->LargestLandmarkMove
                    << ". To keep the rest still, place landmarks whose source equals their "
                       "target around the edit, or call SetPolynomial(false).");
  }
  outPts->Modified();
  if (derivatives)
  {
    carried.CarryAll(cache, &blend);
  }
  return true;
}

vtkAbstractTransform* vtkCompactSplineTransform::MakeTransform()
{
  return vtkCompactSplineTransform::New();
}

void vtkCompactSplineTransform::InternalDeepCopy(vtkAbstractTransform* transform)
{
  this->Superclass::InternalDeepCopy(transform);
  auto* other = static_cast<vtkCompactSplineTransform*>(transform);
  this->SetBlendFactor(other->BlendFactor);
  this->SetSourceLandmarks(other->SourceLandmarks);
  this->SetTargetLandmarks(other->TargetLandmarks);
}

void vtkCompactSplineTransform::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "SourceLandmarks: " << static_cast<void*>(this->SourceLandmarks) << "\n";
  if (this->SourceLandmarks)
  {
    this->SourceLandmarks->PrintSelf(os, indent.GetNextIndent());
  }
  os << indent << "TargetLandmarks: " << static_cast<void*>(this->TargetLandmarks) << "\n";
  if (this->TargetLandmarks)
  {
    this->TargetLandmarks->PrintSelf(os, indent.GetNextIndent());
  }
  os << indent << "BlendFactor: " << this->BlendFactor << "\n";
  os << indent << "Fitted: " << (this->Internals->Fit ? "yes" : "no") << "\n";
}
