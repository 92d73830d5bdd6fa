// Tests of vtkCompactSplineTransform: every evaluation path against the others and against
// independent computations (central differences, the normals of the deformed surface computed
// afresh, the program's own transform on the same fit), the lazy fit and the cache keys, the
// inverse, the options against a dense solve of the same field, and the error on landmarks that
// give no fit.
#include "vtkCompactSplineTransform.h"
#include "vtkExpressionTransform.h"

#include "dense_solve.h"
#include "fit.h"
#include "trace_capture.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <vector>

namespace
{
using Point = std::array<double, 3>;

// The smooth motion that the landmarks describe: target = source + Motion(source).
Point Motion(const Point& p)
{
  return { 0.05 * std::sin(2.0 * p[1]), 0.04 * std::cos(2.0 * p[2]), 0.05 * std::sin(3.0 * p[0]) };
}

// Landmarks on and inside the unit sphere: a Fibonacci lattice of count points on the sphere and
// the same lattice at radius 0.6, so that every point of the unit ball has landmarks within 0.5.
void MakeLandmarks(int count, vtkPoints* source, vtkPoints* target)
{
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (double shell : { 1.0, 0.6 })
  {
    for (int i = 0; i < count; ++i)
    {
      const double z = 1.0 - (2.0 * i + 1.0) / count;
      const double rho = std::sqrt(1.0 - z * z);
      const Point p = { shell * rho * std::cos(golden * i),
                        shell * rho * std::sin(golden * i),
                        shell * z };
      const Point m = Motion(p);
      source->InsertNextPoint(p.data());
      target->InsertNextPoint(p[0] + m[0], p[1] + m[1], p[2] + m[2]);
    }
  }
}

// count random points in the ball of radius 0.95, in double precision.
vtkSmartPointer<vtkPoints> RandomPoints(int count, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> coordinate(-0.95, 0.95);
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataTypeToDouble();
  while (points->GetNumberOfPoints() < count)
  {
    const Point p = { coordinate(random), coordinate(random), coordinate(random) };
    if (vtkMath::Norm(p.data()) < 0.95)
    {
      points->InsertNextPoint(p.data());
    }
  }
  return points;
}

Point PointOf(vtkPoints* points, vtkIdType i)
{
  Point p;
  points->GetPoint(i, p.data());
  return p;
}

class CompactSplineTransformTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    MakeLandmarks(300, this->Source, this->Target);
    this->Transform->SetSourceLandmarks(this->Source);
    this->Transform->SetTargetLandmarks(this->Target);
  }

  // The smallest distance from p to a source landmark.
  double NearestLandmark(const Point& p)
  {
    double nearest = VTK_DOUBLE_MAX;
    for (vtkIdType k = 0; k < this->Source->GetNumberOfPoints(); ++k)
    {
      const Point q = PointOf(this->Source, k);
      nearest = std::min(nearest, std::sqrt(vtkMath::Distance2BetweenPoints(p.data(), q.data())));
    }
    return nearest;
  }

  // The smallest distance from p to one of points.
  static double NearestLandmarkOf(const std::vector<DensePoint>& points, const Point& p)
  {
    double nearest = VTK_DOUBLE_MAX;
    for (const DensePoint& q : points)
    {
      nearest = std::min(nearest, std::sqrt(vtkMath::Distance2BetweenPoints(p.data(), q.data())));
    }
    return nearest;
  }

  vtkNew<vtkPoints> Source;
  vtkNew<vtkPoints> Target;
  vtkNew<vtkCompactSplineTransform> Transform;
};
}

