// The fits that single precision alone gets wrong, checked against a dense
// double-precision solve: a support radius far larger than the landmarks'
// extent, Wendland's kernel on many landmarks, landmarks far from the origin
// in the expression transform, and a nearly flat patch moved without anchors.
// Each either lands its landmarks within 1e-6 of the largest move and gives
// the dense solve's field, or says how far it misses through GetFitResidual(),
// GetFitError() and an error trace.
#include "dense_solve.h"
#include "trace_capture.h"
#include "vtkCompactSplineTransform.h"
#include "vtkExpressionTransform.h"

#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// The landmark tolerance of the library, relative to the largest landmark move.
constexpr double landmark_tolerance = 1e-6;

// count landmarks on a Fibonacci lattice of the unit sphere about centre, moved by a smooth
// motion of up to 0.05.
void SphereLandmarks(int count, const DensePoint& centre, vtkPoints* source, vtkPoints* target)
{
  source->SetDataTypeToDouble();
  target->SetDataTypeToDouble();
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i)
  {
    const double z = 1.0 - (2.0 * i + 1.0) / count;
    const double rho = std::sqrt(1.0 - z * z);
    const DensePoint p = { rho * std::cos(golden * i), rho * std::sin(golden * i), z };
    const DensePoint m = { 0.05 * std::sin(2.0 * p[1]),
                           0.04 * std::cos(2.0 * p[2]),
                           0.05 * std::sin(3.0 * p[0]) };
    source->InsertNextPoint(centre[0] + p[0], centre[1] + p[1], centre[2] + p[2]);
    target->InsertNextPoint(
      centre[0] + p[0] + m[0], centre[1] + p[1] + m[1], centre[2] + p[2] + m[2]);
  }
}

// The dense double-precision field of the landmarks, in coordinates relative to centre (so that
// the dense solve itself does not lose digits to the offset).
DenseSplineField DenseField(const DenseSplineDefinition& definition,
                            vtkPoints* source,
                            vtkPoints* target,
                            const DensePoint& centre)
{
  std::vector<DensePoint> sources;
  std::vector<DensePoint> moves;
  for (vtkIdType k = 0; k < source->GetNumberOfPoints(); ++k)
  {
    DensePoint p;
    DensePoint q;
    source->GetPoint(k, p.data());
    target->GetPoint(k, q.data());
    sources.push_back({ p[0] - centre[0], p[1] - centre[1], p[2] - centre[2] });
    moves.push_back({ p[0] - q[0], p[1] - q[1], p[2] - q[2] });
  }
  return DenseSplineField(definition, sources, moves);
}

double LargestMove(vtkPoints* source, vtkPoints* target)
{
  double largest = 0.0;
  for (vtkIdType k = 0; k < source->GetNumberOfPoints(); ++k)
  {
    largest = std::max(
      largest,
      std::sqrt(vtkMath::Distance2BetweenPoints(source->GetPoint(k), target->GetPoint(k))));
  }
  return largest;
}

// The largest distance between where the transform takes the source landmarks and their targets.
double LargestLandmarkMiss(vtkAbstractTransform* transform, vtkPoints* source, vtkPoints* target)
{
  double largest = 0.0;
  for (vtkIdType k = 0; k < source->GetNumberOfPoints(); ++k)
  {
    double moved[3];
    transform->TransformPoint(source->GetPoint(k), moved);
    largest =
      std::max(largest, std::sqrt(vtkMath::Distance2BetweenPoints(moved, target->GetPoint(k))));
  }
  return largest;
}

// The largest distance between the transform's displacement x - T(x) and the dense field, over
// the landmarks and over points inside, on and outside the sphere (out to 3 from centre).
double LargestFieldDifference(vtkAbstractTransform* transform,
                              const DenseSplineField& dense,
                              vtkPoints* source,
                              const DensePoint& centre)
{
  std::vector<DensePoint> probes;
  for (vtkIdType k = 0; k < source->GetNumberOfPoints(); k += 7)
  {
    DensePoint p;
    source->GetPoint(k, p.data());
    for (double scale : { 0.3, 0.97, 1.0, 1.05, 3.0 })
    {
      probes.push_back(
        { scale * (p[0] - centre[0]), scale * (p[1] - centre[1]), scale * (p[2] - centre[2]) });
    }
  }
  double largest = 0.0;
  for (const DensePoint& u : probes)
  {
    const double x[3] = { centre[0] + u[0], centre[1] + u[1], centre[2] + u[2] };
    double moved[3];
    transform->TransformPoint(x, moved);
    const DensePoint s = dense(u);
    for (int a = 0; a < 3; ++a)
    {
      largest = std::max(largest, std::fabs((x[a] - moved[a]) - s[a]));
    }
  }
  return largest;
}

