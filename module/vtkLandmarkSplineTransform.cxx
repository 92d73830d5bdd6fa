#include "vtkLandmarkSplineTransform.h"

#include "finite_points.h"
#include "point_set_paths.h"
#include "spline_field.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace core = animation::core;

vtkLandmarkSplineTransform::vtkLandmarkSplineTransform() = default;

vtkLandmarkSplineTransform::~vtkLandmarkSplineTransform() = default;

const char* vtkLandmarkSplineTransform::GetKernelAsString() const
{
  return this->Options.Kernel == core::basis_kernel::wendland ? "Wendland" : "Quadratic";
}

void vtkLandmarkSplineTransform::InternalDeepCopy(vtkAbstractTransform* transform)
{
  auto* other = static_cast<vtkLandmarkSplineTransform*>(transform);
  this->SetInverseTolerance(other->InverseTolerance);
  this->SetInverseIterations(other->InverseIterations);
  this->SetSupportRadius(other->SupportRadius);
  this->SetKernel(other->Options.Kernel);
  this->SetPolynomial(other->Options.Polynomial);
  this->SetSmoothing(other->Options.Smoothing);
  if (this->InverseFlag != other->InverseFlag)
  {
    this->Inverse();
  }
}

double vtkLandmarkSplineTransform::GetFitResidual()
{
  this->Update();
  return this->FitResidual;
}

const char* vtkLandmarkSplineTransform::GetFitError()
{
  this->Update();
  return this->FitError.c_str();
}

std::string vtkLandmarkSplineTransform::DescribeUnusableSettings() const
{
  std::ostringstream why;
  if (!(this->SupportRadius > 0.0) || !std::isfinite(this->SupportRadius))
  {
    why << "the SupportRadius " << this->SupportRadius << " is not a positive finite number";
  }
  else if (!(this->Options.Smoothing >= 0.0) || !std::isfinite(this->Options.Smoothing))
  {
    why << "the smoothing " << this->Options.Smoothing << " is not a finite number of 0 or more";
  }
  return why.str();
}

bool vtkLandmarkSplineTransform::FittableLandmarks(vtkPoints* source, vtkPoints* target)
{
  return source->GetNumberOfPoints() <= VTK_INT_MAX - 4 &&
         animation::core::AllPointsFinite(source) && animation::core::AllPointsFinite(target);
}

void vtkLandmarkSplineTransform::ForwardTransformPoint(const double in[3], double out[3])
{
  double s[3] = { 0.0, 0.0, 0.0 };
  const double blend = this->Displacement(in, s, nullptr);
  for (int a = 0; a < 3; ++a)
  {
    out[a] = in[a] - blend * s[a];
  }
}

void vtkLandmarkSplineTransform::ForwardTransformDerivative(const double in[3],
                                                            double out[3],
                                                            double derivative[3][3])
{
  double s[3] = { 0.0, 0.0, 0.0 };
  double jacobian[3][3] = {};
  const double blend = this->Displacement(in, s, jacobian);
  for (int a = 0; a < 3; ++a)
  {
    out[a] = in[a] - blend * s[a];
  }
  animation::core::blended_derivative(&jacobian[0][0], blend, derivative);
}

// The point is widened, mapped, and the results rounded.
void vtkLandmarkSplineTransform::ForwardTransformPoint(const float in[3], float out[3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  this->ForwardTransformPoint(x, y);
  std::copy(y, y + 3, out);
}

void vtkLandmarkSplineTransform::ForwardTransformDerivative(const float in[3],
                                                            float out[3],
                                                            float derivative[3][3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  double d[3][3];
  this->ForwardTransformDerivative(x, y, d);
  std::copy(y, y + 3, out);
  std::copy(&d[0][0], &d[0][0] + 9, &derivative[0][0]);
}

void vtkLandmarkSplineTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts)
{
  this->TransformPointsNormalsVectors(inPts, outPts, nullptr, nullptr, nullptr, nullptr);
}

void vtkLandmarkSplineTransform::TransformPointsNormalsVectors(vtkPoints* inPts,
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
  const animation::carried_tuples carried = { inNms,    outNms,   inVrs, outVrs, nOptionalVectors,
                                              inVrsArr, outVrsArr };
  if (this->InverseFlag || !this->TransformPointSet(inPts, outPts, carried))
  {
    this->Superclass::TransformPointsNormalsVectors(
      inPts, outPts, inNms, outNms, inVrs, outVrs, nOptionalVectors, inVrsArr, outVrsArr);
  }
}

void vtkLandmarkSplineTransform::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "SupportRadius: " << this->SupportRadius << "\n";
  os << indent << "Kernel: " << this->GetKernelAsString() << "\n";
  os << indent << "Polynomial: " << (this->Options.Polynomial ? "On" : "Off") << "\n";
  os << indent << "Smoothing: " << this->Options.Smoothing << "\n";
}
