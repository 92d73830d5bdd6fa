// Tests of vtkShapeTransform: the state machine of the cache, the worked field values, the
// normals carried by the cached Jacobian, the single-point interface, and the field at random
// points checked against a brute-force evaluation over all control points in double precision.
#include "vtkShapeTransform.h"

#include <vtkCellArray.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkSmartPointer.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkVersionMacros.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace
{
using Point = std::array<double, 3>;

vtkSmartPointer<vtkPoints> MakePoints(const std::vector<Point>& coordinates, int type = VTK_FLOAT)
{
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataType(type);
  for (const Point& p : coordinates)
  {
    points->InsertNextPoint(p.data());
  }
  return points;
}

Point PointOf(vtkPoints* points, vtkIdType i)
{
  Point p;
  points->GetPoint(i, p.data());
  return p;
}

// The field handed to the transform: control points, their locator, coefficient arrays in list
// order and the inverse list order. Kept alive by the fixture for the transform's lifetime.
class ShapeTransformTest : public ::testing::Test
{
protected:
  void SetUp() override { this->Transform = vtkSmartPointer<vtkShapeTransform>::New(); }

  void SetControlPoints(const std::vector<Point>& coordinates)
  {
    this->Controls = MakePoints(coordinates);
    this->ControlSet->SetPoints(this->Controls);
    this->Tree->SetDataSet(this->ControlSet);
    this->Tree->BuildLocator();
    const std::size_t n = coordinates.size();
    this->CoeffX.assign(n + 4, 0.0f);
    this->CoeffY.assign(n + 4, 0.0f);
    this->CoeffZ.assign(n + 4, 0.0f);
    this->UnList.resize(n);
    std::iota(this->UnList.begin(), this->UnList.end(), 0);
  }

  // One control point at the origin, radius 1, weight 0.4, s.x = 0.4 phi + 0.1 + 0.2 x.
  void SetWorkedExample()
  {
    this->SetControlPoints({ { 0.0, 0.0, 0.0 } });
    this->CoeffX = { 0.4f, 0.1f, 0.2f, 0.0f, 0.0f };
    this->Radius = 1.0f;
    this->HandOver();
  }

  void HandOver()
  {
    this->Transform->SetSpline(this->Radius,
                               this->Controls,
                               this->CoeffX.data(),
                               this->CoeffY.data(),
                               this->CoeffZ.data(),
                               this->UnList.data(),
                               this->Tree);
  }

  // nc control points in the unit cube with random weights, polynomial and list order, radius
  // 0.2, handed over to the transform.
  std::vector<Point> SetRandomField(int nc, std::mt19937& random)
  {
    std::uniform_real_distribution<double> inCube(0.0, 1.0);
    std::uniform_real_distribution<float> coefficient(-1.0f, 1.0f);
    std::vector<Point> controls(nc);
    for (Point& p : controls)
    {
      p = { inCube(random), inCube(random), inCube(random) };
    }
    this->SetControlPoints(controls);
    std::shuffle(this->UnList.begin(), this->UnList.end(), random);
    for (int m = 0; m < nc + 4; ++m)
    {
      this->CoeffX[m] = coefficient(random);
      this->CoeffY[m] = coefficient(random);
      this->CoeffZ[m] = coefficient(random);
    }
    this->Radius = 0.2f;
    this->HandOver();
    return controls;
  }

  vtkSmartPointer<vtkPoints> Apply(vtkPoints* in)
  {
    auto out = vtkSmartPointer<vtkPoints>::New();
    this->Transform->TransformPoints(in, out);
    return out;
  }

  vtkSmartPointer<vtkShapeTransform> Transform;
  vtkSmartPointer<vtkPoints> Controls;
  vtkNew<vtkPolyData> ControlSet;
  vtkNew<vtkPointLocator> Tree;
  std::vector<float> CoeffX, CoeffY, CoeffZ;
  std::vector<int> UnList;
  float Radius = 1.0f;
};

// n points in and around the unit cube.
std::vector<Point> RandomMesh(int n, std::mt19937& random)
{
  std::uniform_real_distribution<double> aroundCube(-0.3, 1.3);
  std::vector<Point> mesh(n);
  for (Point& p : mesh)
  {
    p = { aroundCube(random), aroundCube(random), aroundCube(random) };
  }
  return mesh;
}

void ExpectSamePoints(vtkPoints* expected, vtkPoints* actual)
{
  ASSERT_EQ(expected->GetNumberOfPoints(), actual->GetNumberOfPoints());
  for (vtkIdType i = 0; i < expected->GetNumberOfPoints(); ++i)
  {
    const Point e = PointOf(expected, i);
    const Point a = PointOf(actual, i);
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_EQ(e[c], a[c]) << std::hexfloat << e[c] << " " << a[c] << std::defaultfloat
                            << " point " << i << " component " << c;
    }
  }
}

