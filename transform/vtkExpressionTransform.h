/**
 * @class   vtkExpressionTransform
 * @brief   warp transform that blends several named expressions of one face
 *
 * An expression is a set of landmark pairs, source positions on the face and the target positions
 * they move to. vtkExpressionTransform fits each expression as vtkCompactSplineTransform does, a
 * compactly supported spline field s_k (source minus target) of support radius R, and moves a
 * point x to
 *
 *   x - sum_k w_k s_k(x),
 *
 * w_k the weight of expression k (0 by default; any real number, so that 1.5 exaggerates an
 * expression and -1 reverses it). Add the expressions with AddExpression(), set the weights with
 * SetWeight() and place the transform in a vtkTransformPolyDataFilter; an animation writes new
 * weights for every frame.
 *
 * Expressions whose sources are the same positions, in any order, share one breadth-first order,
 * one envelope factorisation and one neighbour search: each further expression costs three
 * envelope solves. GetNumberOfFactorisations() says how many were made.
 *
 * A point set is evaluated once, on the threads of vtkSMPTools: the first TransformPoints() on it
 * caches every expression's displacement at every point, 12 bytes a point and expression (and
 * its Jacobian, 36 more, when normals or vectors are transformed), and every later call with new
 * weights is a weighted sum of the cached arrays in single precision. The displacements of the
 * last four point sets are kept, each for one vtkPoints object while it is alive and unmodified
 * and the fit unchanged. Normals are carried by the inverse transpose of I - sum_k w_k J_k,
 * renormalised; vectors by that derivative.
 *
 * Thread safety, as for vtkCompactSplineTransform: separate transforms may be fitted and used on
 * separate threads at once (a fit keeps no process-wide state). One transform whose expressions,
 * options and weights are not being changed may be used from several threads at once (single
 * points, derivatives, TransformPoints() and TransformPointsNormalsVectors()); the lazy fit runs
 * under the transform's update lock and the point-set cache under a lock of its own. Changing
 * the expressions, the options or a weight while another thread uses the transform is not safe.
 *
 * @warning
 * The landmarks are copied by AddExpression(), in single precision: later changes to the point
 * sets given there are not seen. The fit is made on the landmarks' own coordinates, in single
 * precision and then refined (see SetRefinementThreshold()); far from the origin the
 * coordinates themselves hold fewer digits (vtkCompactSplineTransform fits relative to its
 * landmarks), and GetFitResidual() says how far the fields miss the landmarks.
 *
 * @sa
 * vtkCompactSplineTransform vtkTransformPolyDataFilter
 */
#ifndef vtkExpressionTransform_h
#define vtkExpressionTransform_h

#include "AnimationDeformationModule.h" // For export macro
#include "vtkWarpTransform.h"

class vtkDataArray;
class vtkPoints;

class ANIMATIONDEFORMATION_EXPORT vtkExpressionTransform : public vtkWarpTransform
{
public:
  vtkTypeMacro(vtkExpressionTransform, vtkWarpTransform);
  void PrintSelf(ostream& os, vtkIndent indent) override;
  static vtkExpressionTransform* New();

  /**
   * Add an expression: a name of letters, digits and '_' not used before, and its source and
   * target landmarks, the same number of each (copied). Its weight starts at 0. Returns its
   * index, or -1 with an error when the name or the landmarks are not acceptable.
   */
  int AddExpression(const char* name, vtkPoints* source, vtkPoints* target);

  /**
   * Remove every expression.
   */
  void RemoveAllExpressions();

  ///@{
  /**
   * The expressions in the order in which they were added, and the index of a name (-1 when
   * there is none).
   */
  int GetNumberOfExpressions();
  const char* GetExpressionName(int index);
  int GetExpressionIndex(const char* name);
  ///@}

  ///@{
  /**
   * The weight of an expression, by name or by index; 0 after AddExpression(). Setting an
   * unknown expression is an error that changes nothing. Changing a weight never refits.
   */
  void SetWeight(const char* name, double weight);
  void SetWeight(int index, double weight);
  double GetWeight(const char* name);
  double GetWeight(int index);
  ///@}

  ///@{
  /**
   * The support radius R of the basis functions, shared by every expression. Default 0.5.
   * Changing it refits on the next use.
   */
  void SetSupportRadius(double radius);
  vtkGetMacro(SupportRadius, double);
  ///@}