// What a fit gave: the transform's own measure of its miss and its error text, the miss
// measured at the landmarks, the distance from the dense field, and the errors traced; all
// distances relative to the largest landmark move.
struct FitCheck
{
  double Residual;
  std::string FitError;
  double Miss;
  double FieldDifference;
  std::string Traced;
};

// The fit lands its landmarks within the library's tolerance, gives the dense field within it
// everywhere, and reports nothing.
void ExpectLands(const FitCheck& check)
{
  EXPECT_LE(check.Residual, landmark_tolerance);
  EXPECT_LE(check.Miss, landmark_tolerance);
  EXPECT_LE(check.FieldDifference, landmark_tolerance);
  EXPECT_EQ(check.FitError, "");
  EXPECT_EQ(check.Traced, "");
}

vtkSmartPointer<vtkCompactSplineTransform> SphereTransform(vtkPoints* source,
                                                           vtkPoints* target,
                                                           double radius,
                                                           bool wendland)
{
  auto transform = vtkSmartPointer<vtkCompactSplineTransform>::New();
  transform->SetSourceLandmarks(source);
  transform->SetTargetLandmarks(target);
  transform->SetSupportRadius(radius);
  if (wendland)
  {
    transform->SetKernelToWendland();
  }
  return transform;
}

FitCheck CheckCompactSpline(int count, double radius, bool wendland)
{
  const DensePoint centre = { 0.0, 0.0, 0.0 };
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  SphereLandmarks(count, centre, source, target);
  TraceCapture capture;
  auto transform = SphereTransform(source, target, radius, wendland);
  EXPECT_TRUE(transform->IsFitted());
  DenseSplineDefinition definition;
  definition.Radius = radius;
  definition.Wendland = wendland;
  const DenseSplineField dense = DenseField(definition, source, target, centre);
  const double move = LargestMove(source, target);
  return { transform->GetFitResidual(),
           transform->GetFitError(),
           LargestLandmarkMiss(transform, source, target) / move,
           LargestFieldDifference(transform, dense, source, centre) / move,
           capture.Errors() };
}
}

// Single precision alone misses these landmarks by 8e-4 (R = 1e3) and 6e-3 (R = 1e4) of the
// largest move: every basis function is nearly 1 over the whole sphere.
TEST(FitRefinement, SupportRadiusFarBeyondTheLandmarksExtent)
{
  for (double radius : { 1e3, 1e4 })
  {
    SCOPED_TRACE(radius);
    ExpectLands(CheckCompactSpline(1000, radius, false));
  }
}

TEST(FitRefinement, WendlandKernelOnManyLandmarks)
{
  ExpectLands(CheckCompactSpline(2000, 0.6, true));
}

// Without refinement the polynomial part, formed in 1, x, y, z about a point 1e3 or 1e4 from the
// origin, gives a field twice the move away from the landmarks.
TEST(FitRefinement, ExpressionTransformFarFromTheOrigin)
{
  for (double offset : { 1e3, 1e4 })
  {
    SCOPED_TRACE(offset);
    const DensePoint centre = { offset, 0.0, 0.0 };
    vtkNew<vtkPoints> source;
    vtkNew<vtkPoints> target;
    SphereLandmarks(1000, centre, source, target);
    TraceCapture capture;
    vtkNew<vtkExpressionTransform> transform;
    transform->AddExpression("smile", source, target);
    transform->SetWeight("smile", 1.0);
    transform->Update();
    // The transform keeps its landmarks in double precision and fits in their frame.
    const double move = LargestMove(source, target);
    const DenseSplineField dense = DenseField({}, source, target, centre);
    ExpectLands({ transform->GetFitResidual(),
                  transform->GetFitError(),
                  LargestLandmarkMiss(transform, source, target) / move,
                  LargestFieldDifference(transform, dense, source, centre) / move,
                  capture.Errors() });
  }
}