TEST_F(CompactSplineTransformTest, LandmarksLandOnTheirTargetsAtFullBlend)
{
  ASSERT_TRUE(this->Transform->IsFitted());
  EXPECT_EQ(0.5, this->Transform->GetSupportRadius());
  EXPECT_EQ(1.0, this->Transform->GetBlendFactor());
  for (vtkIdType k = 0; k < this->Source->GetNumberOfPoints(); ++k)
  {
    const Point p = PointOf(this->Source, k);
    const Point q = PointOf(this->Target, k);
    Point moved;
    this->Transform->TransformPoint(p.data(), moved.data());
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(q[c], moved[c], 2e-5) << "landmark " << k;
    }
  }
  // Half way, half the motion.
  this->Transform->SetBlendFactor(0.5);
  const Point p = PointOf(this->Source, 7);
  const Point q = PointOf(this->Target, 7);
  Point moved;
  this->Transform->TransformPoint(p.data(), moved.data());
  for (int c = 0; c < 3; ++c)
  {
    EXPECT_NEAR(0.5 * (p[c] + q[c]), moved[c], 2e-5);
  }
}

// Every path goes through one evaluation: single points (double and float), derivatives and the
// bulk paths give the same numbers to the last bit.
TEST_F(CompactSplineTransformTest, SinglePointsEqualTheBulkEvaluation)
{
  this->Transform->SetBlendFactor(0.7);
  auto in = RandomPoints(2000, 1);
  vtkNew<vtkPoints> bulk;
  bulk->SetDataTypeToDouble();
  this->Transform->TransformPoints(in, bulk);
  vtkNew<vtkPoints> again;
  again->SetDataTypeToDouble();
  this->Transform->TransformPoints(in, again); // from the cache
  ASSERT_EQ(in->GetNumberOfPoints(), bulk->GetNumberOfPoints());
  int moved = 0;
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    const Point x = PointOf(in, i);
    Point single;
    this->Transform->TransformPoint(x.data(), single.data());
    Point withDerivative;
    double derivative[3][3];
    this->Transform->InternalTransformDerivative(x.data(), withDerivative.data(), derivative);
    const Point b = PointOf(bulk, i);
    EXPECT_EQ(single, b) << "point " << i;
    EXPECT_EQ(withDerivative, b) << "point " << i;
    EXPECT_EQ(PointOf(again, i), b) << "point " << i;
    moved += single != x;
  }
  // Only points near the centre of the ball have no landmark within reach.
  EXPECT_GT(moved, in->GetNumberOfPoints() * 99 / 100);

  // Float points: the float overload rounds the same double result.
  vtkNew<vtkPoints> inFloat;
  inFloat->DeepCopy(in);
  inFloat->SetDataTypeToFloat();
  inFloat->DeepCopy(in);
  vtkNew<vtkPoints> bulkFloat;
  this->Transform->TransformPoints(inFloat, bulkFloat);
  for (vtkIdType i = 0; i < 100; ++i)
  {
    float x[3];
    float single[3];
    const Point p = PointOf(inFloat, i);
    for (int c = 0; c < 3; ++c)
    {
      x[c] = static_cast<float>(p[c]);
    }
    this->Transform->TransformPoint(x, single);
    const Point b = PointOf(bulkFloat, i);
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_EQ(static_cast<double>(single[c]), b[c]) << "point " << i;
    }
  }
}

