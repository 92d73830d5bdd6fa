#include "vtkShapeTransform.h"

#include "locator_buckets.h"
#include "progress.h"

#include <vtkDataArray.h>
#include <vtkMath.h>
#include <vtkObjectFactory.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>

#include <cmath>
#include <vector>

vtkObjectFactoryNewMacro(vtkShapeTransform);

namespace
{
// The coordinates of a single-precision point set as one array of 3 * count floats, or null when
// the set holds another type and must be read point by point.
float* FloatCoordinates(vtkPoints* points)
{
  return points->GetDataType() == VTK_FLOAT ? static_cast<float*>(points->GetVoidPointer(0))
                                            : nullptr;
}

// Lengthens a point set by count points, keeping the points it holds, and returns the id of the
// first new point. The new points are left unwritten.
vtkIdType AppendPoints(vtkPoints* points, vtkIdType count)
{
  const vtkIdType start = points->GetNumberOfPoints();
  if (start > 0)
  {
    points->Resize(start + count);
  }
  points->SetNumberOfPoints(start + count);
  return start;
}

// Point i of a set, rounded to single precision as the field is evaluated at it.
void ReadPoint(vtkPoints* points, const float* coordinates, vtkIdType i, float x[3])
{
  if (coordinates)
  {
    x[0] = coordinates[3 * i];
    x[1] = coordinates[3 * i + 1];
    x[2] = coordinates[3 * i + 2];
    return;
  }
  double p[3];
  points->GetPoint(i, p);
  x[0] = static_cast<float>(p[0]);
  x[1] = static_cast<float>(p[1]);
  x[2] = static_cast<float>(p[2]);
}

// Point i of points becomes x; coordinates is its float array, or null.
void WritePoint(vtkPoints* points, float* coordinates, vtkIdType i, const float x[3])
{
  if (coordinates)
  {
    coordinates[3 * i] = x[0];
    coordinates[3 * i + 1] = x[1];
    coordinates[3 * i + 2] = x[2];
    return;
  }
  // Through the float overload: handed over as three doubles, the rounding of x to single
  // precision was dropped by GCC 12 at -O3 for the vectorised components.
  points->SetPoint(i, x);
}

// Control point k as the locator sees it, in double precision; read directly from the
// coordinates of a single-precision point set, without a virtual call per point.
void ReadControlPoint(vtkPoints* points, const float* coordinates, vtkIdType k, double p[3])
{
  if (coordinates)
  {
    p[0] = coordinates[3 * k];
    p[1] = coordinates[3 * k + 1];
    p[2] = coordinates[3 * k + 2];
    return;
  }
  points->GetPoint(k, p);
}

// The polynomial part c0 + c1 x + c2 y + c3 z of one coordinate; the coefficients follow the nc
// weights.
double Polynomial(const float* coeff, vtkIdType nc, const float x[3])
{
  return static_cast<double>(x[0]) * coeff[nc + 1] + static_cast<double>(x[1]) * coeff[nc + 2] +
         static_cast<double>(x[2]) * coeff[nc + 3] + coeff[nc];
}
}

vtkShapeTransform::vtkShapeTransform()
  : BlendFactor(0.0f)
  , Radius(0.0f)
  , PointArray(nullptr)
  , Displacements(vtkPoints::New())
  , DisplacementsCached(false)
  , SplineSet(false)
  , SplineCoeffX(nullptr)
  , SplineCoeffY(nullptr)
  , SplineCoeffZ(nullptr)
  , UnList(nullptr)
  , Tree(nullptr)
  , Math(vtkMath::New())
{
}

vtkShapeTransform::~vtkShapeTransform()
{
  this->Math->Delete();
  this->Displacements->Delete();
  this->DisplacementsCached = false;
  this->SplineSet = false;
}

void vtkShapeTransform::SetSpline(float radius,
                                  vtkPoints* pointArray,
                                  float* splineCoeffX,
                                  float* splineCoeffY,
                                  float* splineCoeffZ,
                                  int* unList,
                                  vtkPointLocator* tree)
{
  this->Radius = radius;
  this->PointArray = pointArray;
  this->SplineCoeffX = splineCoeffX;
  this->SplineCoeffY = splineCoeffY;
  this->SplineCoeffZ = splineCoeffZ;
  this->UnList = unList;
  this->Tree = tree;
  this->SplineSet = true;
  this->DisplacementsCached = false;
  this->Displacements->Delete();
  this->Displacements = vtkPoints::New();
}

void vtkShapeTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  this->Update();

  if (!this->SplineSet)
  {
    const vtkIdType start = outPts->GetNumberOfPoints();
    outPts->InsertPoints(start, n, 0, inPts);
    return;
  }
  if (this->DisplacementsCached && this->Displacements->GetNumberOfPoints() == n)
  {
    this->BlendDisplacements(inPts, outPts);
    return;
  }
  this->ComputeDisplacements(inPts, outPts);
}

