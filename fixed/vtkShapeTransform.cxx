#include "vtkShapeTransform.h"

#include "displacement_cache.h"
#include "locator_buckets.h"
#include "point_set_paths.h"
#include "progress.h"
#include "spline_field.h"

#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPoints.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>

#include <algorithm>
#include <cmath>
#include <vector>

vtkObjectFactoryNewMacro(vtkShapeTransform);

namespace
{
namespace core = animation::core;

// The coordinates of a single-precision point set as one array of 3 * count floats, or null when
// the set holds another type and must be read point by point.
float* FloatCoordinates(vtkPoints* points)
{
  return points->GetDataType() == VTK_FLOAT ? static_cast<float*>(points->GetVoidPointer(0))
                                            : nullptr;
}

// Point i of a set, rounded to single precision as the field is evaluated at it.
void ReadPoint(vtkPoints* points, vtkIdType i, float x[3])
{
  double p[3];
  points->GetPoint(i, p);
  std::copy(p, p + 3, x);
}
}

vtkShapeTransform::vtkShapeTransform()
  : Cache(new core::displacement_cache<float>)
  , Displacements(vtkPoints::New())
  , Jacobians(vtkFloatArray::New())
  , NormalTerms(vtkFloatArray::New())
  , Math(vtkMath::New())
{
  this->Jacobians->SetNumberOfComponents(9);
}

vtkShapeTransform::~vtkShapeTransform()
{
  // The arrays are views of the cache, which goes with the transform.
  this->Displacements->GetData()->Initialize();
  this->Jacobians->Initialize();
  this->Math->Delete();
  this->Displacements->Delete();
  this->Jacobians->Delete();
  this->NormalTerms->Delete();
  this->DisplacementsCached = false;
  this->SplineSet = false;
}

void vtkShapeTransform::SetSpline(float radius,
                                  vtkPoints* pointArray,
                                  float* splineCoeffX,
                                  float* splineCoeffY,
                                  float* splineCoeffZ,
                                  int* unList,
                                  vtkPointLocator* tree,
                                  core::basis_kernel kernel)
{
  this->Radius = radius;
  this->PointArray = pointArray;
  this->SplineCoeffX = splineCoeffX;
  this->SplineCoeffY = splineCoeffY;
  this->SplineCoeffZ = splineCoeffZ;
  this->UnList = unList;
  this->Tree = tree;
  this->Kernel = kernel;
  this->LargestMoveBeyondSupports = 0.0;
  this->SplineSet = true;
  this->DisplacementsCached = false;
  this->Displacements->Delete();
  this->Displacements = vtkPoints::New();
  this->Jacobians->Initialize();
  this->Jacobians->SetNumberOfComponents(9);
}

void vtkShapeTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  this->Update();

  if (!this->SplineSet)
  {
    outPts->InsertPoints(outPts->GetNumberOfPoints(), n, 0, inPts);
    return;
  }
  if (this->HoldsDisplacementsOf(inPts))
  {
    this->BlendDisplacements(inPts, outPts);
    return;
  }
  this->ComputeDisplacements(inPts, outPts, false);
}

bool vtkShapeTransform::HoldsDisplacementsOf(vtkPoints* points) const
{
  return this->DisplacementsCached && points == this->CachedPoints &&
         points->GetMTime() == this->CachedPointsTime &&
         this->Displacements->GetNumberOfPoints() == points->GetNumberOfPoints();
}