// The analytic Jacobian against central differences of the point path, away from the cusps at
// the landmarks; vectors are carried by the same derivative.
TEST_F(CompactSplineTransformTest, DerivativeMatchesCentralDifferences)
{
  // The quadratic function's Jacobian, then Wendland's.
  for (const bool wendland : { false, true })
  {
    if (wendland)
    {
      this->Transform->SetKernelToWendland();
    }
    this->Transform->SetBlendFactor(0.8);
    this->Transform->Update(); // the Internal methods evaluate the fit as it stands
    auto in = RandomPoints(300, 2);
    const double h = 1e-6;
    int compared = 0;
    vtkNew<vtkDoubleArray> vectors;
    vectors->SetNumberOfComponents(3);
    vtkNew<vtkPoints> used;
    used->SetDataTypeToDouble();
    std::vector<std::array<double, 9>> derivatives;
    for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
    {
      const Point x = PointOf(in, i);
      if (this->NearestLandmark(x) < 1e-3)
      {
        continue;
      }
      double derivative[3][3];
      Point y;
      this->Transform->InternalTransformDerivative(x.data(), y.data(), derivative);
      for (int b = 0; b < 3; ++b)
      {
        Point forward = x;
        Point backward = x;
        forward[b] += h;
        backward[b] -= h;
        Point yf;
        Point yb;
        this->Transform->TransformPoint(forward.data(), yf.data());
        this->Transform->TransformPoint(backward.data(), yb.data());
        for (int a = 0; a < 3; ++a)
        {
          EXPECT_NEAR((yf[a] - yb[a]) / (2.0 * h), derivative[a][b], 1e-6)
            << "point " << i << " d" << a << "/d" << b << (wendland ? " wendland" : "");
        }
      }
      used->InsertNextPoint(x.data());
      vectors->InsertNextTuple3(1.0, -2.0, 0.5);
      derivatives.push_back({ derivative[0][0],
                              derivative[0][1],
                              derivative[0][2],
                              derivative[1][0],
                              derivative[1][1],
                              derivative[1][2],
                              derivative[2][0],
                              derivative[2][1],
                              derivative[2][2] });
      ++compared;
    }
    EXPECT_GT(compared, 250);

    vtkNew<vtkPoints> out;
    vtkNew<vtkDoubleArray> outVectors;
    outVectors->SetNumberOfComponents(3);
    this->Transform->TransformPointsNormalsVectors(
      used, out, nullptr, nullptr, vectors, outVectors);
    ASSERT_EQ(used->GetNumberOfPoints(), outVectors->GetNumberOfTuples());
    for (vtkIdType i = 0; i < used->GetNumberOfPoints(); ++i)
    {
      const auto& d = derivatives[i];
      const double v[3] = { 1.0, -2.0, 0.5 };
      for (int a = 0; a < 3; ++a)
      {
        const double expected = d[3 * a] * v[0] + d[3 * a + 1] * v[1] + d[3 * a + 2] * v[2];
        EXPECT_NEAR(expected, outVectors->GetComponent(i, a), 1e-12) << "vector " << i;
      }
    }
  }
}

TEST_F(CompactSplineTransformTest, InverseUndoesTheWarp)
{
  auto in = RandomPoints(200, 3);
  this->Transform->SetInverseTolerance(1e-10); // reaches the inverse through its deep copy
  vtkAbstractTransform* inverse = this->Transform->GetInverse();
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    const Point x = PointOf(in, i);
    Point y;
    Point back;
    this->Transform->TransformPoint(x.data(), y.data());
    inverse->TransformPoint(y.data(), back.data());
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(x[c], back[c], 1e-9) << "point " << i;
    }
  }
  // The inverse follows the transform: a new blend factor reaches it.
  this->Transform->SetBlendFactor(0.25);
  const Point x = PointOf(in, 0);
  Point y;
  Point back;
  this->Transform->TransformPoint(x.data(), y.data());
  inverse->TransformPoint(y.data(), back.data());
  EXPECT_NEAR(x[0], back[0], 1e-9);
}

