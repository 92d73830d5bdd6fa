/**
 * @class   vtkShapeTransform
 * @brief   warp transform that blends points along a fitted spline displacement field
 *
 * vtkShapeTransform moves every point x of a point set to x - BlendFactor * s(x), where s is the
 * displacement field fitted by vtkMatrixSolver from pairs of control points:
 *
 *   s(x) = sum_k w_k phi(|x - p_k|) + c0 + c1 x + c2 y + c3 z,    phi(r) = (1 - r/R)^2,
 *
 * the sum running over the control points p_k that lie within the support radius R of x (phi is
 * Wendland's (1 - r/R)^4 (4r/R + 1) when SetSpline() names that kernel). The weights w_k and the
 * polynomial coefficients c0..c3 are stored per coordinate in the solver's coefficient arrays:
 * entry UnList[k] is the weight of control point k, and entries nc, nc+1, nc+2, nc+3 (nc the
 * number of control points) are c0, c1, c2, c3. Since s is source minus target, BlendFactor 0
 * leaves the points where they are and BlendFactor 1 carries them toward the target shape. The
 * polynomial part is evaluated at every point, so the field is continuous: a point with no control
 * point within R moves by the polynomial part alone (not at all when the fit had none), and
 * LargestMoveBeyondSupports tells how far such points of the cached point set move at
 * BlendFactor 1.
 *
 * The field is costly to evaluate and the blend is cheap, so the first evaluation after
 * SetSpline() computes s at every input point and caches it in Displacements, with its Jacobian
 * J = ds/dx in Jacobians when normals are transformed; every later evaluation only scales the
 * cache by BlendFactor. Normals are carried by the inverse transpose of the derivative
 * I - BlendFactor * J of the map, renormalised, so that the shading of the surface follows its
 * deformation. An animation places the transform in a vtkTransformPolyDataFilter, calls
 * SetSpline() once, and for every frame writes BlendFactor and calls Modified() so that the
 * filter executes again.
 *
 * The first evaluation finds the control points near each input point in a flat copy of the
 * locator's buckets (locator_buckets.h), which returns the locator's own answer in its order, and
 * spreads the input points over the threads of vtkSMPTools (at most VTK_SMP_MAX_THREADS when that
 * environment variable is set). Each point's sum takes the same terms in the same order on any
 * thread, so the cache does not depend on the number of threads. The cache is the numerics'
 * displacement cache (displacement_cache.h) in single precision: 12 bytes a point, and 36 more
 * for the Jacobian; Displacements and Jacobians are views of it.
 *
 * @warning
 * One instance must not be evaluated from two threads at once: an evaluation fills the cache.
 * The cache belongs to one point set as it was when evaluated: it is recomputed for another
 * vtkPoints object, or for the same one after it was modified.
 *
 * @warning
 * SetSpline() stores plain pointers to the control points, the coefficient arrays, the inverse
 * list order and the locator, without taking references. The caller keeps them alive, and the
 * locator built over the same control points, until the transform is deleted.
 *
 * @warning
 * Only TransformPoints() and TransformPointsNormalsVectors() apply the field; vectors are not
 * written. The single-point interface (TransformPoint() and the derivative) returns the point
 * unchanged with an identity derivative, and Inverse() does nothing, so the transform returned by
 * GetInverse() leaves points where they are.
 *
 * @sa
 * vtkMatrixSolver vtkDatReader vtkTransformPolyDataFilter vtkPointLocator
 */
#ifndef vtkShapeTransform_h
#define vtkShapeTransform_h

#include "fit_options.h" // For the basis function
#include "vtkAnimationMacros.h"

#include <vtkAbstractTransform.h>

#include <memory> // for std::unique_ptr

namespace animation
{
namespace core
{
template<typename Real>
struct displacement_cache;
}
}

class vtkDataArray;
class vtkFloatArray;
class vtkMath;
class vtkPointLocator;
class vtkPoints;

class vtkShapeTransform : public vtkAbstractTransform
{
public:
  vtkTypeMacro(vtkShapeTransform, vtkAbstractTransform);
  static vtkShapeTransform* New();

  /**
   * Hand over the fitted field: the support radius, the source control points, the three
   * coefficient arrays (nc + 4 entries each, in list order), the inverse list order (control
   * point id to list position), a locator built over the control points and the basis function
   * of the fit. Discards the cached displacements, so that the next evaluation computes them
   * again. Does not call Modified().
   */
  void SetSpline(float radius,
                 vtkPoints* pointArray,
                 float* splineCoeffX,
                 float* splineCoeffY,
                 float* splineCoeffZ,
                 int* unList,
                 vtkPointLocator* tree,
                 animation::core::basis_kernel kernel = animation::core::basis_kernel::quadratic);