TEST_F(ShapeTransformTest, NewTransformIsEmpty)
{
  EXPECT_FALSE(this->Transform->GetSplineSet());
  EXPECT_FALSE(this->Transform->GetDisplacementsCached());
  EXPECT_EQ(0.0f, this->Transform->BlendFactor);
  EXPECT_EQ(0, this->Transform->GetDisplacements()->GetNumberOfPoints());
}

TEST_F(ShapeTransformTest, PointsPassUnchangedBeforeSplineIsSet)
{
  auto in = MakePoints({ { 0.5, 0.0, 0.0 }, { 1.0, -2.0, 3.25 } });
  this->Transform->BlendFactor = 1.0f;
  ExpectSamePoints(in, this->Apply(in));

  vtkNew<vtkPoints> out;
  this->Transform->TransformPointsNormalsVectors(in, out, nullptr, nullptr, nullptr, nullptr);
  ExpectSamePoints(in, out);
  EXPECT_EQ(0, this->Apply(MakePoints({}))->GetNumberOfPoints());
  EXPECT_FALSE(this->Transform->GetDisplacementsCached());
}

TEST_F(ShapeTransformTest, ZeroBlendLeavesPointsInPlaceAndFillsCache)
{
  this->SetWorkedExample();
  auto in = MakePoints({ { 0.5, 0.0, 0.0 }, { 0.1, 0.2, 0.3 }, { 2.0, 0.0, 0.0 } });
  ExpectSamePoints(in, this->Apply(in));

  ASSERT_TRUE(this->Transform->GetDisplacementsCached());
  vtkPoints* cache = this->Transform->GetDisplacements();
  ASSERT_EQ(3, cache->GetNumberOfPoints());
  EXPECT_FLOAT_EQ(0.3f, static_cast<float>(PointOf(cache, 0)[0]));
  // Beyond the support, the polynomial part alone: 0.1 + 0.2 * 2.
  EXPECT_FLOAT_EQ(0.5f, static_cast<float>(PointOf(cache, 2)[0]));
}

TEST_F(ShapeTransformTest, WorkedExampleMovesNearPointAndFarPointByThePolynomialPart)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 0.5f;
  auto out = this->Apply(MakePoints({ { 0.5, 0.0, 0.0 }, { 2.0, 0.0, 0.0 } }));

  const Point near = PointOf(out, 0);
  EXPECT_FLOAT_EQ(0.35f, static_cast<float>(near[0]));
  EXPECT_EQ(0.0, near[1]);
  EXPECT_EQ(0.0, near[2]);
  // s.x = 0.1 + 0.2 * 2 = 0.5 at (2, 0, 0), beyond the support.
  const Point far = PointOf(out, 1);
  EXPECT_FLOAT_EQ(1.75f, static_cast<float>(far[0]));
  EXPECT_EQ(0.0, far[1]);
  EXPECT_EQ(0.0, far[2]);
  const Point s = PointOf(this->Transform->GetDisplacements(), 0);
  EXPECT_FLOAT_EQ(0.3f, static_cast<float>(s[0]));
  EXPECT_EQ(0.0, s[1]);
  EXPECT_EQ(0.0, s[2]);
}