// The normals the transform gives a fine sphere, against the normals of the deformed surface
// computed afresh from its triangles.
TEST_F(CompactSplineTransformTest, NormalsMatchThoseOfTheDeformedSurface)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetRadius(0.9);
  sphere->SetThetaResolution(300);
  sphere->SetPhiResolution(300);
  sphere->Update();
  vtkNew<vtkTransformPolyDataFilter> warp;
  warp->SetInputConnection(sphere->GetOutputPort());
  warp->SetTransform(this->Transform);
  warp->Update();
  vtkPolyData* deformed = warp->GetOutput();
  vtkDataArray* carried = deformed->GetPointData()->GetNormals();
  ASSERT_NE(nullptr, carried);

  vtkNew<vtkPolyData> bare;
  bare->CopyStructure(deformed);
  vtkNew<vtkPolyDataNormals> afresh;
  afresh->SetInputData(bare);
  afresh->SplittingOff();
  afresh->ConsistencyOff();
  afresh->Update();
  vtkDataArray* reference = afresh->GetOutput()->GetPointData()->GetNormals();
  ASSERT_EQ(carried->GetNumberOfTuples(), reference->GetNumberOfTuples());

  // How far the normals turned, so that a pass-through would fail.
  vtkDataArray* original = sphere->GetOutput()->GetPointData()->GetNormals();
  double worst = 1.0;
  double sum = 0.0;
  double turned = 0.0;
  const vtkIdType n = carried->GetNumberOfTuples();
  for (vtkIdType i = 0; i < n; ++i)
  {
    double a[3];
    double b[3];
    double o[3];
    carried->GetTuple(i, a);
    reference->GetTuple(i, b);
    original->GetTuple(i, o);
    EXPECT_NEAR(1.0, vtkMath::Norm(a), 1e-6);
    const double agreement = vtkMath::Dot(a, b);
    worst = std::min(worst, agreement);
    sum += agreement;
    turned = std::max(turned, std::acos(std::min(1.0, vtkMath::Dot(a, o))));
  }
  // Mean deviation below 0.1 degree, none above 2 degrees (the cusps at the landmarks and the
  // poles of the sphere's tessellation), while the deformation turns normals by several degrees.
  EXPECT_GT(sum / n, std::cos(vtkMath::RadiansFromDegrees(0.1)));
  EXPECT_GT(worst, std::cos(vtkMath::RadiansFromDegrees(2.0)));
  EXPECT_GT(turned, vtkMath::RadiansFromDegrees(5.0));
}

// The fit and the field are the program's: the program's transform, given the coefficients of
// vtkMatrixSolver on the same control points, caches the same displacements, to the precision of
// a single-precision fit (this transform fits relative to the landmarks' centre, the program on
// the raw coordinates).
TEST_F(CompactSplineTransformTest, FieldIsTheProgramsField)
{
  vtkNew<vtkPoints> controls;
  controls->SetDataTypeToFloat();
  controls->DeepCopy(this->Source);
  vtkNew<vtkPolyData> set;
  set->SetPoints(controls);
  vtkNew<vtkPointLocator> tree;
  tree->SetDataSet(set);
  tree->BuildLocator();
  const int n = static_cast<int>(controls->GetNumberOfPoints());
  int max = 0;
  std::vector<int> list;
  ASSERT_TRUE(animation::core::order_points(controls, tree, n, 0.5f, list, max, nullptr).Ok());
  std::vector<int> unlist(n);
  for (int k = 0; k < n; ++k)
  {
    unlist[list[k]] = k;
  }
  std::vector<float> b[3] = { std::vector<float>(n), std::vector<float>(n), std::vector<float>(n) };
  float* const values[3] = { b[0].data(), b[1].data(), b[2].data() };
  animation::core::list_order_differences(
    static_cast<const float*>(this->Source->GetVoidPointer(0)),
    static_cast<const float*>(this->Target->GetVoidPointer(0)),
    list.data(),
    n,
    values);
  vtkNew<vtkMatrixSolver> solver;
  solver->SetPointArray(controls);
  solver->SetList(list.data());
  solver->SetMax(max);
  solver->SetRadius(0.5f);
  solver->SetBX(b[0].data());
  solver->SetBY(b[1].data());
  solver->SetBZ(b[2].data());
  testing::internal::CaptureStdout();
  solver->Solve();
  testing::internal::GetCapturedStdout();

  vtkNew<vtkShapeTransform> program;
  program->SetSpline(0.5f,
                     controls,
                     solver->GetSplineCoeffX(),
                     solver->GetSplineCoeffY(),
                     solver->GetSplineCoeffZ(),
                     unlist.data(),
                     tree);
  program->BlendFactor = 1.0f;
  auto in = RandomPoints(500, 4);
  in->SetDataTypeToFloat();
  in->DeepCopy(RandomPoints(500, 4));
  vtkNew<vtkPoints> expected;
  program->TransformPoints(in, expected);
  vtkNew<vtkPoints> actual;
  actual->SetDataTypeToDouble();
  this->Transform->TransformPoints(in, actual);
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    const Point x = PointOf(in, i);
    const Point d = PointOf(program->GetDisplacements(), i);
    const Point y = PointOf(actual, i);
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(d[c], x[c] - y[c], 1e-6) << "point " << i;
    }
  }
}

