/**
 * @class   vtkCompactSplineTransform
 * @brief   landmark warp with compactly supported radial basis functions
 *
 * vtkCompactSplineTransform moves every point x to x - BlendFactor * s(x), s the displacement
 * field of vtkLandmarkSplineTransform that carries the source landmarks onto the target
 * landmarks. At BlendFactor 1 the source landmarks land on the target landmarks; at 0 nothing
 * moves. The fit, the options, the frame, the point-set cache and thread safety are those of the
 * base; a change of BlendFactor never refits, and a point set already seen costs a
 * multiply-subtract per coordinate (its cache holds 3 doubles a point, 9 more for the Jacobian).
 *
 * When only target landmarks changed since the last good fit (the target vtkPoints modified in
 * place and Modified(), or SetTargetLandmarks() with another set of the same number of points),
 * the fit is updated instead of made again. The fit is linear in the targets: moving the target of
 * landmark j by m changes the displacement everywhere by -g_j(x) m, g_j the cardinal field of j
 * (the fit of 1 at landmark j and 0 at the others, solved with the kept factor and refined in
 * double precision like every fit). g_j is not local: inv(A) is dense and the polynomial part
 * moves every point, so the update is applied to every point of a cached point set, exactly. The
 * transform keeps, per fit, the matrix's factor, the landmarks' order and buckets and the cardinal
 * coefficients of the last 8 landmarks moved (n + 4 doubles each), and per cached point set the
 * cardinal field of the last 4 landmarks moved at each of its points (1 double a point, 4 with
 * normals or vectors). The first move of a landmark then costs one solve with the kept factor and
 * one evaluation of the scalar g_j at every point of the point set (with its gradient when normals
 * or vectors are carried); every later move of the same landmark costs 3 multiply-adds a point,
 * 12 with the Jacobian, and no neighbour search. After every update the landmark residual is
 * measured: above 1e-6 of the largest landmark move the values are solved again with the kept
 * factor, and above it still the landmarks are fitted whole. More than 8 landmarks moved at once
 * are solved again with the kept factor (no new assembly or factorisation) and every point set is
 * evaluated again whole. A change of the sources, of their number, of the radius, the kernel, the
 * polynomial part or the smoothing, and any change after a fit that failed or missed its
 * landmarks, fits whole. Each update adds its rounding: after 1000 moves of one landmark on a face
 * of 3000 points the points were within 2.2e-14 of the largest landmark move of those of a whole
 * fit, and the residual check bounds what many more updates could accumulate.
 *
 * The derivative of the quadratic phi is -2 (1 - r/R) / (R r) (x - p); at a landmark (r = 0) phi
 * has a cusp and its term in the Jacobian is taken as 0. That of Wendland's phi is
 * -20 (1 - r/R)^3 / R^2 (x - p).
 *
 * @warning
 * With the polynomial part, a set of landmarks whose motion has an affine part (a patch moved
 * together) moves the whole point set beyond the supports by that affine part. When it moves a
 * point of a transformed point set beyond every support by more than a tenth of the largest
 * landmark move, the transform warns once per fit. To keep the rest still, place landmarks whose
 * source equals their target (anchors) around the region to be warped, or call
 * SetPolynomial(false).
 *
 * @warning
 * Different numbers of source and target landmarks give no fit either (see
 * vtkLandmarkSplineTransform).
 *
 * @sa
 * vtkThinPlateSplineTransform vtkWarpTransform vtkTransformPolyDataFilter vtkShapeTransform
 */
#ifndef vtkCompactSplineTransform_h
#define vtkCompactSplineTransform_h

#include "AnimationDeformationModule.h" // For export macro
#include "vtkLandmarkSplineTransform.h"

class ANIMATIONDEFORMATION_EXPORT vtkCompactSplineTransform : public vtkLandmarkSplineTransform
{
public:
  vtkTypeMacro(vtkCompactSplineTransform, vtkLandmarkSplineTransform);
  void PrintSelf(ostream& os, vtkIndent indent) override;
  static vtkCompactSplineTransform* New();

  ///@{
  /**
   * The landmarks: source positions and the target positions they move to at BlendFactor 1, the
   * same number of each. Modifying the sources refits the transform on its next use; modifying
   * only the targets updates its fit (see above).
   */
  void SetSourceLandmarks(vtkPoints* source);
  vtkGetObjectMacro(SourceLandmarks, vtkPoints);
  void SetTargetLandmarks(vtkPoints* target);
  vtkGetObjectMacro(TargetLandmarks, vtkPoints);
  ///@}

  ///@{
  /**
   * The fraction of the displacement applied, 0 to 1: a point x goes to x - BlendFactor * s(x).
   * Default 1. Changing it never refits.
   */
  vtkSetClampMacro(BlendFactor, double, 0.0, 1.0);
  vtkGetMacro(BlendFactor, double);
  ///@}

  /**
   * True when the last fit succeeded; false before the first fit, without landmarks, and after
   * landmarks that give no fit (the transform is then the identity). Fits first when needed.
   */
  bool IsFitted();

  /**
   * The modification time includes that of the landmarks.
   */
  vtkMTimeType GetMTime() override;

  VTK_NEWINSTANCE vtkAbstractTransform* MakeTransform() override;

protected:
  vtkCompactSplineTransform();
  ~vtkCompactSplineTransform() override;

  void InternalUpdate() override;

  /**
   * Copy the landmarks (shared, as vtkThinPlateSplineTransform does), radius, options, blend factor
   * and the inverse settings; the copy fits on its own first use.
   */
  void InternalDeepCopy(vtkAbstractTransform* transform) override;

  double Displacement(const double x[3], double s[3], double jacobian[3][3]) override;
  bool TransformPointSet(vtkPoints* inPts,
                         vtkPoints* outPts,
                         const animation::carried_tuples& carried) override;

  /**
   * Update the last fit to the target landmarks as they are now, when only they changed: true when
   * done, false when the landmarks must be fitted whole.
   */
  bool UpdateTargets();

  /**
   * Fit the landmarks as they are now, or report why they give no fit. Storage that cannot be
   * obtained throws std::bad_alloc, which InternalUpdate() reports.
   */
  void FitLandmarks();

  // Keeps "Cannot fit: why; the transform is the identity<until>." for GetFitError() and reports
  // it as an error.
  void ReportCannotFit(const std::string& why, const char* until = "");

  vtkPoints* SourceLandmarks = nullptr;
  vtkPoints* TargetLandmarks = nullptr;
  double BlendFactor = 1.0;

  // How many fits were made whole and how many point sets evaluated whole since construction;
  // what an update of the targets avoids.
  int WholeFits = 0;
  int WholePointSetEvaluations = 0;

private:
  vtkCompactSplineTransform(const vtkCompactSplineTransform&) = delete;
  void operator=(const vtkCompactSplineTransform&) = delete;

  // The fit and the cache of the last point set.
  class vtkInternals;
  vtkInternals* Internals;
};

#endif
