#include "vtkLandmarkSplineTransform.h"

#include "point_set_paths.h"

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

void vtkLandmarkSplineTransform::ForwardTransformPoint(const float in[3], float out[3])
{
  animation::transform_in_double(
    in, out, [this](const double x[3], double y[3]) { this->ForwardTransformPoint(x, y); });
}

void vtkLandmarkSplineTransform::ForwardTransformDerivative(const float in[3],
                                                            float out[3],
                                                            float derivative[3][3])
{
  animation::transform_derivative_in_double(in,
                                            out,
                                            derivative,
                                            [this](const double x[3], double y[3], double d[3][3])
                                            { this->ForwardTransformDerivative(x, y, d); });
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