// The fit is redone when the landmarks or the radius change, and the cache when the input
// points change; a deep copy warps alike.
TEST_F(CompactSplineTransformTest, FitAndCacheFollowModifications)
{
  auto in = RandomPoints(50, 5);
  auto apply = [&in](vtkAbstractTransform* transform)
  {
    auto out = vtkSmartPointer<vtkPoints>::New();
    out->SetDataTypeToDouble();
    transform->TransformPoints(in, out);
    return out;
  };
  auto before = apply(this->Transform);

  // The same point set object, modified in place: the cache is refilled.
  const Point p = PointOf(in, 3);
  in->SetPoint(3, p[0] + 0.01, p[1], p[2]);
  in->Modified();
  auto moved = apply(this->Transform);
  Point single;
  this->Transform->TransformPoint(PointOf(in, 3).data(), single.data());
  EXPECT_EQ(single, PointOf(moved, 3));
  EXPECT_NE(PointOf(before, 3), PointOf(moved, 3));

  // A modified landmark set refits.
  const Point t = PointOf(this->Target, 0);
  this->Target->SetPoint(0, t[0] + 0.1, t[1], t[2]);
  this->Target->Modified();
  Point landed;
  this->Transform->TransformPoint(PointOf(this->Source, 0).data(), landed.data());
  EXPECT_NEAR(t[0] + 0.1, landed[0], 2e-5);
  auto refitted = apply(this->Transform);

  // A deep copy warps alike and keeps its settings when the original's change.
  vtkNew<vtkCompactSplineTransform> copy;
  copy->DeepCopy(this->Transform);
  this->Transform->SetSupportRadius(0.45);
  auto narrower = apply(this->Transform);
  auto copied = apply(copy);
  EXPECT_EQ(0.5, copy->GetSupportRadius());
  // The original followed its moved target by an update of its fit, the copy fitted whole: they
  // agree to the rounding of the refined coefficients.
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(PointOf(refitted, i)[c], PointOf(copied, i)[c], 1e-13) << "point " << i;
    }
  }
  EXPECT_NE(PointOf(refitted, 10), PointOf(narrower, 10));

  std::ostringstream printed;
  copy->Print(printed);
  EXPECT_NE(printed.str().find("SupportRadius: 0.5"), std::string::npos) << printed.str();
  vtkSmartPointer<vtkAbstractTransform> made;
  made.TakeReference(copy->MakeTransform());
  EXPECT_TRUE(made->IsA("vtkCompactSplineTransform"));

  // A copy of an inverted transform is inverted, and a later copy of the forward one is not.
  this->Transform->Inverse();
  copy->DeepCopy(this->Transform);
  EXPECT_EQ(1, copy->GetInverseFlag());
  this->Transform->Inverse();
  copy->DeepCopy(this->Transform);
  EXPECT_EQ(0, copy->GetInverseFlag());
}

// Both toolkit transforms append to outputs that already hold points and normals, keeping them.
TEST_F(CompactSplineTransformTest, AppendingKeepsWhatTheOutputsHold)
{
  vtkNew<vtkExpressionTransform> blend;
  blend->AddExpression("motion", this->Source, this->Target);
  blend->SetWeight("motion", 1.0);
  const vtkSmartPointer<vtkPoints> in = RandomPoints(200, 11);
  vtkNew<vtkDoubleArray> normals;
  normals->SetNumberOfComponents(3);
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    normals->InsertNextTuple3(0.0, 0.6, 0.8);
  }
  vtkLandmarkSplineTransform* const warps[] = { this->Transform, blend };
  for (vtkLandmarkSplineTransform* warp : warps)
  {
    vtkNew<vtkPoints> fresh;
    vtkNew<vtkDoubleArray> freshNormals;
    freshNormals->SetNumberOfComponents(3);
    warp->TransformPointsNormalsVectors(in, fresh, normals, freshNormals, nullptr, nullptr);
    vtkNew<vtkPoints> out;
    out->InsertNextPoint(7.0, 8.0, 9.0);
    vtkNew<vtkDoubleArray> outNormals;
    outNormals->SetNumberOfComponents(3);
    outNormals->InsertNextTuple3(1.0, 0.0, 0.0);
    warp->TransformPointsNormalsVectors(in, out, normals, outNormals, nullptr, nullptr);
    ASSERT_EQ(in->GetNumberOfPoints() + 1, out->GetNumberOfPoints()) << warp->GetClassName();
    ASSERT_EQ(in->GetNumberOfPoints() + 1, outNormals->GetNumberOfTuples());
    EXPECT_EQ(Point({ 7.0, 8.0, 9.0 }), PointOf(out, 0)) << warp->GetClassName();
    EXPECT_EQ(1.0, outNormals->GetComponent(0, 0)) << warp->GetClassName();
    for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
    {
      EXPECT_EQ(PointOf(fresh, i), PointOf(out, i + 1)) << warp->GetClassName() << " point " << i;
      for (int c = 0; c < 3; ++c)
      {
        EXPECT_EQ(freshNormals->GetComponent(i, c), outNormals->GetComponent(i + 1, c));
      }
    }
  }
}

