#include "vtkLandmarkSplineTransform.h"

#include <algorithm>

namespace core = animation::core;

vtkLandmarkSplineTransform::vtkLandmarkSplineTransform()
  : SupportRadius(0.5)
{
}

vtkLandmarkSplineTransform::~vtkLandmarkSplineTransform() = default;

void vtkLandmarkSplineTransform::SetSupportRadius(double radius)
{
  if (this->SupportRadius == radius)
  {
    return;
  }
  this->SupportRadius = radius;
  this->ParametersTime.Modified();
  this->Modified();
}

void vtkLandmarkSplineTransform::SetKernel(core::basis_kernel kernel)
{
  if (this->Options.Kernel == kernel)
  {
    return;
  }
  this->Options.Kernel = kernel;
  this->ParametersTime.Modified();
  this->Modified();
}

const char* vtkLandmarkSplineTransform::GetKernelAsString() const
{
  return this->Options.Kernel == core::basis_kernel::wendland ? "Wendland" : "Quadratic";
}

void vtkLandmarkSplineTransform::SetPolynomial(bool polynomial)
{
  if (this->Options.Polynomial == polynomial)
  {
    return;
  }
  this->Options.Polynomial = polynomial;
  this->ParametersTime.Modified();
  this->Modified();
}

void vtkLandmarkSplineTransform::SetSmoothing(double smoothing)
{
  if (this->Options.Smoothing == smoothing)
  {
    return;
  }
  this->Options.Smoothing = smoothing;
  this->ParametersTime.Modified();
  this->Modified();
}

void vtkLandmarkSplineTransform::CopyFitSettings(vtkLandmarkSplineTransform* other)
{
  this->SetInverseTolerance(other->InverseTolerance);
  this->SetInverseIterations(other->InverseIterations);
  this->SetSupportRadius(other->SupportRadius);
  this->SetKernel(other->Options.Kernel);
  this->SetPolynomial(other->Options.Polynomial);
  this->SetSmoothing(other->Options.Smoothing);
  if (this->InverseFlag != other->InverseFlag)
  {
    this->InverseFlag = other->InverseFlag;
    this->Modified();
  }
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

void vtkLandmarkSplineTransform::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "SupportRadius: " << this->SupportRadius << "\n";
  os << indent << "Kernel: " << this->GetKernelAsString() << "\n";
  os << indent << "Polynomial: " << (this->Options.Polynomial ? "On" : "Off") << "\n";
  os << indent << "Smoothing: " << this->Options.Smoothing << "\n";
}