  ///@{
  /**
   * The field handed over by SetSpline() (the radius is also that of the neighbour query); unset
   * until SetSpline() is called.
   */
  animGetMacro(Radius, float);
  animGetObjectMacro(PointArray, vtkPoints);
  animGetMacro(SplineCoeffX, float*);
  animGetMacro(SplineCoeffY, float*);
  animGetMacro(SplineCoeffZ, float*);
  animGetMacro(UnList, int*);
  animGetObjectMacro(Tree, vtkPointLocator);
  ///@}

  ///@{
  /**
   * The state of the evaluation: SplineSet is true once SetSpline() has been called,
   * DisplacementsCached once Displacements holds the field at every point of the last evaluated
   * point set (single precision, indexed like that point set) and Jacobians its Jacobian there
   * (9 components, ds_a/dx_b at 3a + b). Both false after construction.
   */
  animGetMacro(SplineSet, bool);
  animGetMacro(DisplacementsCached, bool);
  animGetObjectMacro(Displacements, vtkPoints);
  animGetObjectMacro(Jacobians, vtkFloatArray);
  ///@}

  /**
   * The largest length of the displacement s(x) among the cached points that have no control
   * point within the support radius (they move by the polynomial part alone); 0 when there is
   * none, and before the first evaluation.
   */
  double GetLargestMoveBeyondSupports() const { return this->LargestMoveBeyondSupports; }

  /**
   * Scale of the displacement: a point x is moved to x - BlendFactor * s(x). Written directly;
   * call Modified() afterwards so that a pipeline using the transform executes again. 0 after
   * construction.
   */
  float BlendFactor = 0.0f;

  /**
   * Append the transformed points to outPts, one per input point, in input order. The first call
   * after SetSpline() evaluates and caches the field; later calls blend from the cache. Before
   * SetSpline() the points are appended unchanged.
   */
  void TransformPoints(vtkPoints* inPts, vtkPoints* outPts) override;

  /**
   * Transform the points as TransformPoints() does (before SetSpline() outPts becomes a copy of
   * inPts) and the normals, when they are given, by the inverse transpose of I - BlendFactor * J
   * from the cached Jacobians, renormalised; a normal where that matrix is singular is kept, and
   * before SetSpline() the normals are copied unchanged. Vectors are left alone.
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

  ///@{
  /**
   * The field has no inverse and no single-point interface here (see the class warning).
   */
  void Inverse() override;
  void InternalTransformPoint(const float in[3], float out[3]) override;
  void InternalTransformPoint(const double in[3], double out[3]) override;
  void InternalTransformDerivative(const float in[3],
                                   float out[3],
                                   float derivative[3][3]) override;
  void InternalTransformDerivative(const double in[3],
                                   double out[3],
                                   double derivative[3][3]) override;
  ///@}

  /**
   * A new, empty vtkShapeTransform (no spline set). GetInverse() relies on it.
   */
  VTK_NEWINSTANCE vtkAbstractTransform* MakeTransform() override;

protected:
  vtkShapeTransform();
  ~vtkShapeTransform() override;

  // Evaluate the field at every input point, fill the cache and append the blended points; the
  // Jacobians too when asked (normals need them, points alone do not).
  void ComputeDisplacements(vtkPoints* inPts, vtkPoints* outPts, bool withJacobians);
  // Append every input point minus BlendFactor times its cached displacement.
  void BlendDisplacements(vtkPoints* inPts, vtkPoints* outPts);
  // Carry every normal by the derivative of the map, from the cached Jacobians.
  void BlendNormals(vtkDataArray* inNms, vtkDataArray* outNms);
  // True when the cache holds the displacements of this point set as it is now.
  bool HoldsDisplacementsOf(vtkPoints* points) const;

  float Radius = 0.0f;
  vtkPoints* PointArray = nullptr;
  // The numerics' displacement cache in single precision; Displacements and Jacobians are views
  // of its storage.
  std::unique_ptr<animation::core::displacement_cache<float>> Cache;
  vtkPoints* Displacements;
  vtkFloatArray* Jacobians;
  // The normals of NormalTermsSource, as it was at NormalTermsTime, as polynomials in BlendFactor
  // (see normal_terms()): nine planes of one float a normal, formed from Jacobians.
  vtkFloatArray* NormalTerms;
  vtkDataArray* NormalTermsSource = nullptr;
  vtkMTimeType NormalTermsTime = 0;
  bool DisplacementsCached = false;
  // The point set whose displacements the cache holds, and its modification time then: a point
  // set is known by the object and its time, never by its size alone.
  vtkPoints* CachedPoints = nullptr;
  vtkMTimeType CachedPointsTime = 0;
  bool SplineSet = false;
  float* SplineCoeffX = nullptr;
  float* SplineCoeffY = nullptr;
  float* SplineCoeffZ = nullptr;
  int* UnList = nullptr;
  vtkPointLocator* Tree = nullptr;
  animation::core::basis_kernel Kernel = animation::core::basis_kernel::quadratic;
  double LargestMoveBeyondSupports = 0.0;
  vtkMath* Math;

private:
  vtkShapeTransform(const vtkShapeTransform&) = delete;
  void operator=(const vtkShapeTransform&) = delete;
};

#endif
