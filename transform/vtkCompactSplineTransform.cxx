#include "vtkCompactSplineTransform.h"

#include "finite_points.h"
#include "locator_buckets.h"
#include "spline_field.h"
#include "spline_fit.h"
#include "well_ordered_list.h"

#include <vtkDataArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>
#include <vtkWeakPointer.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

vtkStandardNewMacro(vtkCompactSplineTransform);

class vtkCompactSplineTransform::vtkInternals
{
public:
  // The fit: the source landmarks in single precision with their locator, the inverse list order
  // and the coefficients (weights in list order, then c0 ... c3) of x, y and z.
  vtkNew<vtkPoints> Controls;
  vtkNew<vtkPolyData> ControlSet;
  vtkNew<vtkPointLocator> Locator;
  // The locator's buckets as flat arrays: the same neighbours in the same order, from any thread.
  std::unique_ptr<locator_buckets> Neighbours;
  std::vector<int> UnList;
  std::vector<float> Coeff[3];
  float Radius = 0.0f;
  basis_kernel Kernel = basis_kernel::quadratic;
  // The largest landmark move |p_k - q_k| of the fit, and whether the move of a point beyond the
  // supports has been reported for it.
  double LargestLandmarkMove = 0.0;
  bool FarMoveReported = false;
  bool Fitted = false;
  // Modified whenever a fit is made or found impossible, and when the radius or the landmark
  // objects change.
  vtkTimeStamp FitTime;
  vtkTimeStamp ParametersTime;

  // The displacement and its Jacobian (row by row) at every point of CachedPoints, as they were
  // at CachedPointsTime, under the fit of CachedFitTime.
  vtkWeakPointer<vtkPoints> CachedPoints;
  vtkMTimeType CachedPointsTime = 0;
  vtkMTimeType CachedFitTime = 0;
  std::vector<double> Displacement;
  std::vector<double> Jacobian;

  vtkInternals() { this->Controls->SetDataType(VTK_FLOAT); }

  spline_field Field() const
  {
    return { this->Radius,
             this->Controls,
             static_cast<const float*>(this->Controls->GetVoidPointer(0)),
             { this->Coeff[0].data(), this->Coeff[1].data(), this->Coeff[2].data() },
             this->UnList.data(),
             this->Kernel };
  }

  // s and J at x; ids is working storage for the neighbour query, left holding the landmarks
  // within R of x. Safe to call from several threads at once, each with its own ids.
  void Evaluate(const double x[3],
                std::vector<vtkIdType>& ids,
                double s[3],
                double jacobian[3][3]) const
  {
    this->Neighbours->FindPointsWithinRadius(this->Radius, x, ids);
    evaluate_spline_field(
      this->Field(), x, ids.data(), static_cast<vtkIdType>(ids.size()), s, jacobian);
  }

  void Forget()
  {
    this->Fitted = false;
    this->Neighbours.reset();
    this->UnList.clear();
    for (auto& c : this->Coeff)
    {
      c.clear();
    }
    this->CachedPoints = nullptr;
    this->Displacement.clear();
    this->Jacobian.clear();
  }
};

namespace
{
struct free_deleter
{
  void operator()(int* block) const { std::free(block); }
};

// out = m * v for a 3-component tuple.
void Multiply(const double m[3][3], const double v[3], double out[3])
{
  for (int a = 0; a < 3; ++a)
  {
    out[a] = m[a][0] * v[0] + m[a][1] * v[1] + m[a][2] * v[2];
  }
}
}

vtkCompactSplineTransform::vtkCompactSplineTransform()
  : SourceLandmarks(nullptr)
  , TargetLandmarks(nullptr)
  , SupportRadius(0.5)
  , BlendFactor(1.0)
  , Internals(new vtkInternals)
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
  this->Internals->ParametersTime.Modified();
}

void vtkCompactSplineTransform::SetTargetLandmarks(vtkPoints* target)
{
  if (this->TargetLandmarks == target)
  {
    return;
  }
  vtkSetObjectBodyMacro(TargetLandmarks, vtkPoints, target);
  this->Internals->ParametersTime.Modified();
}

void vtkCompactSplineTransform::SetKernel(basis_kernel kernel)
{
  if (this->Options.Kernel == kernel)
  {
    return;
  }
  this->Options.Kernel = kernel;
  this->Internals->ParametersTime.Modified();
  this->Modified();
}

const char* vtkCompactSplineTransform::GetKernelAsString() const
{
  return this->Options.Kernel == basis_kernel::wendland ? "Wendland" : "Quadratic";
}