// s(x) is accumulated in double precision over the control points within Radius of x, in the
// order in which the locator returns them; the query returns only points with |x - p| <= Radius,
// so phi needs no support test and a point on the boundary of the support contributes 0.
void vtkShapeTransform::EvaluateField(const float x[3],
                                      const vtkIdType* ids,
                                      vtkIdType count,
                                      const float* controls,
                                      double s[3]) const
{
  s[0] = s[1] = s[2] = 0.0;
  if (count == 0)
  {
    return;
  }
  const double radius = this->Radius;
  const double xd[3] = { x[0], x[1], x[2] };
  for (vtkIdType j = 0; j < count; ++j)
  {
    const vtkIdType k = ids[j];
    double p[3];
    ReadControlPoint(this->PointArray, controls, k, p);
    const double r = std::sqrt(vtkMath::Distance2BetweenPoints(p, xd));
    const double phi = (1.0 - r / radius) * (1.0 - r / radius);
    const int m = this->UnList[k];
    s[0] += phi * this->SplineCoeffX[m];
    s[1] += phi * this->SplineCoeffY[m];
    s[2] += phi * this->SplineCoeffZ[m];
  }
  const vtkIdType nc = this->PointArray->GetNumberOfPoints();
  s[0] += Polynomial(this->SplineCoeffX, nc, x);
  s[1] += Polynomial(this->SplineCoeffY, nc, x);
  s[2] += Polynomial(this->SplineCoeffZ, nc, x);
}

// The mesh points are evaluated independently, each from its own neighbours in the locator's
// order, on the threads of vtkSMPTools; the cache is rounded to float from the double sum, and the
// output point from x - BlendFactor * s in double, whatever thread computes it.
void vtkShapeTransform::ComputeDisplacements(vtkPoints* inPts, vtkPoints* outPts)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  const double blend = this->BlendFactor;

  this->Displacements->SetNumberOfPoints(n);
  float* cache = static_cast<float*>(this->Displacements->GetVoidPointer(0));
  const vtkIdType start = AppendPoints(outPts, n);
  float* out = FloatCoordinates(outPts);
  const float* in = FloatCoordinates(inPts);
  const float* controls = FloatCoordinates(this->PointArray);
  const locator_buckets neighbours(this->Tree);
  // Output point sets of another type are written afterwards, on this thread.
  std::vector<float> moved(out ? 0 : 3 * n);
  float* written = out ? out + 3 * start : moved.data();

  progress_stage filling("Computing the displacements of the mesh points", n);
  vtkSMPThreadLocal<std::vector<vtkIdType>> found;
  auto evaluate = [&](vtkIdType begin, vtkIdType end)
  {
    std::vector<vtkIdType>& ids = found.Local();
    for (vtkIdType i = begin; i < end; ++i)
    {
      float x[3];
      ReadPoint(inPts, in, i, x);
      const double xd[3] = { x[0], x[1], x[2] };
      neighbours.FindPointsWithinRadius(this->Radius, xd, ids);
      double s[3];
      this->EvaluateField(x, ids.data(), static_cast<vtkIdType>(ids.size()), controls, s);
      for (int c = 0; c < 3; ++c)
      {
        cache[3 * i + c] = static_cast<float>(s[c]);
        written[3 * i + c] = static_cast<float>(xd[c] - blend * s[c]);
      }
    }
    progress_advance(end - begin);
  };
  vtkSMPTools::For(0, n, 1024, evaluate);
  if (!out)
  {
    for (vtkIdType i = 0; i < n; ++i)
    {
      WritePoint(outPts, nullptr, start + i, &moved[3 * i]);
    }
  }
  this->DisplacementsCached = true;
}

// One multiply-subtract per coordinate, in single precision, over the cache.
void vtkShapeTransform::BlendDisplacements(vtkPoints* inPts, vtkPoints* outPts)
{
  const vtkIdType n = inPts->GetNumberOfPoints();
  const float blend = this->BlendFactor;
  const float* cache = static_cast<const float*>(this->Displacements->GetVoidPointer(0));
  const vtkIdType start = AppendPoints(outPts, n);
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
    ReadPoint(inPts, in, i, x);
    const float* d = cache + 3 * i;
    const float moved[3] = { x[0] - blend * d[0], x[1] - blend * d[1], x[2] - blend * d[2] };
    WritePoint(outPts, out, start + i, moved);
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

  if (this->SplineSet)
  {
    this->TransformPoints(inPts, outPts);
  }
  else
  {
    outPts->DeepCopy(inPts);
  }
  if (inNms && outNms)
  {
    outNms->DeepCopy(inNms);
  }
}

void vtkShapeTransform::Inverse() {}

void vtkShapeTransform::InternalTransformPoint(const float in[3], float out[3])
{
  out[0] = in[0];
  out[1] = in[1];
  out[2] = in[2];
}

void vtkShapeTransform::InternalTransformPoint(const double in[3], double out[3])
{
  out[0] = in[0];
  out[1] = in[1];
  out[2] = in[2];
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