TEST_F(ShapeTransformTest, FarPointMovesByThePolynomialPartAlone)
{
  this->SetControlPoints({ { 0.0, 0.0, 0.0 }, { 0.3, 0.0, 0.0 } });
  this->CoeffX = { 0.4f, -0.2f, 5.0f, 1.0f, 2.0f, 3.0f };
  this->CoeffY = { 0.1f, 0.7f, -4.0f, 0.5f, 0.5f, 0.5f };
  this->CoeffZ = { -0.3f, 0.2f, 1.5f, -1.0f, 2.0f, -3.0f };
  this->Radius = 0.5f;
  this->HandOver();
  auto in = MakePoints({ { 2.0, 0.0, 0.0 }, { 0.0, -3.0, 1.0 }, { 0.15, 0.0, 0.0 } });
  // The polynomial parts at the two far points, x then y then z.
  const Point polynomial[2] = { { 7.0, -3.0, -0.5 }, { 2.0, -5.0, -7.5 } };

  for (float blend : { 0.0f, 0.5f, 1.0f, -2.0f })
  {
    this->Transform->BlendFactor = blend;
    auto out = this->Apply(in);
    for (vtkIdType i = 0; i < 2; ++i)
    {
      const Point x = PointOf(in, i);
      const Point y = PointOf(out, i);
      for (int c = 0; c < 3; ++c)
      {
        EXPECT_FLOAT_EQ(static_cast<float>(x[c] - blend * polynomial[i][c]),
                        static_cast<float>(y[c]))
          << "far point " << i << " with BlendFactor " << blend;
      }
    }
  }
  EXPECT_FLOAT_EQ(static_cast<float>(std::sqrt(4.0 + 25.0 + 7.5 * 7.5)),
                  static_cast<float>(this->Transform->GetLargestMoveBeyondSupports()));

  // Without a polynomial part, a far point stays where it is.
  this->CoeffX[3] = this->CoeffX[4] = this->CoeffX[5] = this->CoeffX[2] = 0.0f;
  this->CoeffY[3] = this->CoeffY[4] = this->CoeffY[5] = this->CoeffY[2] = 0.0f;
  this->CoeffZ[3] = this->CoeffZ[4] = this->CoeffZ[5] = this->CoeffZ[2] = 0.0f;
  this->HandOver();
  this->Transform->BlendFactor = 1.0f;
  auto out = this->Apply(in);
  EXPECT_EQ(PointOf(in, 0), PointOf(out, 0));
  EXPECT_EQ(PointOf(in, 1), PointOf(out, 1));
  EXPECT_EQ(0.0, this->Transform->GetLargestMoveBeyondSupports());
}

TEST_F(ShapeTransformTest, BlendChangeReusesTheCache)
{
  this->SetWorkedExample();
  auto in = MakePoints({ { 0.5, 0.0, 0.0 } });
  this->Transform->BlendFactor = 0.5f;
  this->Apply(in);

  // Were the field evaluated again, these coefficients would give s.x = 25.2.
  this->CoeffX[0] = 100.0f;
  this->Transform->BlendFactor = 1.0f;
  this->Transform->Modified();
  auto out = this->Apply(in);
  EXPECT_FLOAT_EQ(0.2f, static_cast<float>(PointOf(out, 0)[0]));

  this->Transform->BlendFactor = -1.0f;
  out = this->Apply(in);
  EXPECT_FLOAT_EQ(0.8f, static_cast<float>(PointOf(out, 0)[0]));
}

TEST_F(ShapeTransformTest, SecondSetSplineRecomputes)
{
  this->SetWorkedExample();
  auto in = MakePoints({ { 0.5, 0.0, 0.0 } });
  this->Transform->BlendFactor = 1.0f;
  this->Apply(in);

  this->CoeffX[0] = 0.8f;
  this->HandOver();
  EXPECT_TRUE(this->Transform->GetSplineSet());
  EXPECT_FALSE(this->Transform->GetDisplacementsCached());
  EXPECT_EQ(0, this->Transform->GetDisplacements()->GetNumberOfPoints());

  // s.x = 0.25 * 0.8 + 0.1 + 0.5 * 0.2 = 0.4.
  auto out = this->Apply(in);
  EXPECT_FLOAT_EQ(0.1f, static_cast<float>(PointOf(out, 0)[0]));
  EXPECT_TRUE(this->Transform->GetDisplacementsCached());
}

