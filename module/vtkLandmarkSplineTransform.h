/**
 * @class   vtkLandmarkSplineTransform
 * @brief   base of the warp transforms fitted to landmarks by a compactly supported spline
 *
 * vtkCompactSplineTransform and vtkExpressionTransform derive from it. Each fits displacement
 * fields that carry source landmarks p_k onto target landmarks q_k,
 *
 *   s(x) = sum_k w_k phi(|x - p_k|) + c0 + c1 x + c2 y + c3 z,   phi(r) = (1 - r/R)^2 for r < R,
 *
 * one field per coordinate, with s(p_k) = p_k - q_k, and moves a point by a blend of its fields.
 * The sum runs over the landmarks within the support radius R of x; the polynomial part is
 * evaluated everywhere, so the field is continuous, and a point beyond the support of every
 * landmark moves by the affine part of the fit alone.
 *
 * Each basis function couples only landmarks closer than R, so the interpolation matrix is
 * sparse. The landmarks are numbered breadth-first over their neighbourhoods, the matrix is held
 * in envelope storage in that order and factored once by envelope Cholesky, and the four
 * polynomial terms are eliminated through a 4x4 system solved by Householder QR: in single
 * precision, then refined in mixed precision (residuals and the polynomial part in double
 * precision, corrections from the single-precision factor) until the residual at the landmarks
 * stops decreasing; the coefficients are kept in double precision. Before the matrix is
 * assembled its size is estimated, and a fit that cannot fit in the memory available is refused
 * at once. The fit is made lazily, on the first use after the landmarks, the radius or the
 * options changed.
 *
 * Single points, derivatives and the inherited inverse (a Newton iteration on the analytic
 * Jacobian) evaluate the fields directly. TransformPoints() and TransformPointsNormalsVectors()
 * evaluate them once per point set, on the threads of vtkSMPTools, and keep the displacements
 * (and, only when normals or vectors are transformed, their Jacobians), so that a new blend only
 * redoes a weighted sum: the displacements of the last four point sets are kept, each for one
 * vtkPoints object while it is alive and unmodified and the fit unchanged. Normals are carried by
 * the inverse transpose of the derivative I - sum w J of the map and renormalised, vectors by the
 * derivative itself. Each point's sum takes the same terms in the same order on any thread, so
 * the results do not depend on the number of threads.
 *
 * Options (each below): Wendland's basis function instead of the quadratic, whose cusp makes a
 * crease at every landmark that moves its neighbourhood; no polynomial part, for a strictly local
 * warp; and a smoothing, an approximation of noisy landmarks. Landmarks that do not span space
 * (fewer than four, all in one plane or on one line) reduce the polynomial part to the affine
 * functions of their hull: 1 and two in-plane coordinates for a plane, 1 and the line's
 * coordinate for a line, 1 for a single landmark.
 *
 * Both subclasses fit relative to their landmarks: a point x enters the fit and the field as
 * (x - centre) / extent, formed in double precision, with the centre the mean of the source
 * landmarks and the extent their largest distance from it, so the precision does not depend on
 * where the landmarks lie (a scene 1e6 from the origin fits as well as one at the origin).
 *
 * Landmarks that give no fit (two sources at one position, values that are not finite, a
 * negative smoothing, a radius that is not positive, too large for single precision beside the
 * landmarks' spacing or below the precision of their coordinates, a matrix larger than the memory
 * available, storage that cannot be obtained) raise a VTK error in the same words for both
 * transforms, saying which, and leave the identity until they change. A fit that misses its
 * landmarks by more than 1e-6 of the largest landmark move even after its refinement is kept and
 * reported as an error too. Nothing is printed on standard output.
 *
 * Thread safety, as for the toolkit's own transforms: separate transforms may be fitted and used
 * on separate threads at once (a fit keeps no process-wide state). One transform whose landmarks,
 * radius, options and weights are not being changed may be used from several threads at once:
 * single points, derivatives, TransformPoints() and TransformPointsNormalsVectors() (one
 * vtkTransformPolyDataFilter per thread) give the results of one thread; the lazy fit runs under
 * the transform's update lock and the point-set cache under a lock of its own. Changing them
 * while another thread uses the transform is not safe.
 *
 * @sa
 * vtkCompactSplineTransform vtkExpressionTransform
 */
#ifndef vtkLandmarkSplineTransform_h
#define vtkLandmarkSplineTransform_h

#include "AnimationDeformationModule.h" // For export macro
#include "fit_options.h"                // For the fit's options
#include "vtkWarpTransform.h"

#include <string> // For FitError

