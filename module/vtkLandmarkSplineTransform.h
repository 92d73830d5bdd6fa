/**
 * @class   vtkLandmarkSplineTransform
 * @brief   base of the warp transforms fitted to landmarks by a compactly supported spline
 *
 * vtkCompactSplineTransform and vtkExpressionTransform derive from it. It holds what their fits
 * share: the support radius R of the basis functions and the options of the fit (the basis
 * function, the polynomial part, the smoothing), with one modification time that tells the
 * subclass to fit again; and it evaluates single-precision points and derivatives through the
 * double-precision ones, and point sets through TransformPointsNormalsVectors(), which each
 * subclass serves from its cache. Both subclasses fit in the frame of their landmarks' centre
 * and extent and explain a failed fit in the same words.
 *
 * @sa
 * vtkCompactSplineTransform vtkExpressionTransform
 */
#ifndef vtkLandmarkSplineTransform_h
#define vtkLandmarkSplineTransform_h

#include "AnimationDeformationModule.h" // For export macro
#include "fit_options.h"                // For the fit's options
#include "vtkWarpTransform.h"

class ANIMATIONDEFORMATION_EXPORT vtkLandmarkSplineTransform : public vtkWarpTransform
{
public:
  vtkTypeMacro(vtkLandmarkSplineTransform, vtkWarpTransform);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * The support radius R of the basis functions: a landmark influences only points within R.
   * Default 0.5. Changing it refits the transform on its next use.
   */
  void SetSupportRadius(double radius);
  vtkGetMacro(SupportRadius, double);
  ///@}

  ///@{
  /**
   * The basis function: quadratic, (1 - r/R)^2 (the default), or Wendland's C2 function
   * (1 - r/R)^4 (4r/R + 1), smooth at the landmarks. Changing it refits the transform on its
   * next use.
   */
  void SetKernelToQuadratic() { this->SetKernel(animation::core::basis_kernel::quadratic); }
  void SetKernelToWendland() { this->SetKernel(animation::core::basis_kernel::wendland); }
  const char* GetKernelAsString() const;
  ///@}

  ///@{
  /**
   * Whether the field has its polynomial part c0 + c1 x + c2 y + c3 z. Default true. Without it
   * the warp is strictly local: nothing farther than R from every landmark moves. Changing it
   * refits the transform on its next use.
   */
  void SetPolynomial(bool polynomial);
  bool GetPolynomial() const { return this->Options.Polynomial; }
  ///@}

  ///@{
  /**
   * The smoothing lambda >= 0 of the fit (A + lambda I) w + P'c = b. Default 0, which
   * interpolates the landmarks. Changing it refits the transform on its next use.
   */
  void SetSmoothing(double smoothing);
  double GetSmoothing() const { return this->Options.Smoothing; }
  ///@}

  /**
   * Transform a point set through the subclass's cache of displacements.
   */
  void TransformPoints(vtkPoints* inPts, vtkPoints* outPts) override;

protected:
  vtkLandmarkSplineTransform();
  ~vtkLandmarkSplineTransform() override;

  /**
   * Copy the radius, the options and the inverse settings of another transform.
   */
  void CopyFitSettings(vtkLandmarkSplineTransform* other);

  void SetKernel(animation::core::basis_kernel kernel);

  /**
   * The single-precision point and derivative, through the double-precision ones.
   */
  using Superclass::ForwardTransformDerivative;
  using Superclass::ForwardTransformPoint;
  void ForwardTransformPoint(const float in[3], float out[3]) override;
  void ForwardTransformDerivative(const float in[3], float out[3], float derivative[3][3]) override;

  double SupportRadius;
  // The kernel, polynomial part and smoothing of the fit; its Radius is not used (SupportRadius
  // is, relative to the landmarks' extent).
  animation::core::fit_options Options;
  // Modified with everything that asks for a new fit: the radius, the options, and the
  // subclass's landmarks.
  vtkTimeStamp ParametersTime;

private:
  vtkLandmarkSplineTransform(const vtkLandmarkSplineTransform&) = delete;
  void operator=(const vtkLandmarkSplineTransform&) = delete;
};

#endif