TEST_F(ShapeTransformTest, PointSetOfDifferentSizeRecomputes)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 1.0f;
  this->Apply(MakePoints({ { 0.5, 0.0, 0.0 } }));

  // The second point lies on the y axis: s.x = 0.25 * 0.4 + 0.1 = 0.2 there.
  auto out = this->Apply(MakePoints({ { 0.5, 0.0, 0.0 }, { 0.0, 0.5, 0.0 } }));
  ASSERT_EQ(2, out->GetNumberOfPoints());
  EXPECT_FLOAT_EQ(0.2f, static_cast<float>(PointOf(out, 0)[0]));
  EXPECT_FLOAT_EQ(-0.2f, static_cast<float>(PointOf(out, 1)[0]));
  EXPECT_FLOAT_EQ(0.5f, static_cast<float>(PointOf(out, 1)[1]));
  EXPECT_EQ(2, this->Transform->GetDisplacements()->GetNumberOfPoints());

  out = this->Apply(MakePoints({}));
  EXPECT_EQ(0, out->GetNumberOfPoints());
  EXPECT_EQ(0, this->Transform->GetDisplacements()->GetNumberOfPoints());
}

// Another point set of the same size has displacements of its own.
TEST_F(ShapeTransformTest, PointSetOfTheSameSizeRecomputes)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 1.0f;
  this->Apply(MakePoints({ { 0.5, 0.0, 0.0 } }));

  // On the y axis s.x = 0.25 * 0.4 + 0.1 = 0.2, as in the test above.
  auto out = this->Apply(MakePoints({ { 0.0, 0.5, 0.0 } }));
  EXPECT_FLOAT_EQ(-0.2f, static_cast<float>(PointOf(out, 0)[0]));
  EXPECT_FLOAT_EQ(0.5f, static_cast<float>(PointOf(out, 0)[1]));
}

TEST_F(ShapeTransformTest, EmptyInputAppendsNothingAndFillsCache)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 1.0f;
  auto out = this->Apply(MakePoints({}));
  EXPECT_EQ(0, out->GetNumberOfPoints());
  EXPECT_TRUE(this->Transform->GetDisplacementsCached());

  out = this->Apply(MakePoints({}));
  EXPECT_EQ(0, out->GetNumberOfPoints());
}

TEST_F(ShapeTransformTest, PointsAreAppendedAfterExistingOutput)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 0.5f;
  auto in = MakePoints({ { 0.5, 0.0, 0.0 }, { 2.0, 0.0, 0.0 } });
  for (int pass = 0; pass < 2; ++pass)
  {
    auto out = MakePoints({ { 9.0, 8.0, 7.0 } });
    this->Transform->TransformPoints(in, out);
    ASSERT_EQ(3, out->GetNumberOfPoints()) << "pass " << pass;
    EXPECT_EQ((Point{ 9.0, 8.0, 7.0 }), PointOf(out, 0));
    EXPECT_FLOAT_EQ(0.35f, static_cast<float>(PointOf(out, 1)[0]));
    EXPECT_FLOAT_EQ(1.75f, static_cast<float>(PointOf(out, 2)[0]));
  }
}

TEST_F(ShapeTransformTest, DoublePointsGiveTheFloatResults)
{
  this->SetWorkedExample();
  const std::vector<Point> coordinates = { { 0.5, 0.0, 0.0 },
                                           { 0.1, -0.2, 0.3 },
                                           { 2.0, 0.0, 0.0 } };
  this->Transform->BlendFactor = 0.5f;
  auto floatFirst = this->Apply(MakePoints(coordinates));
  auto floatLater = this->Apply(MakePoints(coordinates));

  this->HandOver();
  vtkSmartPointer<vtkPoints> doubleOut[2];
  for (auto& out : doubleOut)
  {
    out = vtkSmartPointer<vtkPoints>::New();
    out->SetDataTypeToDouble();
    this->Transform->TransformPoints(MakePoints(coordinates, VTK_DOUBLE), out);
  }
  {
    SCOPED_TRACE("first evaluation");
    ExpectSamePoints(floatFirst, doubleOut[0]);
  }
  {
    SCOPED_TRACE("cached evaluation");
    ExpectSamePoints(floatLater, doubleOut[1]);
  }
}