  ///@{
  /**
   * The fit of every expression, as vtkCompactSplineTransform's: the basis function (the
   * quadratic (1 - r/R)^2, or Wendland's (1 - r/R)^4 (4r/R + 1), smooth at the landmarks), the
   * polynomial part (off: nothing farther than R from every landmark moves) and the smoothing
   * lambda >= 0 of (A + lambda I) c + P' d = b. Defaults: quadratic, polynomial on, 0. Changing
   * them refits on the next use.
   */
  void SetKernelToQuadratic() { this->SetWendland(false); }
  void SetKernelToWendland() { this->SetWendland(true); }
  void SetPolynomial(bool polynomial);
  vtkGetMacro(Polynomial, bool);
  void SetSmoothing(double smoothing);
  vtkGetMacro(Smoothing, double);
  ///@}

  /**
   * Fit every expression now if the expressions or the radius changed since the last fit.
   * Returns 1 on success; otherwise 0, the transform is the identity and GetFitError() says why.
   * Update() calls it and reports a failure as a VTK error.
   */
  int Fit();

  /**
   * Why the last fit failed, or how far it misses its landmarks when that is more than 1e-6 of
   * the largest landmark move (or than the RefinementThreshold, when that is larger), naming
   * the expression: the text that Update() reports as an error. Empty after a good fit.
   */
  const char* GetFitError();

  /**
   * How far the fields miss the landmarks: the largest distance between s_k(p) and p - q (with
   * smoothing lambda, the residual of (A + lambda I) c + P'd = b) over the landmarks of every
   * expression, relative to the largest landmark move |p - q| of that expression. 0 before the
   * first fit and after a failed one. Fits first when needed.
   */
  double GetFitResidual();

  ///@{
  /**
   * How the last fit was refined, the largest over its expressions: the landmark residual of
   * the single-precision solve (as GetFitResidual()); the relative error its polynomial part
   * can carry, 2^-24 ((|c| + e_max) / e_min)^2 with c the centroid of the landmarks and e their
   * root-mean-square extents along their principal axes (large for landmarks far from the
   * origin beside their thinnest extent, such as a nearly flat patch); and the correction steps
   * applied (0: the single-precision fits were kept). Fits first when needed.
   */
  double GetFitResidualBeforeRefinement();
  double GetPolynomialLoss();
  int GetRefinementSteps();
  ///@}

  ///@{
  /**
   * Every fit is solved in single precision, then refined in mixed precision (residuals in
   * double precision, corrections from the single-precision factor) until the residual stops
   * decreasing, when its landmark residual exceeds this fraction of the largest landmark move.
   * Default 0: every fit is refined. A larger value keeps single-precision fits that are good
   * to that fraction exactly as they are. Changing it refits on the next use.
   */
  void SetRefinementThreshold(double threshold);
  vtkGetMacro(RefinementThreshold, double);
  ///@}

  /**
   * Number of envelope factorisations the last successful fit made: one per distinct set of
   * sources. Fits first when needed.
   */
  int GetNumberOfFactorisations();

  /**
   * Transform a point set through the cached displacements (see the class description).
   */
  void TransformPoints(vtkPoints* inPts, vtkPoints* outPts) override;

  /**
   * Transform points, normals and vectors through the cached displacements and Jacobians.
   */
  void TransformPointsNormalsVectors(vtkPoints* inPts,
                                     vtkPoints* outPts,
                                     vtkDataArray* inNms,
                                     vtkDataArray* outNms,
                                     vtkDataArray* inVrs,
                                     vtkDataArray* outVrs,
                                     int nOptionalVectors = 0,
                                     vtkDataArray** inVrsArr = nullptr,
                                     vtkDataArray** outVrsArr = nullptr) override;

  /**
   * A new, empty vtkExpressionTransform.
   */
  VTK_NEWINSTANCE vtkAbstractTransform* MakeTransform() override;

protected:
  vtkExpressionTransform();
  ~vtkExpressionTransform() override;

  /**
   * Fit again when needed (see Fit()).
   */
  void InternalUpdate() override;

  /**
   * Copy the expressions, weights, radius and inverse settings; the copy fits on its own first
   * use.
   */
  void InternalDeepCopy(vtkAbstractTransform* transform) override;

  void ForwardTransformPoint(const float in[3], float out[3]) override;
  void ForwardTransformPoint(const double in[3], double out[3]) override;
  void ForwardTransformDerivative(const float in[3], float out[3], float derivative[3][3]) override;
  void ForwardTransformDerivative(const double in[3],
                                  double out[3],
                                  double derivative[3][3]) override;

  void SetWendland(bool wendland);

  double SupportRadius;
  bool Wendland;
  bool Polynomial;
  double Smoothing;
  double RefinementThreshold;

private:
  vtkExpressionTransform(const vtkExpressionTransform&) = delete;
  void operator=(const vtkExpressionTransform&) = delete;

  // The expressions, their fits and the cache of the last point set.
  class vtkInternals;
  vtkInternals* Internals;
};

#endif