class vtkDataArray;
class vtkPoints;
namespace animation
{
struct carried_tuples;
}

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
  void SetSupportRadius(double radius) { this->SetFitParameter(this->SupportRadius, radius); }
  vtkGetMacro(SupportRadius, double);
  ///@}

  ///@{
  /**
   * The basis function: quadratic, (1 - r/R)^2 (the default), or Wendland's function
   * (1 - r/R)^4 (4r/R + 1), twice continuously differentiable, smooth at the landmarks. Changing
   * it refits the transform on its next use.
   */
  void SetKernelToQuadratic() { this->SetKernel(animation::core::basis_kernel::quadratic); }
  void SetKernelToWendland() { this->SetKernel(animation::core::basis_kernel::wendland); }
  const char* GetKernelAsString() const;
  ///@}

  ///@{
  /**
   * Whether the field has its polynomial part c0 + c1 x + c2 y + c3 z. Default true. Without it
   * (c0 ... c3 = 0) the warp is strictly local: nothing farther than R from every landmark moves.
   * Changing it refits the transform on its next use.
   */
  void SetPolynomial(bool polynomial)
  {
    this->SetFitParameter(this->Options.Polynomial, polynomial);
  }
  bool GetPolynomial() const { return this->Options.Polynomial; }
  ///@}

  ///@{
  /**
   * The smoothing lambda >= 0 of the fit (A + lambda I) w + P'c = b. Default 0, which
   * interpolates the landmarks. Changing it refits the transform on its next use.
   */
  void SetSmoothing(double smoothing) { this->SetFitParameter(this->Options.Smoothing, smoothing); }
  double GetSmoothing() const { return this->Options.Smoothing; }
  ///@}

  /**
   * How far the fields miss their landmarks after the refinement: the largest distance between
   * s(p_k) and p_k - q_k (with smoothing lambda, the residual of (A + lambda I) w + P'c = b) over
   * the landmarks of every field, relative to the largest landmark move |p_k - q_k| of that
   * field. 0 before the first fit and after landmarks that give no fit. Fits first when needed.
   */
  double GetFitResidual();

  /**
   * Why the last fit failed, or how far it misses its landmarks when that is more than 1e-6 of
   * the largest landmark move: the explanation in the error the fit reported. Empty after a good
   * fit and without landmarks. Fits first when needed.
   */
  const char* GetFitError();

  ///@{
  /**
   * Transform a point set, with its normals and vectors, through the subclass's cache.
   */
  void TransformPoints(vtkPoints* inPts, vtkPoints* outPts) override;
  void TransformPointsNormalsVectors(vtkPoints* inPts,
                                     vtkPoints* outPts,
                                     vtkDataArray* inNms,
                                     vtkDataArray* outNms,
                                     vtkDataArray* inVrs,
                                     vtkDataArray* outVrs,
                                     int nOptionalVectors = 0,
                                     vtkDataArray** inVrsArr = nullptr,
                                     vtkDataArray** outVrsArr = nullptr) override;
  ///@}

protected:
  vtkLandmarkSplineTransform();
  ~vtkLandmarkSplineTransform() override;

  /**
   * Copy the radius, the options and the inverse settings; the subclass adds its own.
   */
  void InternalDeepCopy(vtkAbstractTransform* transform) override;

  void SetKernel(animation::core::basis_kernel kernel)
  {
    this->SetFitParameter(this->Options.Kernel, kernel);
  }

  /**
   * Set a parameter of the fit: a change refits the transform on its next use.
   */
  template<typename T>
  void SetFitParameter(T& parameter, T value)
  {
    if (parameter != value)
    {
      parameter = value;
      this->ParametersTime.Modified();
      this->Modified();
    }
  }

  /**
   * Why the radius or the smoothing give no fit, a phrase ("the SupportRadius 0 is not a
   * positive finite number"); empty when both are usable.
   */
  std::string DescribeUnusableSettings() const;

  /**
   * Whether landmarks can be fitted at all: their coordinates finite, and few enough that the
   * n + 4 rows of the fit are counted in an int.
   */
  static bool FittableLandmarks(vtkPoints* source, vtkPoints* target);

  /**
   * The displacement s and, when jacobian is not null, its Jacobian ds/dx at x under the fit as
   * it is; both arrive 0 and stay so without a fit. Returns the factor b of the map x - b s,
   * whose derivative is I - b J. Safe from several threads at once.
   */
  virtual double Displacement(const double x[3], double s[3], double jacobian[3][3]) = 0;

  /**
   * Append the moved points, and the carried normals and vectors, of a point set to the outputs
   * through the subclass's cache; false, and nothing appended, when there is no fit.
   */
  virtual bool TransformPointSet(vtkPoints* inPts,
                                 vtkPoints* outPts,
                                 const animation::carried_tuples& carried) = 0;

  /**
   * The point and its derivative through Displacement(); single precision through double.
   */
  void ForwardTransformPoint(const double in[3], double out[3]) override;
  void ForwardTransformDerivative(const double in[3],
                                  double out[3],
                                  double derivative[3][3]) override;
  void ForwardTransformPoint(const float in[3], float out[3]) override;
  void ForwardTransformDerivative(const float in[3], float out[3], float derivative[3][3]) override;

  double SupportRadius = 0.5;
  // The kernel, polynomial part and smoothing of the fit; its Radius is not used (SupportRadius
  // is, relative to the landmarks' extent).
  animation::core::fit_options Options;
  // Modified with everything that asks for a new fit: the radius, the options, and the
  // subclass's landmarks.
  vtkTimeStamp ParametersTime;
  // What GetFitResidual() and GetFitError() return, written by the subclass's fit.
  double FitResidual = 0.0;
  std::string FitError;

private:
  vtkLandmarkSplineTransform(const vtkLandmarkSplineTransform&) = delete;
  void operator=(const vtkLandmarkSplineTransform&) = delete;
};

#endif