// With the worked example at BlendFactor 0.5 the Jacobian at (0.5, 0, 0) has the single entry
// ds_x/dx = 0.4 * (-1) + 0.2 = -0.2, so the map's derivative is diag(1.1, 1, 1) and a normal
// (nx, ny, nz) becomes (nx / 1.1, ny, nz), renormalised. At (2, 0, 0), beyond the support, only the
// polynomial part acts: ds_x/dx = 0.2, the derivative is diag(0.9, 1, 1).
TEST_F(ShapeTransformTest, NormalsFollowTheJacobianAndVectorsAreUntouched)
{
  auto in = MakePoints({ { 0.5, 0.0, 0.0 }, { 2.0, 0.0, 0.0 } });
  vtkNew<vtkFloatArray> normals;
  normals->SetNumberOfComponents(3);
  normals->InsertNextTuple3(0.6, 0.8, 0.0);
  normals->InsertNextTuple3(0.6, 0.8, 0.0);
  vtkNew<vtkFloatArray> vectors;
  vectors->SetNumberOfComponents(3);
  vectors->InsertNextTuple3(1.0, 2.0, 3.0);
  vectors->InsertNextTuple3(4.0, 5.0, 6.0);

  // Without a spline; with one; with one whose cache was first filled for the points alone,
  // without the Jacobians that the normals need.
  for (int variant : { 0, 1, 2 })
  {
    const bool splineSet = variant > 0;
    if (splineSet)
    {
      this->SetWorkedExample();
      this->Transform->BlendFactor = 0.5f;
    }
    if (variant == 2)
    {
      vtkNew<vtkPoints> pointsAlone;
      this->Transform->TransformPoints(in, pointsAlone);
    }
    vtkNew<vtkPoints> outPoints;
    vtkNew<vtkFloatArray> outNormals;
    outNormals->SetNumberOfComponents(3);
    vtkNew<vtkFloatArray> outVectors;
    outVectors->SetNumberOfComponents(3);
    this->Transform->TransformPointsNormalsVectors(
      in, outPoints, normals, outNormals, vectors, outVectors);

    ASSERT_EQ(2, outPoints->GetNumberOfPoints());
    const float expectedX = splineSet ? 0.35f : 0.5f;
    EXPECT_FLOAT_EQ(expectedX, static_cast<float>(PointOf(outPoints, 0)[0]));
    ASSERT_EQ(2, outNormals->GetNumberOfTuples());
    const double length = std::hypot(0.6 / 1.1, 0.8);
    const Point moved =
      splineSet ? Point{ 0.6 / 1.1 / length, 0.8 / length, 0.0 } : Point{ 0.6, 0.8, 0.0 };
    const double farLength = std::hypot(0.6 / 0.9, 0.8);
    const Point far =
      splineSet ? Point{ 0.6 / 0.9 / farLength, 0.8 / farLength, 0.0 } : Point{ 0.6, 0.8, 0.0 };
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(moved[c], outNormals->GetComponent(0, c), 1e-6) << c;
      EXPECT_NEAR(far[c], outNormals->GetComponent(1, c), 1e-6) << c;
    }
    EXPECT_EQ(0, outVectors->GetNumberOfTuples());
  }

  // Normals of double precision are carried as their single-precision values are.
  vtkNew<vtkDoubleArray> doubleNormals;
  doubleNormals->DeepCopy(normals);
  vtkNew<vtkFloatArray> fromFloat;
  vtkNew<vtkFloatArray> fromDouble;
  for (auto [given, carried] :
       { std::pair<vtkDataArray*, vtkFloatArray*>{ normals, fromFloat },
         std::pair<vtkDataArray*, vtkFloatArray*>{ doubleNormals, fromDouble } })
  {
    vtkNew<vtkPoints> outPoints;
    this->Transform->TransformPointsNormalsVectors(in, outPoints, given, carried, nullptr, nullptr);
  }
  ASSERT_EQ(2, fromDouble->GetNumberOfTuples());
  for (int c = 0; c < 6; ++c)
  {
    EXPECT_EQ(fromFloat->GetValue(c), fromDouble->GetValue(c)) << c;
  }
}