TEST_F(CompactSplineTransformTest, DegenerateLandmarksRaiseAnErrorAndLeaveTheIdentity)
{
  TraceCapture capture;
  vtkNew<vtkPoints> planar;
  for (int i = 0; i < 20; ++i)
  {
    planar->InsertNextPoint(0.1 * (i % 5), 0.1 * (i / 5), 0.0);
  }
  const Point x = { 0.21, 0.13, 0.0 };
  auto identity = [&]()
  {
    Point y;
    this->Transform->TransformPoint(x.data(), y.data());
    EXPECT_EQ(x, y);
    EXPECT_FALSE(this->Transform->IsFitted());
  };

  this->Transform->SetSourceLandmarks(planar);
  identity();
  EXPECT_NE(capture.Errors().find("20 source landmarks but 600 target landmarks"),
            std::string::npos)
    << capture.Errors();

  // Landmarks in one plane fit the affine functions of the plane.
  capture.Clear();
  vtkNew<vtkPoints> shifted;
  shifted->DeepCopy(planar);
  this->Transform->SetTargetLandmarks(shifted);
  EXPECT_TRUE(this->Transform->IsFitted());
  EXPECT_EQ(capture.Errors(), "");

  this->Transform->SetSmoothing(-0.5);
  identity();
  EXPECT_NE(capture.Errors().find("the smoothing -0.5 is not"), std::string::npos)
    << capture.Errors();
  this->Transform->SetSmoothing(0.0);

  capture.Clear();
  planar->SetPoint(19, 0.3, 0.2, 0.4);
  planar->SetPoint(18, 0.3, 0.2, 0.4);
  planar->Modified();
  // A failed fit says why through the error trace only, never on standard output.
  testing::internal::CaptureStdout();
  identity();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_NE(capture.Errors().find("landmarks 18 and 19 share the position (0.3, 0.2, 0.4)"),
            std::string::npos)
    << capture.Errors();
}

