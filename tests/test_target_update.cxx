// vtkCompactSplineTransform following moves of its target landmarks on a face: after every kind of
// move (one landmark again and again, two at once, another target set, many at once) the face's
// points and normals equal those of a transform fitted whole to the final landmarks and those of a
// dense double-precision solve, the landmarks are met, and the counts of whole fits and whole
// evaluations of the face show which path was taken.
#include "dense_solve.h"
#include "head_mesh.h"

#include <vtkCompactSplineTransform.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{
// The transform with its counts of whole fits and whole evaluations of a point set in view.
class CountingTransform : public vtkCompactSplineTransform
{
public:
  static CountingTransform* New();
  vtkTypeMacro(CountingTransform, vtkCompactSplineTransform);
  int Fits() const { return this->WholeFits; }
  int Evaluations() const { return this->WholePointSetEvaluations; }
};
vtkStandardNewMacro(CountingTransform);

struct Warped
{
  vtkNew<vtkPoints> Points;
  vtkNew<vtkDoubleArray> Normals;
};

class TargetUpdateTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    this->Face = demo::make_face_mesh(3000);
    vtkPoints* points = this->Face->GetPoints();
    const vtkIdType count = points->GetNumberOfPoints();
    double bounds[6];
    points->GetBounds(bounds);
    this->Radius = 0.12 * std::sqrt(vtkMath::Distance2BetweenPoints(bounds, bounds + 3));
    this->Source->SetDataTypeToDouble();
    this->Target->SetDataTypeToDouble();
    for (int k = 0; k < 40; ++k)
    {
      double p[3];
      points->GetPoint(k * (count / 40), p);
      this->Source->InsertNextPoint(p);
      // The first ten move, the others are anchors.
      const double lift = k < 10 ? 0.02 * this->Radius : 0.0;
      this->Target->InsertNextPoint(p[0] + lift, p[1] - 0.5 * lift, p[2] + 0.25 * lift);
    }
    this->Transform->SetSupportRadius(this->Radius);
    this->Transform->SetSourceLandmarks(this->Source);
    this->Transform->SetTargetLandmarks(this->Target);
  }

  void Warp(vtkCompactSplineTransform* transform, Warped& out)
  {
    out.Points->SetDataTypeToDouble();
    out.Points->SetNumberOfPoints(0);
    out.Normals->SetNumberOfComponents(3);
    out.Normals->SetNumberOfTuples(0);
    transform->TransformPointsNormalsVectors(this->Face->GetPoints(),
                                             out.Points,
                                             this->Face->GetPointData()->GetNormals(),
                                             out.Normals,
                                             nullptr,
                                             nullptr);
  }

  void MoveTarget(vtkPoints* targets, int k, double dx, double dy, double dz)
  {
    double q[3];
    targets->GetPoint(k, q);
    targets->SetPoint(k, q[0] + dx, q[1] + dy, q[2] + dz);
  }

  // The face warped by this->Transform after its updates against a transform fitted whole to
  // the same landmarks and a dense double-precision solve; and the landmarks met.
  void ExpectAsFittedWhole(const std::string& stage)
  {
    SCOPED_TRACE(stage);
    Warped updated;
    this->Warp(this->Transform, updated);
    EXPECT_LE(this->Transform->GetFitResidual(), 1e-6);
    EXPECT_STREQ("", this->Transform->GetFitError());

    vtkNew<vtkPoints> source;
    vtkNew<vtkPoints> target;
    // Double precision before the copies, which would otherwise round to single precision.
    source->SetDataTypeToDouble();
    target->SetDataTypeToDouble();
    source->DeepCopy(this->Source);
    target->DeepCopy(this->Transform->GetTargetLandmarks());
    vtkNew<vtkCompactSplineTransform> whole;
    whole->SetSupportRadius(this->Radius);
    whole->SetSourceLandmarks(source);
    whole->SetTargetLandmarks(target);
    Warped fitted;
    this->Warp(whole, fitted);

    std::vector<DensePoint> sources(source->GetNumberOfPoints());
    std::vector<DensePoint> values(sources.size());
    double largestMove = 0.0;
    for (vtkIdType k = 0; k < source->GetNumberOfPoints(); ++k)
    {
      double q[3];
      source->GetPoint(k, sources[k].data());
      target->GetPoint(k, q);
      for (int a = 0; a < 3; ++a)
      {
        values[k][a] = sources[k][a] - q[a];
      }
      largestMove = std::max(largestMove, std::sqrt(vtkMath::Distance2BetweenPoints(sources[k].data(), q)));
    }
    DenseSplineDefinition definition;
    definition.Radius = this->Radius;
    const DenseSplineField dense(definition, sources, values);

    double largestFromWhole = 0.0;
    double largestFromDense = 0.0;
    double largestNormalTurn = 0.0;
    const vtkIdType count = this->Face->GetNumberOfPoints();
    ASSERT_EQ(count, updated.Points->GetNumberOfPoints());
    for (vtkIdType i = 0; i < count; ++i)
    {
      DensePoint x;
      this->Face->GetPoints()->GetPoint(i, x.data());
      const DensePoint s = dense(x);
      double y[3];
      double z[3];
      double n[3];
      double m[3];
      updated.Points->GetPoint(i, y);
      fitted.Points->GetPoint(i, z);
      updated.Normals->GetTuple(i, n);
      fitted.Normals->GetTuple(i, m);
      for (int a = 0; a < 3; ++a)
      {
        largestFromWhole = std::max(largestFromWhole, std::fabs(y[a] - z[a]));
        largestFromDense = std::max(largestFromDense, std::fabs(y[a] - (x[a] - s[a])));
        largestNormalTurn = std::max(largestNormalTurn, std::fabs(n[a] - m[a]));
      }
    }
    EXPECT_LE(largestFromWhole, 1e-12 * largestMove) << largestFromWhole / largestMove;
    EXPECT_LE(largestNormalTurn, 1e-11);
    // The fit's basis functions are centred on the landmarks rounded to single precision, the
    // dense solve's on the landmarks themselves.
    EXPECT_LE(largestFromDense, 1e-7 * largestMove) << largestFromDense / largestMove;
  }

  vtkSmartPointer<vtkPolyData> Face;
  double Radius = 0.0;
  vtkNew<vtkPoints> Source;
  vtkNew<vtkPoints> Target;
  vtkNew<CountingTransform> Transform;
};