TEST_F(ShapeTransformTest, FieldMatchesBruteForceEvaluation)
{
  std::mt19937 random(20261209);
  const int nc = 300;
  const std::vector<Point> controls = this->SetRandomField(nc, random);
  const int n = 3000;
  std::vector<Point> mesh = RandomMesh(n, random);
  mesh[0] = controls[17];
  auto in = MakePoints(mesh);
  const float blend = 0.7f;
  this->Transform->BlendFactor = blend;
  auto first = this->Apply(in);
  const float laterBlend = -0.3f;
  this->Transform->BlendFactor = laterBlend;
  auto later = this->Apply(in);
  vtkPoints* cache = this->Transform->GetDisplacements();
  ASSERT_EQ(n, first->GetNumberOfPoints());
  ASSERT_EQ(n, later->GetNumberOfPoints());
  ASSERT_EQ(n, cache->GetNumberOfPoints());

  const double R = this->Radius;
  const std::vector<float>* coeffs[3] = { &this->CoeffX, &this->CoeffY, &this->CoeffZ };
  int moved = 0, unmoved = 0;
  for (vtkIdType i = 0; i < n; ++i)
  {
    const Point x = PointOf(in, i);
    Point s = { 0.0, 0.0, 0.0 };
    bool near = false;
    for (int k = 0; k < nc; ++k)
    {
      const Point p = PointOf(this->Controls, k);
      const double r = std::sqrt((p[0] - x[0]) * (p[0] - x[0]) + (p[1] - x[1]) * (p[1] - x[1]) +
                                 (p[2] - x[2]) * (p[2] - x[2]));
      if (r <= R)
      {
        near = true;
        for (int c = 0; c < 3; ++c)
        {
          s[c] += (1.0 - r / R) * (1.0 - r / R) * (*coeffs[c])[this->UnList[k]];
        }
      }
    }
    // The polynomial part everywhere, inside the supports or not.
    for (int c = 0; c < 3; ++c)
    {
      const std::vector<float>& a = *coeffs[c];
      s[c] += a[nc] + a[nc + 1] * x[0] + a[nc + 2] * x[1] + a[nc + 3] * x[2];
    }
    (near ? moved : unmoved)++;

    const Point d = PointOf(cache, i);
    const Point y = PointOf(first, i);
    const Point z = PointOf(later, i);
    for (int c = 0; c < 3; ++c)
    {
      const double tolerance = 1e-5 * (1.0 + std::abs(s[c]));
      EXPECT_NEAR(s[c], d[c], tolerance) << "displacement of point " << i;
      EXPECT_NEAR(x[c] - blend * s[c], y[c], tolerance) << "first frame, point " << i;
      EXPECT_NEAR(x[c] - laterBlend * s[c], z[c], tolerance) << "later frame, point " << i;
    }
  }
  // Points within and beyond the supports both occur.
  EXPECT_GT(moved, n / 10);
  EXPECT_GT(unmoved, n / 20);
}

TEST_F(ShapeTransformTest, CacheAndOutputAreTheSameOnOneThreadAndOnMany)
{
  // Enough points for several chunks of the threaded loop.
  std::mt19937 random(10);
  this->SetRandomField(500, random);
  auto in = MakePoints(RandomMesh(20000, random));
  this->Transform->BlendFactor = 0.6f;
  vtkSMPTools::Initialize(1);
  auto single = this->Apply(in);
  auto singleCache = vtkSmartPointer<vtkPoints>::New();
  singleCache->DeepCopy(this->Transform->GetDisplacements());
  vtkSMPTools::Initialize(3);
  this->HandOver();
  auto many = this->Apply(in);
  vtkSMPTools::Initialize(0);
  ExpectSamePoints(single, many);
  ExpectSamePoints(singleCache, this->Transform->GetDisplacements());
}

class ShapeTransformPipelineTest : public ShapeTransformTest
{
protected:
  void SetUp() override
  {
    ShapeTransformTest::SetUp();
    this->SetWorkedExample();
    this->Mesh->SetPoints(MakePoints({ { 0.5, 0.0, 0.0 }, { 0.0, 0.5, 0.0 }, { 2.0, 0.0, 0.0 } }));
    vtkNew<vtkCellArray> triangle;
    const vtkIdType ids[3] = { 0, 1, 2 };
    triangle->InsertNextCell(3, ids);
    this->Mesh->SetPolys(triangle);
    this->Filter->SetInputData(this->Mesh);
    this->Filter->SetTransform(this->Transform);
  }