// Wendland's function at R = 20 on the unit sphere is too ill-conditioned for the float factor
// to correct: the fit stays 1e-4 off, and both transforms say so.
TEST(FitRefinement, FitThatStaysOffReportsItsResidual)
{
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  SphereLandmarks(1000, { 0.0, 0.0, 0.0 }, source, target);
  auto expectReported = [&](auto* transform, const TraceCapture& capture)
  {
    const double residual = transform->GetFitResidual();
    EXPECT_GT(residual, landmark_tolerance);
    const double miss =
      LargestLandmarkMiss(transform, source, target) / LargestMove(source, target);
    EXPECT_NEAR(miss, residual, 1e-3 * residual);
    const std::string error = transform->GetFitError();
    std::ostringstream stated;
    stated << "misses them by up to " << residual << " of the largest landmark move";
    EXPECT_NE(error.find(stated.str()), std::string::npos) << error;
    EXPECT_NE(capture.Errors().find(error), std::string::npos) << capture.Errors();
  };
  {
    TraceCapture capture;
    auto transform = SphereTransform(source, target, 20.0, true);
    EXPECT_TRUE(transform->IsFitted());
    expectReported(transform.Get(), capture);
  }
  TraceCapture capture;
  vtkNew<vtkExpressionTransform> expressions;
  expressions->SetSupportRadius(20.0);
  expressions->SetKernelToWendland();
  expressions->AddExpression("smile", source, target);
  expressions->SetWeight("smile", 1.0);
  EXPECT_EQ(expressions->Fit(), 1);
  expectReported(expressions.Get(), capture);
  EXPECT_EQ(std::string(expressions->GetFitError()).rfind("expression smile: ", 0), 0u);
}

// Seven control points 0.17 wide and 0.006 thick, 7 from the origin like those of a face, lifted
// together without anchors: the affine part of the fit comes from a 4x4 system whose condition
// is about (7 / 0.003)^2, and single precision gets it 8% off far from the patch although every
// landmark is met. The program's threshold refines it as well as the library's.
TEST(FitRefinement, NearlyFlatPatchMatchesTheDenseSolveFarAway)
{
  const DensePoint centre = { 0.2, 0.3, 7.2 };
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  for (int k = 0; k < 7; ++k)
  {
    const double angle = k * M_PI / 3.0;
    const double r = k == 6 ? 0.0 : 0.085;
    const DensePoint u = { r * std::cos(angle), r * std::sin(angle), k % 2 == 0 ? 0.003 : -0.003 };
    const DensePoint m = { 0.01 * std::cos(angle), 0.02, 0.05 + 0.01 * (k % 3) };
    source->InsertNextPoint(centre[0] + u[0], centre[1] + u[1], centre[2] + u[2]);
    target->InsertNextPoint(
      centre[0] + u[0] - m[0], centre[1] + u[1] - m[1], centre[2] + u[2] - m[2]);
  }
  DenseSplineDefinition definition;
  definition.Radius = 0.3;
  const DenseSplineField dense = DenseField(definition, source, target, centre);
  const double move = LargestMove(source, target);
  for (double threshold : { 0.0, 1e-4 })
  {
    SCOPED_TRACE(threshold);
    TraceCapture capture;
    vtkNew<vtkExpressionTransform> transform;
    transform->SetSupportRadius(0.3);
    transform->SetRefinementThreshold(threshold);
    transform->AddExpression("lift", source, target);
    transform->SetWeight("lift", 1.0);
    EXPECT_LE(transform->GetFitResidual(), landmark_tolerance);
    // In the frame of the patch the single-precision fit already meets the program's
    // threshold; the library's refines it all the same.
    if (threshold == 0.0)
    {
      EXPECT_GT(transform->GetRefinementSteps(), 0);
    }
    double largest = 0.0;
    for (double distance : { 0.0, 0.2, 1.0, 10.0 })
    {
      for (const DensePoint& direction :
           std::vector<DensePoint>{ { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 }, { 0.6, -0.48, 0.64 } })
      {
        const DensePoint u = { distance * direction[0],
                               distance * direction[1],
                               distance * direction[2] };
        const double x[3] = { centre[0] + u[0], centre[1] + u[1], centre[2] + u[2] };
        double moved[3];
        transform->TransformPoint(x, moved);
        const DensePoint s = dense(u);
        for (int a = 0; a < 3; ++a)
        {
          largest = std::max(largest, std::fabs((x[a] - moved[a]) - s[a]) / move);
        }
      }
    }
    EXPECT_LE(largest, 1e-4);
    EXPECT_EQ(capture.Errors(), "");
  }
}
