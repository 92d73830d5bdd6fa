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
 * The fit, the options, the frame of each group's fit (its sources' centre and extent), the
 * point-set cache and thread safety are those of vtkLandmarkSplineTransform. The cache holds
 * every expression's displacement at every point, 12 bytes a point and expression (and its
 * Jacobian, 36 more, when normals or vectors are transformed), and every later call with new
 * weights is a weighted sum of the cached arrays in single precision. Unlike
 * vtkCompactSplineTransform, which updates its fit when only targets move, any change of the
 * expressions fits them whole again.
 *
 * @warning
 * The landmarks are copied by AddExpression(), in double precision: later changes to the point
 * sets given there are not seen. A point set of single precision is blended in single precision,
 * one of double precision in double.
 *
 * @sa
 * vtkCompactSplineTransform vtkTransformPolyDataFilter
 */
#ifndef vtkExpressionTransform_h
#define vtkExpressionTransform_h

#include "AnimationDeformationModule.h" // For export macro
#include "vtkLandmarkSplineTransform.h"

class ANIMATIONDEFORMATION_EXPORT vtkExpressionTransform : public vtkLandmarkSplineTransform
{
public:
  vtkTypeMacro(vtkExpressionTransform, vtkLandmarkSplineTransform);
  void PrintSelf(ostream& os, vtkIndent indent) override;
  static vtkExpressionTransform* New();

  /**
   * Add an expression: a name of letters, digits and '_' not used before, and its source and
   * target landmarks, the same number of each (copied). Its weight starts at 0. Returns its
   * index, or -1 with an error when the name or the landmarks are not acceptable.
   */
  int AddExpression(const char* name, vtkPoints* source, vtkPoints* target);

  /**
   * Whether AddExpression() takes name: one or more letters, digits and '_'.
   */
  static bool IsExpressionName(const char* name);

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

  /**
   * Fit every expression now if the expressions or the radius changed since the last fit.
   * Returns 1 on success; otherwise 0, the transform is the identity and GetFitError() says why,
   * naming the expression. Update() calls it and reports a failure as a VTK error; a fit that
   * misses its landmarks by more than 1e-6, or than the RefinementThreshold when that is larger,
   * is reported once.
   */
  int Fit();

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
   * A fit is refined when its single-precision landmark residual exceeds this fraction of the
   * largest landmark move. Default 0: every fit is refined. A larger value keeps single-precision
   * fits that are good to that fraction exactly as they are. Changing it refits on the next use.
   */
  void SetRefinementThreshold(double threshold)
  {
    this->SetFitParameter(this->RefinementThreshold, threshold);
  }
  vtkGetMacro(RefinementThreshold, double);
  ///@}

  /**
   * Number of envelope factorisations the last successful fit made: one per distinct set of
   * sources. Fits first when needed.
   */
  int GetNumberOfFactorisations();

  VTK_NEWINSTANCE vtkAbstractTransform* MakeTransform() override;

protected:
  vtkExpressionTransform();
  ~vtkExpressionTransform() override;

  void InternalUpdate() override;

  /**
   * Copy the expressions, weights, radius, options, refinement threshold and inverse settings;
   * the copy fits on its own first use.
   */
  void InternalDeepCopy(vtkAbstractTransform* transform) override;

  double Displacement(const double x[3], double s[3], double jacobian[3][3]) override;
  bool TransformPointSet(vtkPoints* inPts,
                         vtkPoints* outPts,
                         const animation::carried_tuples& carried) override;

  // The landmark residual above which a fit is refined (SetRefinementThreshold()).
  double RefinementThreshold = 0.0;

private:
  vtkExpressionTransform(const vtkExpressionTransform&) = delete;
  void operator=(const vtkExpressionTransform&) = delete;

  // The expressions, their fits and the cache of the last point set.
  class vtkInternals;
  vtkInternals* Internals;
};

#endif