void vtkCompactSplineTransform::SetPolynomial(bool polynomial)
{
  if (this->Options.Polynomial == polynomial)
  {
    return;
  }
  this->Options.Polynomial = polynomial;
  this->Internals->ParametersTime.Modified();
  this->Modified();
}

void vtkCompactSplineTransform::SetSmoothing(double smoothing)
{
  if (this->Options.Smoothing == smoothing)
  {
    return;
  }
  this->Options.Smoothing = smoothing;
  this->Internals->ParametersTime.Modified();
  this->Modified();
}

void vtkCompactSplineTransform::SetSupportRadius(double radius)
{
  if (this->SupportRadius == radius)
  {
    return;
  }
  this->SupportRadius = radius;
  this->Internals->ParametersTime.Modified();
  this->Modified();
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
  return this->Internals->Fitted;
}

void vtkCompactSplineTransform::InternalUpdate()
{
  vtkInternals& fit = *this->Internals;
  vtkMTimeType changed = fit.ParametersTime.GetMTime();
  for (vtkPoints* landmarks : { this->SourceLandmarks, this->TargetLandmarks })
  {
    if (landmarks && landmarks->GetMTime() > changed)
    {
      changed = landmarks->GetMTime();
    }
  }
  if (fit.FitTime.GetMTime() > changed)
  {
    return;
  }
  fit.Forget();
  fit.FitTime.Modified();

  vtkPoints* source = this->SourceLandmarks;
  vtkPoints* target = this->TargetLandmarks;
  const vtkIdType n = source ? source->GetNumberOfPoints() : 0;
  if (!source || !target || (n == 0 && target->GetNumberOfPoints() == 0))
  {
    return; // no landmarks: the identity
  }
  if (target->GetNumberOfPoints() != n)
  {
    vtkErrorMacro(<< "Update: the source and target landmarks differ in number (" << n << " and "
                  << target->GetNumberOfPoints() << "); the transform is the identity");
    return;
  }
  const float radius = static_cast<float>(this->SupportRadius);
  if (!(radius > 0.0f) || !std::isfinite(radius))
  {
    vtkErrorMacro(<< "Update: the support radius " << this->SupportRadius
                  << " is not positive; the transform is the identity");
    return;
  }
  if (!(this->Options.Smoothing >= 0.0) || !std::isfinite(this->Options.Smoothing))
  {
    vtkErrorMacro(<< "Update: the smoothing " << this->Options.Smoothing
                  << " is not a finite number of 0 or more; the transform is the identity");
    return;
  }
  if (n > VTK_INT_MAX - 4 || !AllPointsFinite(source) || !AllPointsFinite(target))
  {
    vtkErrorMacro(<< "Update: the landmarks are not finite or too many; the transform is the "
                     "identity");
    return;
  }

  try
  {
    // The landmarks and their breadth-first order, as the program's reader prepares them.
    fit.Controls->SetNumberOfPoints(n);
    for (vtkIdType k = 0; k < n; ++k)
    {
      fit.Controls->SetPoint(k, source->GetPoint(k));
    }
    fit.Controls->Modified();
    fit.ControlSet->SetPoints(fit.Controls);
    fit.Locator->SetDataSet(fit.ControlSet);
    fit.Locator->BuildLocator();
    int max = 0;
    const int count = static_cast<int>(n);
    std::unique_ptr<int, free_deleter> list(
      GetWellOderredList(max, count, radius, fit.Controls, fit.Locator));

    // Source minus target in list order, in single precision.
    std::vector<float> b[3];
    for (auto& values : b)
    {
      values.resize(count);
    }
    fit.UnList.resize(count);
    double largestMove = 0.0;
    for (int k = 0; k < count; ++k)
    {
      const int id = list.get()[k];
      fit.UnList[id] = k;
      double p[3];
      double q[3];
      source->GetPoint(id, p);
      target->GetPoint(id, q);
      for (int a = 0; a < 3; ++a)
      {
        b[a][k] = static_cast<float>(p[a]) - static_cast<float>(q[a]);
      }
      largestMove = std::max(largestMove, std::sqrt(vtkMath::Distance2BetweenPoints(p, q)));
    }

    float polynomial[3][4];
    fit_spline(fit.Controls,
               list.get(),
               max,
               radius,
               this->Options,
               b[0].data(),
               b[1].data(),
               b[2].data(),
               polynomial,
               nullptr);
    for (int a = 0; a < 3; ++a)
    {
      fit.Coeff[a] = std::move(b[a]);
      fit.Coeff[a].insert(fit.Coeff[a].end(), polynomial[a], polynomial[a] + 4);
    }
    fit.Radius = radius;
    fit.Kernel = this->Options.Kernel;
    fit.LargestLandmarkMove = largestMove;
    fit.FarMoveReported = false;
    fit.Neighbours = std::make_unique<locator_buckets>(fit.Locator);
    fit.Fitted = true;
  }
  catch (const char* message)
  {
    fit.Forget();
    vtkErrorMacro(<< "Update: " << message << "; the transform is the identity");
  }
  catch (const std::exception& failure)
  {
    fit.Forget();
    vtkErrorMacro(<< "Update: " << failure.what() << "; the transform is the identity");
  }
}