// The mesh points are evaluated independently, each from its own neighbours in the locator's
// order, on the threads of vtkSMPTools; the cache is rounded to float from the double sum, and the
// output point from x - BlendFactor * s in double, whatever thread computes it.
void vtkShapeTransform::ComputeDisplacements(vtkPoints* inPts,
                                             vtkPoints* outPts,
                                             bool withJacobians)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  const double blend = this->BlendFactor;
  const core::spline_field field = { this->Radius,
                                     this->PointArray,
                                     FloatCoordinates(this->PointArray),
                                     { this->SplineCoeffX, this->SplineCoeffY, this->SplineCoeffZ },
                                     this->UnList,
                                     this->Kernel };

  const vtkIdType start = animation::AppendTuples(outPts->GetData(), n);
  outPts->Modified();
  float* out = FloatCoordinates(outPts);
  const core::locator_buckets neighbours(this->Tree);
  // Output point sets of another type are written afterwards, on this thread.
  std::vector<float> moved(out ? 0 : 3 * n);
  float* written = out ? out + 3 * start : moved.data();

  progress_stage filling("Computing the displacements of the mesh points", n);
  animation::fixed::progress_line_sink line;
  // The squared distances of the neighbours the query finds, beside their ids.
  vtkSMPThreadLocal<std::vector<double>> distances;
  // The largest |s| of the points with no control point within R, on each thread.
  vtkSMPThreadLocal<double> beyondSupports(0.0);
  this->Cache->Fill(
    n,
    1,
    withJacobians,
    [inPts](vtkIdType i, double x[3])
    {
      float p[3];
      ReadPoint(inPts, i, p);
      std::copy(p, p + 3, x);
    },
    [&field, &neighbours, &distances, &beyondSupports, radius = this->Radius](
      const double x[3], std::vector<vtkIdType>& ids, double s[3], double jacobian[3][3])
    {
      std::vector<double>& distances2 = distances.Local();
      const vtkIdType count = neighbours.FindPointsWithinRadius(radius, x, ids, distances2);
      core::evaluate_spline_field(field, x, ids.data(), count, s, jacobian, distances2.data());
      if (count == 0)
      {
        double& largest = beyondSupports.Local();
        largest = std::max(largest, std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
      }
    },
    [written, blend](vtkIdType i, const double* x, const double* s)
    {
      for (int c = 0; c < 3; ++c)
      {
        written[3 * i + c] = static_cast<float>(x[c] - blend * s[c]);
      }
    },
    &line);
  this->LargestMoveBeyondSupports = animation::LargestOf(beyondSupports);
  // Displacements and Jacobians show the cache's storage without copying it.
  vtkFloatArray::SafeDownCast(this->Displacements->GetData())
    ->SetArray(this->Cache->Displacement.data(), 3 * n, 1);
  this->Displacements->Modified();
  this->Jacobians->SetArray(this->Cache->Jacobian.data(), this->Cache->Jacobian.size(), 1);
  for (vtkIdType i = 0; !out && i < n; ++i)
  {
    // Through the float overload: handed over as three doubles, the rounding to single
    // precision was dropped by GCC 12 at -O3 for the vectorised components.
    outPts->SetPoint(start + i, &moved[3 * i]);
  }
  this->DisplacementsCached = true;
  this->CachedPoints = inPts;
  this->CachedPointsTime = inPts->GetMTime();
  this->NormalTermsSource = nullptr;
}

void vtkShapeTransform::BlendDisplacements(vtkPoints* inPts, vtkPoints* outPts)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  const float blend = this->BlendFactor;
  const float* cache = static_cast<const float*>(this->Displacements->GetVoidPointer(0));
  const vtkIdType start = animation::AppendTuples(outPts->GetData(), n);
  outPts->Modified();
  float* out = FloatCoordinates(outPts);
  const float* in = FloatCoordinates(inPts);

  if (in && out)
  {
    float* o = out + 3 * start;
    for (vtkIdType j = 0; j < 3 * n; ++j)
    {
      o[j] = in[j] - blend * cache[j];
    }
    return;
  }
  for (vtkIdType i = 0; i < n; ++i)
  {
    float x[3];
    ReadPoint(inPts, i, x);
    const float* d = cache + 3 * i;
    const float moved[3] = { x[0] - blend * d[0], x[1] - blend * d[1], x[2] - blend * d[2] };
    outPts->SetPoint(start + i, moved);
  }
}