TEST_F(TargetUpdateTest, MovedTargetsGiveTheFaceOfAWholeFit)
{
  Warped warped;
  this->Warp(this->Transform, warped);
  ASSERT_EQ(1, this->Transform->Fits());
  ASSERT_EQ(1, this->Transform->Evaluations());
  const double step = 0.01 * this->Radius;

  // One landmark dragged three times, the face warped after each move.
  for (int drag = 1; drag <= 3; ++drag)
  {
    this->MoveTarget(this->Target, 3, step, 0.5 * step, -step);
    this->Target->Modified();
    this->Warp(this->Transform, warped);
  }
  this->ExpectAsFittedWhole("one landmark dragged");
  // A whole transform was fitted to compare with, but this one neither refitted nor evaluated
  // the face whole again.
  EXPECT_EQ(1, this->Transform->Fits());
  EXPECT_EQ(1, this->Transform->Evaluations());

  // Two landmarks at once, an anchor among them; then a move without the face being warped in
  // between, which the next warp takes together with the one after it.
  this->MoveTarget(this->Target, 3, -step, 0.0, 0.0);
  this->MoveTarget(this->Target, 25, 0.0, step, step);
  this->Target->Modified();
  this->Warp(this->Transform, warped);
  this->MoveTarget(this->Target, 25, step, 0.0, 0.0);
  this->Target->Modified();
  this->Transform->Update();
  this->MoveTarget(this->Target, 7, 0.0, 0.0, step);
  this->Target->Modified();
  this->ExpectAsFittedWhole("two landmarks, then moves between warps");

  // Another target set of the same count.
  vtkNew<vtkPoints> other;
  other->SetDataTypeToDouble();
  other->DeepCopy(this->Target);
  this->MoveTarget(other, 30, step, step, 0.0);
  this->Transform->SetTargetLandmarks(other);
  this->ExpectAsFittedWhole("another target set");
  EXPECT_EQ(1, this->Transform->Fits());
  EXPECT_EQ(1, this->Transform->Evaluations());

  // Many landmarks at once: solved again with the kept factor, the face evaluated again whole.
  for (int k = 10; k < 22; ++k)
  {
    this->MoveTarget(other, k, 0.0, -step, 0.0);
  }
  other->Modified();
  this->ExpectAsFittedWhole("many landmarks at once");
  EXPECT_EQ(1, this->Transform->Fits());
  EXPECT_EQ(2, this->Transform->Evaluations());

  // A moved source fits whole.
  this->MoveTarget(this->Source, 5, step, 0.0, 0.0);
  this->Source->Modified();
  this->ExpectAsFittedWhole("a moved source");
  EXPECT_EQ(2, this->Transform->Fits());
  EXPECT_EQ(3, this->Transform->Evaluations());

  // A target moved together with a change of the fit's options fits whole, and so does the
  // return to the options compared with.
  Warped smoothed;
  this->MoveTarget(this->Target, 2, step, 0.0, 0.0);
  this->Target->Modified();
  this->Transform->SetSmoothing(0.01);
  this->Warp(this->Transform, smoothed);
  EXPECT_EQ(3, this->Transform->Fits());
  this->Transform->SetSmoothing(0.0);
  this->ExpectAsFittedWhole("a target moved with the smoothing changed and changed back");
  EXPECT_EQ(4, this->Transform->Fits());
}
}