void vtkCompactSplineTransform::ForwardTransformPoint(const double in[3], double out[3])
{
  double derivative[3][3];
  this->ForwardTransformDerivative(in, out, derivative);
}

void vtkCompactSplineTransform::ForwardTransformPoint(const float in[3], float out[3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  this->ForwardTransformPoint(x, y);
  out[0] = static_cast<float>(y[0]);
  out[1] = static_cast<float>(y[1]);
  out[2] = static_cast<float>(y[2]);
}

void vtkCompactSplineTransform::ForwardTransformDerivative(const double in[3],
                                                           double out[3],
                                                           double derivative[3][3])
{
  double s[3] = { 0.0, 0.0, 0.0 };
  double jacobian[3][3] = {};
  if (this->Internals->Fitted)
  {
    thread_local std::vector<vtkIdType> ids;
    this->Internals->Evaluate(in, ids, s, jacobian);
  }
  for (int a = 0; a < 3; ++a)
  {
    out[a] = in[a] - this->BlendFactor * s[a];
  }
  blended_derivative(&jacobian[0][0], this->BlendFactor, derivative);
}

void vtkCompactSplineTransform::ForwardTransformDerivative(const float in[3],
                                                           float out[3],
                                                           float derivative[3][3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  double d[3][3];
  this->ForwardTransformDerivative(x, y, d);
  for (int a = 0; a < 3; ++a)
  {
    out[a] = static_cast<float>(y[a]);
    for (int b = 0; b < 3; ++b)
    {
      derivative[a][b] = static_cast<float>(d[a][b]);
    }
  }
}

// The cache is keyed on the point set object, its modification time and the fit; a point set
// that was deleted leaves the weak pointer null, so a new object at the same address is not
// mistaken for it.
void vtkCompactSplineTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts)
{
  this->Update();
  if (this->InverseFlag || !this->Internals->Fitted)
  {
    this->Superclass::TransformPoints(inPts, outPts);
    return;
  }
  this->TransformPointsNormalsVectors(inPts, outPts, nullptr, nullptr, nullptr, nullptr);
}

void vtkCompactSplineTransform::TransformPointsNormalsVectors(vtkPoints* inPts,
                                                              vtkPoints* outPts,
                                                              vtkDataArray* inNms,
                                                              vtkDataArray* outNms,
                                                              vtkDataArray* inVrs,
                                                              vtkDataArray* outVrs,
                                                              int nOptionalVectors,
                                                              vtkDataArray** inVrsArr,
                                                              vtkDataArray** outVrsArr)
{
  this->Update();
  vtkInternals& fit = *this->Internals;
  if (this->InverseFlag || !fit.Fitted)
  {
    this->Superclass::TransformPointsNormalsVectors(
      inPts, outPts, inNms, outNms, inVrs, outVrs, nOptionalVectors, inVrsArr, outVrsArr);
    return;
  }

  const vtkIdType n = inPts->GetNumberOfPoints();
  if (fit.CachedPoints != inPts || fit.CachedPointsTime != inPts->GetMTime() ||
      fit.CachedFitTime != fit.FitTime.GetMTime() ||
      fit.Displacement.size() != static_cast<std::size_t>(3 * n))
  {
    fit.Displacement.resize(3 * n);
    fit.Jacobian.resize(9 * n);
    // Each point's field comes from its own neighbours in a fixed order, so the cache does not
    // depend on the number of threads.
    vtkSMPThreadLocal<std::vector<vtkIdType>> found;
    vtkSMPThreadLocal<double> beyondSupports(0.0);
    vtkSMPTools::For(0,
                     n,
                     1024,
                     [&](vtkIdType begin, vtkIdType end)
                     {
                       std::vector<vtkIdType>& ids = found.Local();
                       double& largestBeyond = beyondSupports.Local();
                       for (vtkIdType i = begin; i < end; ++i)
                       {
                         double x[3];
                         inPts->GetPoint(i, x);
                         double* s = &fit.Displacement[3 * i];
                         fit.Evaluate(
                           x, ids, s, reinterpret_cast<double(*)[3]>(&fit.Jacobian[9 * i]));
                         if (ids.empty())
                         {
                           largestBeyond = std::max(largestBeyond, vtkMath::Norm(s));
                         }
                       }
                     });
    double largestBeyond = 0.0;
    for (double largest : beyondSupports)
    {
      largestBeyond = std::max(largestBeyond, largest);
    }
    if (!fit.FarMoveReported && largestBeyond > 0.1 * fit.LargestLandmarkMove)
    {
      fit.FarMoveReported = true;
      vtkWarningMacro(<< "The affine part of the fit moves points beyond the support of every "
                         "landmark by up to "
                      << largestBeyond << ", more than a tenth of the largest landmark move "
                      << fit.LargestLandmarkMove
                      << ". To keep the rest still, place landmarks whose source equals their "
                         "target around the edit, or call SetPolynomial(false).");
    }
    fit.CachedPoints = inPts;
    fit.CachedPointsTime = inPts->GetMTime();
    fit.CachedFitTime = fit.FitTime.GetMTime();
  }

  const double blend = this->BlendFactor;
  const vtkIdType start = outPts->GetNumberOfPoints();
  outPts->SetNumberOfPoints(start + n);
  for (vtkIdType i = 0; i < n; ++i)
  {
    double x[3];
    inPts->GetPoint(i, x);
    const double* s = &fit.Displacement[3 * i];
    const double moved[3] = { x[0] - blend * s[0], x[1] - blend * s[1], x[2] - blend * s[2] };
    outPts->SetPoint(start + i, moved);
  }
  if (!inNms && !inVrs && nOptionalVectors <= 0)
  {
    return;
  }

  for (vtkIdType i = 0; i < n; ++i)
  {
    double m[3][3];
    blended_derivative(&fit.Jacobian[9 * i], blend, m);
    double tuple[3];
    if (inNms && outNms)
    {
      inNms->GetTuple(i, tuple);
      transform_normal(m, tuple);
      outNms->InsertNextTuple(tuple);
    }
    double moved[3];
    if (inVrs && outVrs)
    {
      inVrs->GetTuple(i, tuple);
      Multiply(m, tuple, moved);
      outVrs->InsertNextTuple(moved);
    }
    for (int v = 0; v < nOptionalVectors; ++v)
    {
      if (inVrsArr && outVrsArr && inVrsArr[v] && outVrsArr[v])
      {
        inVrsArr[v]->GetTuple(i, tuple);
        Multiply(m, tuple, moved);
        outVrsArr[v]->InsertNextTuple(moved);
      }
    }
  }
}

vtkAbstractTransform* vtkCompactSplineTransform::MakeTransform()
{
  return vtkCompactSplineTransform::New();
}

void vtkCompactSplineTransform::InternalDeepCopy(vtkAbstractTransform* transform)
{
  auto* other = static_cast<vtkCompactSplineTransform*>(transform);
  this->SetInverseTolerance(other->InverseTolerance);
  this->SetInverseIterations(other->InverseIterations);
  this->SetSupportRadius(other->SupportRadius);
  this->SetKernel(other->Options.Kernel);
  this->SetPolynomial(other->Options.Polynomial);
  this->SetSmoothing(other->Options.Smoothing);
  this->SetBlendFactor(other->BlendFactor);
  this->SetSourceLandmarks(other->SourceLandmarks);
  this->SetTargetLandmarks(other->TargetLandmarks);
  if (this->InverseFlag != other->InverseFlag)
  {
    this->InverseFlag = other->InverseFlag;
    this->Modified();
  }
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
  os << indent << "SupportRadius: " << this->SupportRadius << "\n";
  os << indent << "Kernel: " << this->GetKernelAsString() << "\n";
  os << indent << "Polynomial: " << (this->Options.Polynomial ? "On" : "Off") << "\n";
  os << indent << "Smoothing: " << this->Options.Smoothing << "\n";
  os << indent << "BlendFactor: " << this->BlendFactor << "\n";
  os << indent << "Fitted: " << (this->Internals->Fitted ? "yes" : "no") << "\n";
  os << indent << "CachedPoints: " << this->Internals->Displacement.size() / 3 << "\n";
}