  float OutputX(vtkIdType i)
  {
    return static_cast<float>(PointOf(this->Filter->GetOutput()->GetPoints(), i)[0]);
  }

  vtkNew<vtkPolyData> Mesh;
  vtkNew<vtkTransformPolyDataFilter> Filter;
};

TEST_F(ShapeTransformPipelineTest, FilterFollowsBlendFactorAfterModified)
{
  this->Transform->BlendFactor = 0.5f;
  this->Filter->Update();
  vtkPolyData* output = this->Filter->GetOutput();
  ASSERT_EQ(3, output->GetNumberOfPoints());
  EXPECT_EQ(1, output->GetNumberOfPolys());
  EXPECT_FLOAT_EQ(0.35f, this->OutputX(0));
  EXPECT_FLOAT_EQ(-0.1f, this->OutputX(1));
  EXPECT_FLOAT_EQ(1.75f, this->OutputX(2));

  // Without Modified() the pipeline does not know that the transform changed.
  this->Transform->BlendFactor = 1.0f;
  this->Filter->Update();
  EXPECT_FLOAT_EQ(0.35f, this->OutputX(0));

  this->Transform->Modified();
  this->Filter->Update();
  ASSERT_EQ(3, this->Filter->GetOutput()->GetNumberOfPoints());
  EXPECT_FLOAT_EQ(0.2f, this->OutputX(0));
  EXPECT_FLOAT_EQ(-0.2f, this->OutputX(1));
  EXPECT_FLOAT_EQ(1.5f, this->OutputX(2));
}

// At (0, 0.5, 0) the Jacobian's x row is 0.4 * (0, -1, 0) + (0.2, 0, 0), so the derivative's x
// row is (0.9, 0.2, 0) at BlendFactor 0.5; its inverse transpose takes (1, 0, 0) to
// (1, -0.2, 0) / 0.9.
TEST_F(ShapeTransformPipelineTest, FilterCarriesNormalsByTheJacobian)
{
  vtkNew<vtkFloatArray> normals;
  normals->SetNumberOfComponents(3);
  normals->InsertNextTuple3(0.0, 0.0, 1.0);
  normals->InsertNextTuple3(1.0, 0.0, 0.0);
  normals->InsertNextTuple3(1.0, 0.0, 0.0);
  this->Mesh->GetPointData()->SetNormals(normals);
  this->Transform->BlendFactor = 0.5f;
  this->Filter->Update();

  vtkDataArray* outNormals = this->Filter->GetOutput()->GetPointData()->GetNormals();
  ASSERT_NE(nullptr, outNormals);
  ASSERT_EQ(3, outNormals->GetNumberOfTuples());
  const double length = std::sqrt(1.04);
  const Point expected[3] = { { 0.0, 0.0, 1.0 },
                              { 1.0 / length, -0.2 / length, 0.0 },
                              { 1.0, 0.0, 0.0 } };
  for (vtkIdType i = 0; i < 3; ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_NEAR(expected[i][c], outNormals->GetComponent(i, c), 1e-6) << i << " " << c;
    }
  }
  EXPECT_FLOAT_EQ(0.35f, this->OutputX(0));

  // Back at BlendFactor 0 the normals are the input's again, from the same cache.
  this->Transform->BlendFactor = 0.0f;
  this->Transform->Modified();
  this->Filter->Update();
  outNormals = this->Filter->GetOutput()->GetPointData()->GetNormals();
  for (vtkIdType i = 0; i < 3; ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_EQ(normals->GetComponent(i, c), outNormals->GetComponent(i, c)) << i << " " << c;
    }
  }
}