void vtkShapeTransform::TransformPointsNormalsVectors(vtkPoints* inPts,
                                                      vtkPoints* outPts,
                                                      vtkDataArray* inNms,
                                                      vtkDataArray* outNms,
                                                      vtkDataArray* vtkNotUsed(inVrs),
                                                      vtkDataArray* vtkNotUsed(outVrs),
                                                      int vtkNotUsed(nOptionalVectors),
                                                      vtkDataArray** vtkNotUsed(inVrsArr),
                                                      vtkDataArray** vtkNotUsed(outVrsArr))
{
  this->Update();

  const bool normals = inNms && outNms;
  const vtkIdType n = inPts->GetNumberOfPoints();
  if (this->SplineSet && normals &&
      !(this->HoldsDisplacementsOf(inPts) && this->Jacobians->GetNumberOfTuples() == n))
  {
    // Normals need the Jacobians too: one pass over the neighbours gives both.
    this->ComputeDisplacements(inPts, outPts, true);
  }
  else if (this->SplineSet)
  {
    this->TransformPoints(inPts, outPts);
  }
  else
  {
    outPts->DeepCopy(inPts);
  }
  if (!normals)
  {
    return;
  }
  if (this->DisplacementsCached &&
      inNms->GetNumberOfTuples() == this->Jacobians->GetNumberOfTuples())
  {
    this->BlendNormals(inNms, outNms);
    return;
  }
  outNms->DeepCopy(inNms);
}

// Normal i is carried by the derivative I - BlendFactor * J(i) of the map at point i, J(i) its
// cached Jacobian, in single precision like the blend of the points. The terms of that normal as
// a polynomial in BlendFactor are formed once for the normals array and the cache, so that each
// frame costs two multiply-adds per component and a renormalisation.
void vtkShapeTransform::BlendNormals(vtkDataArray* inNms, vtkDataArray* outNms)
{
  const vtkIdType n = inNms->GetNumberOfTuples();
  // Normals of another type are read as floats.
  vtkFloatArray* inFloat = vtkFloatArray::FastDownCast(inNms);
  vtkNew<vtkFloatArray> copied;
  if (!inFloat)
  {
    copied->DeepCopy(inNms);
  }
  const float* in = (inFloat ? inFloat : copied.Get())->GetPointer(0);

  if (this->NormalTermsSource != inNms || this->NormalTermsTime != inNms->GetMTime())
  {
    this->NormalTerms->SetNumberOfTuples(9 * n);
    float* planes = this->NormalTerms->GetPointer(0);
    const float* jacobians = this->Jacobians->GetPointer(0);
    for (vtkIdType i = 0; i < n; ++i)
    {
      float terms[9];
      core::normal_terms(jacobians + 9 * i, in + 3 * i, terms);
      for (int k = 0; k < 9; ++k)
      {
        planes[k * n + i] = terms[k];
      }
    }
    this->NormalTermsSource = inNms;
    this->NormalTermsTime = inNms->GetMTime();
  }

  outNms->SetNumberOfComponents(3);
  outNms->SetNumberOfTuples(n);
  vtkFloatArray* outFloat = vtkFloatArray::FastDownCast(outNms);
  if (outFloat && outFloat != inFloat)
  {
    core::blend_normals(
      n, this->NormalTerms->GetPointer(0), this->BlendFactor, in, outFloat->GetPointer(0));
    return;
  }
  std::vector<float> carried(3 * n);
  core::blend_normals(n, this->NormalTerms->GetPointer(0), this->BlendFactor, in, carried.data());
  for (vtkIdType i = 0; i < n; ++i)
  {
    outNms->SetTuple(i, &carried[3 * i]);
  }
}

void vtkShapeTransform::Inverse() {}

void vtkShapeTransform::InternalTransformPoint(const float in[3], float out[3])
{
  std::copy(in, in + 3, out);
}

void vtkShapeTransform::InternalTransformPoint(const double in[3], double out[3])
{
  std::copy(in, in + 3, out);
}

void vtkShapeTransform::InternalTransformDerivative(const float in[3],
                                                    float out[3],
                                                    float derivative[3][3])
{
  this->InternalTransformPoint(in, out);
  vtkMath::Identity3x3(derivative);
}

void vtkShapeTransform::InternalTransformDerivative(const double in[3],
                                                    double out[3],
                                                    double derivative[3][3])
{
  this->InternalTransformPoint(in, out);
  vtkMath::Identity3x3(derivative);
}

vtkAbstractTransform* vtkShapeTransform::MakeTransform()
{
  return vtkShapeTransform::New();
}