// The fit is relative to the landmarks: the same unit scene far from the origin lands its
// landmarks on their targets as closely as at the origin.
// Both toolkit transforms fit relative to the landmarks' centre and extent, so a scene far from
// the origin lands its landmarks as closely as at the origin: single points, and the expression
// transform's bulk path on a double-precision point set.
TEST_F(CompactSplineTransformTest, TranslatedLandmarksKeepTheirPrecision)
{
  for (double offset : { 0.0, 1e4, 1e6 })
  {
    vtkNew<vtkPoints> source;
    vtkNew<vtkPoints> target;
    source->SetDataTypeToDouble();
    target->SetDataTypeToDouble();
    for (vtkIdType k = 0; k < this->Source->GetNumberOfPoints(); ++k)
    {
      const Point p = PointOf(this->Source, k);
      const Point q = PointOf(this->Target, k);
      source->InsertNextPoint(p[0] + offset, p[1] - offset, p[2] + offset);
      target->InsertNextPoint(q[0] + offset, q[1] - offset, q[2] + offset);
    }
    vtkNew<vtkCompactSplineTransform> transform;
    transform->SetSourceLandmarks(source);
    transform->SetTargetLandmarks(target);
    ASSERT_TRUE(transform->IsFitted()) << "offset " << offset;
    vtkNew<vtkExpressionTransform> blend;
    blend->AddExpression("moved", source, target);
    blend->SetWeight("moved", 1.0);
    ASSERT_EQ(blend->Fit(), 1) << "offset " << offset << ": " << blend->GetFitError();
    vtkNew<vtkPoints> blended;
    blended->SetDataTypeToDouble();
    blend->TransformPoints(source, blended);
    double worst[3] = { 0.0, 0.0, 0.0 };
    for (vtkIdType k = 0; k < source->GetNumberOfPoints(); ++k)
    {
      const Point p = PointOf(source, k);
      const Point q = PointOf(target, k);
      Point moved[3];
      transform->TransformPoint(p.data(), moved[0].data());
      blend->TransformPoint(p.data(), moved[1].data());
      moved[2] = PointOf(blended, k);
      for (int t = 0; t < 3; ++t)
      {
        worst[t] =
          std::max(worst[t], std::sqrt(vtkMath::Distance2BetweenPoints(q.data(), moved[t].data())));
      }
    }
    EXPECT_LE(worst[0], 1e-5) << "vtkCompactSplineTransform, offset " << offset;
    EXPECT_LE(worst[1], 1e-5) << "vtkExpressionTransform, offset " << offset;
    EXPECT_LE(worst[2], 1e-5) << "vtkExpressionTransform's point set, offset " << offset;
  }
}

// A point handed over as the landmark set's own tuple (GetPoint(i) without an output argument)
// is read correctly by the evaluation that first refits: the fit does not write through the
// landmark sets.
TEST_F(CompactSplineTransformTest, LandmarkTupleIsReadIntactByTheFirstUseAfterARefit)
{
  for (int refit = 0; refit < 3; ++refit)
  {
    this->Target->SetPoint(0, 0.01 * refit, 0.0, 1.0);
    this->Target->Modified();
    const vtkIdType i = 5 + 40 * refit;
    const Point p = PointOf(this->Source, i);
    const Point q = PointOf(this->Target, i);
    Point moved;
    this->Transform->TransformPoint(this->Source->GetPoint(i), moved.data());
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(q[c], moved[c], 2e-5) << "landmark " << i << " from " << p[c];
    }
  }
}

// A fit whose matrix cannot be held is refused from the estimate made before the ordering, not
// after minutes of ordering and assembly: 1e5 landmarks in a unit cube, each with half of the
// others within the default radius.
TEST(CompactSplineTransformSize, OversizedFitIsRefusedFromTheEstimate)
{
  TraceCapture capture;
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  std::mt19937 random(1);
  std::uniform_real_distribution<double> coordinate(0.0, 1.0);
  for (int i = 0; i < 100000; ++i)
  {
    const Point p = { coordinate(random), coordinate(random), coordinate(random) };
    source->InsertNextPoint(p.data());
    target->InsertNextPoint(p[0] + 0.01, p[1], p[2]);
  }
  vtkNew<vtkCompactSplineTransform> transform;
  transform->SetSourceLandmarks(source);
  transform->SetTargetLandmarks(target);
  EXPECT_FALSE(transform->IsFitted());
  EXPECT_NE(capture.Errors().find("more than its 32-bit offsets address; the SupportRadius 0.5"),
            std::string::npos)
    << capture.Errors();
}