TEST_F(ShapeTransformTest, SinglePointInterfaceReturnsThePointUnchanged)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 1.0f;

  const float inF[3] = { 0.5f, 0.25f, -1.0f };
  float outF[3] = { std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f };
  this->Transform->TransformPoint(inF, outF);
  EXPECT_EQ(0, std::memcmp(inF, outF, sizeof(inF)));

  const double inD[3] = { 0.5, 0.25, -1.0 };
  double outD[3];
  double derivative[3][3];
  std::fill(&derivative[0][0], &derivative[0][0] + 9, std::numeric_limits<double>::quiet_NaN());
  this->Transform->InternalTransformDerivative(inD, outD, derivative);
  for (int r = 0; r < 3; ++r)
  {
    EXPECT_EQ(inD[r], outD[r]);
    for (int c = 0; c < 3; ++c)
    {
      EXPECT_EQ(r == c ? 1.0 : 0.0, derivative[r][c]);
    }
  }
  const double* moved = this->Transform->TransformDoublePoint(0.5, 0.0, 0.0);
  EXPECT_EQ(0.5, moved[0]);
}

TEST_F(ShapeTransformTest, InverseIsAnEmptyShapeTransform)
{
  this->SetWorkedExample();
  this->Transform->BlendFactor = 1.0f;

  vtkAbstractTransform* made = this->Transform->MakeTransform();
  ASSERT_NE(nullptr, made);
  EXPECT_STREQ("vtkShapeTransform", made->GetClassName());
  made->Delete();

  vtkAbstractTransform* inverse = this->Transform->GetInverse();
  ASSERT_NE(nullptr, inverse);
  ASSERT_TRUE(inverse->IsA("vtkShapeTransform"));
  auto in = MakePoints({ { 0.5, 0.0, 0.0 } });
  vtkNew<vtkPoints> out;
  inverse->TransformPoints(in, out);
  ExpectSamePoints(in, out);
  EXPECT_EQ(inverse, this->Transform->GetInverse());
}

TEST_F(ShapeTransformTest, TypeInformationFollowsTheToolkit)
{
  EXPECT_STREQ("vtkShapeTransform", this->Transform->GetClassName());
  EXPECT_TRUE(this->Transform->IsA("vtkShapeTransform"));
  EXPECT_TRUE(this->Transform->IsA("vtkAbstractTransform"));
  EXPECT_TRUE(this->Transform->IsA("vtkObject"));
  EXPECT_FALSE(this->Transform->IsA("vtkWarpTransform"));
  EXPECT_FALSE(this->Transform->IsA("vtkLinearTransform"));
  EXPECT_EQ(this->Transform.Get(), vtkShapeTransform::SafeDownCast(this->Transform.Get()));
}

// A factory override: New() must ask the object factory before constructing the class itself.
class OverriddenShapeTransform : public vtkShapeTransform
{
public:
  vtkTypeMacro(OverriddenShapeTransform, vtkShapeTransform);
  static OverriddenShapeTransform* New()
  {
    auto* result = new OverriddenShapeTransform;
    result->InitializeObjectBase();
    return result;
  }
};

vtkObject* CreateOverriddenShapeTransform()
{
  return OverriddenShapeTransform::New();
}

class ShapeTransformFactory : public vtkObjectFactory
{
public:
  vtkTypeMacro(ShapeTransformFactory, vtkObjectFactory);
  static ShapeTransformFactory* New()
  {
    auto* result = new ShapeTransformFactory;
    result->InitializeObjectBase();
    return result;
  }
  const char* GetVTKSourceVersion() override { return VTK_SOURCE_VERSION; }
  const char* GetDescription() override { return "shape transform test factory"; }

protected:
  ShapeTransformFactory()
  {
    this->RegisterOverride("vtkShapeTransform",
                           "OverriddenShapeTransform",
                           "shape transform test override",
                           1,
                           CreateOverriddenShapeTransform);
  }
};

TEST(ShapeTransformFactoryTest, NewAsksTheObjectFactoryFirst)
{
  vtkNew<ShapeTransformFactory> factory;
  vtkObjectFactory::RegisterFactory(factory);
  vtkShapeTransform* made = vtkShapeTransform::New();
  vtkObjectFactory::UnRegisterFactory(factory);

  EXPECT_STREQ("OverriddenShapeTransform", made->GetClassName());
  made->Delete();

  made = vtkShapeTransform::New();
  EXPECT_STREQ("vtkShapeTransform", made->GetClassName());
  made->Delete();
}
}