TEST_F(CompactSplineTransformTest, LiftedPatchMovesAllOrOnlyItsNeighbourhoodAsTheOptionsSay)
{
  // The landmarks of the cap above z = 0.8, lifted by 0.1 together, none holding the rest.
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  std::vector<DensePoint> sources, values;
  for (vtkIdType k = 0; k < this->Source->GetNumberOfPoints(); ++k)
  {
    const Point p = PointOf(this->Source, k);
    if (p[2] > 0.8)
    {
      source->InsertNextPoint(p.data());
      target->InsertNextPoint(p[0], p[1], p[2] + 0.1);
      sources.push_back(p);
      values.push_back({ 0.0, 0.0, -0.1 });
    }
  }
  ASSERT_GT(sources.size(), 20u);
  this->Transform->SetSourceLandmarks(source);
  this->Transform->SetTargetLandmarks(target);
  vtkSmartPointer<vtkPoints> points = RandomPoints(2000, 5);

  // With the polynomial part the lift is affine: every point follows it, and the transform says
  // once that points beyond the supports move.
  TraceCapture capture;
  vtkNew<vtkPoints> lifted;
  this->Transform->TransformPoints(points, lifted);
  vtkNew<vtkPoints> again;
  this->Transform->TransformPoints(points, again);
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    EXPECT_NEAR(PointOf(lifted, i)[2], PointOf(points, i)[2] + 0.1, 1e-5) << i;
  }
  const std::string warnings = capture.Errors();
  const std::string warning = "moves points beyond the support of every landmark";
  ASSERT_NE(warnings.find(warning), std::string::npos) << warnings;
  EXPECT_EQ(warnings.find(warning), warnings.rfind(warning)) << warnings;

  // Wendland's function, no polynomial part and a smoothing: the dense solve of that field, and
  // the points beyond every support stay.
  capture.Clear();
  this->Transform->SetKernelToWendland();
  this->Transform->SetPolynomial(false);
  this->Transform->SetSmoothing(0.01);
  DenseSplineDefinition definition;
  definition.Wendland = true;
  definition.Polynomial = false;
  definition.Smoothing = 0.01;
  const DenseSplineField dense(definition, sources, values);
  vtkNew<vtkPoints> local;
  local->SetDataTypeToDouble();
  this->Transform->TransformPoints(points, local);
  int still = 0;
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    const Point x = PointOf(points, i);
    const DensePoint s = dense(x);
    const Point y = PointOf(local, i);
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(y[c], x[c] - s[c], 2e-4) << i;
    }
    if (this->NearestLandmarkOf(sources, x) > 0.5)
    {
      EXPECT_EQ(x, y) << i;
      ++still;
    }
  }
  EXPECT_GT(still, 1000);
  EXPECT_EQ(capture.Errors(), "");
}

// A support radius that single precision cannot hold beside the landmarks'
// extent, far above it or far below their precision, is refused in the same
// words by both transforms, which stay the identity.
TEST(LandmarkSplineTransforms, RadiusBeyondSinglePrecisionIsRefusedByBoth)
{
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  for (int i = 0; i < 8; ++i)
  {
    source->InsertNextPoint(i & 1, (i >> 1) & 1, (i >> 2) & 1);
    target->InsertNextPoint(i & 1, (i >> 1) & 1, 0.1 + ((i >> 2) & 1));
  }
  const double x[3] = { 0.5, 0.5, 0.5 };
  for (const auto& [radius, words] :
       { std::pair<double, const char*>{ 1e39, "is beyond single precision" },
         std::pair<double, const char*>{ 1e-30, "is below the precision of the landmark" } })
  {
    SCOPED_TRACE(radius);
    TraceCapture capture;
    vtkNew<vtkCompactSplineTransform> spline;
    spline->SetSourceLandmarks(source);
    spline->SetTargetLandmarks(target);
    spline->SetSupportRadius(radius);
    double moved[3];
    spline->TransformPoint(x, moved);
    EXPECT_EQ(moved[2], x[2]);
    EXPECT_NE(std::string(spline->GetFitError()).find(words), std::string::npos);

    vtkNew<vtkExpressionTransform> expressions;
    expressions->SetSupportRadius(radius);
    expressions->AddExpression("lift", source, target);
    expressions->SetWeight("lift", 1.0);
    expressions->TransformPoint(x, moved);
    EXPECT_EQ(moved[2], x[2]);
    EXPECT_NE(std::string(expressions->GetFitError()).find(words), std::string::npos)
      << expressions->GetFitError();
    EXPECT_NE(capture.Errors().find(words), std::string::npos);
  }
}
