// The deformation end to end, with the scene file's Polynomial, Kernel and
// Smoothing lines and with control points that do not span space: the
// program runs on a sphere, and the displacement it writes into
// animated_shape.vtk is checked against the same field fitted by a dense
// double-precision solve and evaluated at every vertex, beyond the supports
// too.
#include "dense_solve.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <vtkCellArray.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace
{
// The largest difference allowed between the program's field and the dense one.
constexpr double FieldTolerance = 2e-4;

struct ControlPoints
{
  std::vector<DensePoint> Sources;
  std::vector<DensePoint> Moves; // target minus source
};

class DeformationOptionsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    auto sphere = vtkSmartPointer<vtkSphereSource>::New();
    sphere->SetRadius(1.0);
    sphere->SetThetaResolution(32);
    sphere->SetPhiResolution(32);
    sphere->Update();
    this->Sphere = sphere->GetOutput();
    auto writer = vtkSmartPointer<vtkPolyDataWriter>::New();
    writer->SetInputData(this->Sphere);
    writer->SetFileName(this->Folder.File("woman.vtk").c_str());
    writer->Write();
    this->Vertices = ReadMeshPoints(this->Folder.File("woman.vtk"));
  }

  // The vertices for which choose() holds, each moved by move(vertex).
  ControlPoints Choose(const std::function<bool(const DensePoint&)>& choose,
                       const std::function<DensePoint(const DensePoint&)>& move) const
  {
    ControlPoints controls;
    for (const DensePoint& p : this->Vertices)
    {
      if (choose(p))
      {
        controls.Sources.push_back(p);
        controls.Moves.push_back(move(p));
      }
    }
    return controls;
  }

  // Runs the program on the sphere with the settings and the control points;
  // returns the field s at every vertex, from the last frame x - 0.5 s(x).
  std::vector<DensePoint> RunField(const std::string& settings, const ControlPoints& controls)
  {
    std::string text = "FramesNumber 2\nWindowSize 48 48\nHair none\n" + settings;
    for (std::size_t k = 0; k < controls.Sources.size(); ++k)
    {
      const DensePoint& p = controls.Sources[k];
      const DensePoint& m = controls.Moves[k];
      text += ControlLine(p, { p[0] + m[0], p[1] + m[1], p[2] + m[2] });
    }
    this->Folder.Write("woman.ptt", text);
    this->Run = RunAnimation(this->Folder.Path(), "--batch");
    EXPECT_EQ(this->Run.Status, 0) << this->Run.Err;
    const auto last = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));
    EXPECT_EQ(last.size(), this->Vertices.size());
    std::vector<DensePoint> field(last.size());
    for (std::size_t i = 0; i < last.size() && i < this->Vertices.size(); ++i)
    {
      for (int c = 0; c < 3; ++c)
      {
        field[i][c] = 2.0 * (this->Vertices[i][c] - last[i][c]);
      }
    }
    return field;
  }

  // The largest gap between field and the dense fit of the control points.
  double GapToDenseFit(const std::vector<DensePoint>& field,
                       const DenseSplineDefinition& definition,
                       const ControlPoints& controls) const
  {
    // The right-hand sides are source minus target.
    std::vector<DensePoint> values;
    for (const DensePoint& m : controls.Moves)
    {
      values.push_back({ -m[0], -m[1], -m[2] });
    }
    const DenseSplineField dense(definition, controls.Sources, values);
    double gap = 0;
    for (std::size_t i = 0; i < field.size(); ++i)
    {
      const DensePoint expected = dense(this->Vertices[i]);
      for (int c = 0; c < 3; ++c)
      {
        gap = std::max(gap, std::fabs(field[i][c] - expected[c]));
      }
    }
    return gap;
  }

  // The largest difference of the field between the two ends of a mesh edge.
  double LargestStep(const std::vector<DensePoint>& field) const
  {
    double step = 0;
    vtkCellArray* polys = this->Sphere->GetPolys();
    polys->InitTraversal();
    vtkIdType count;
    const vtkIdType* ids;
    while (polys->GetNextCell(count, ids))
    {
      for (vtkIdType k = 0; k < count; ++k)
      {
        const DensePoint& a = field[ids[k]];
        const DensePoint& b = field[ids[(k + 1) % count]];
        step = std::max(step,
                        std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                  (a[2] - b[2]) * (a[2] - b[2])));
      }
    }
    return step;
  }

  // The vertices farther than radius from every control point.
  std::vector<std::size_t> BeyondSupports(const ControlPoints& controls, double radius) const
  {
    std::vector<std::size_t> beyond;
    for (std::size_t i = 0; i < this->Vertices.size(); ++i)
    {
      const DensePoint& x = this->Vertices[i];
      bool reached = false;
      for (const DensePoint& p : controls.Sources)
      {
        const double d2 = (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) +
                          (x[2] - p[2]) * (x[2] - p[2]);
        reached = reached || d2 <= radius * radius;
      }
      if (!reached)
      {
        beyond.push_back(i);
      }
    }
    return beyond;
  }

  TemporaryFolder Folder;
  vtkSmartPointer<vtkPolyData> Sphere;
  std::vector<DensePoint> Vertices;
  ProgramRun Run;
};

const char* const FarMoveWarning = "Warning: the affine part of the deformation moves face points "
                                   "farther than SupportRadius 0.8 from every control point";
}

TEST_F(DeformationOptionsTest, PatchMovedTogetherGivesNoTearWithOrWithoutThePolynomial)
{
  // The cap above z = 0.75 lifted by 0.1 as one piece, with no control
  // point holding the rest.
  const ControlPoints cap = this->Choose([](const DensePoint& p) { return p[2] > 0.75; },
                                         [](const DensePoint&) {
                                           return DensePoint{ 0.0, 0.0, 0.1 };
                                         });
  ASSERT_GT(cap.Sources.size(), 20u);
  // A little beyond R, so that the rounding of the scene file's sources does not matter.
  const std::vector<std::size_t> beyond = this->BeyondSupports(cap, 0.801);
  ASSERT_GT(beyond.size(), 100u);
  DenseSplineDefinition definition;
  definition.Radius = 0.8;

  // With the polynomial part the lift is affine, and the whole sphere follows it.
  std::vector<DensePoint> field = this->RunField("SupportRadius 0.8\n", cap);
  EXPECT_LT(this->LargestStep(field), 0.25 * 0.1);
  EXPECT_LT(this->GapToDenseFit(field, definition, cap), FieldTolerance);
  EXPECT_NE(this->Run.Err.find(FarMoveWarning), std::string::npos) << this->Run.Err;
  EXPECT_NE(this->Run.Err.find("\"Polynomial no\""), std::string::npos) << this->Run.Err;

  // Without it the lift fades out within the support radius.
  field = this->RunField("SupportRadius 0.8\nPolynomial no\n", cap);
  EXPECT_LT(this->LargestStep(field), 0.25 * 0.1);
  definition.Polynomial = false;
  EXPECT_LT(this->GapToDenseFit(field, definition, cap), FieldTolerance);
  for (std::size_t i : beyond)
  {
    EXPECT_EQ(field[i], (DensePoint{ 0.0, 0.0, 0.0 })) << "vertex " << i;
  }
  EXPECT_EQ(this->Run.Err.find(FarMoveWarning), std::string::npos) << this->Run.Err;
  EXPECT_EQ(this->Run.Err.find("hair"), std::string::npos) << this->Run.Err;
}

TEST_F(DeformationOptionsTest, WendlandKernelAndSmoothingEqualTheirDenseFits)
{
  // Every third vertex: those in front move by a smooth field, the others hold.
  int k = 0;
  const ControlPoints controls = this->Choose(
    [&k](const DensePoint&) { return k++ % 3 == 0; },
    [](const DensePoint& p) {
      return p[1] < -0.5 ? DensePoint{ 0.05 * p[2], -0.08 * (1 + p[0]), 0.03 } : DensePoint{};
    });

  DenseSplineDefinition wendland;
  wendland.Wendland = true;
  EXPECT_LT(this->GapToDenseFit(this->RunField("Kernel wendland\n", controls), wendland, controls),
            FieldTolerance);

  DenseSplineDefinition smoothed;
  smoothed.Smoothing = 0.01;
  const std::vector<DensePoint> field = this->RunField("Smoothing 0.01\n", controls);
  EXPECT_LT(this->GapToDenseFit(field, smoothed, controls), FieldTolerance);
  // An approximation: the field misses the moves at the control points by
  // more than the interpolation would.
  EXPECT_GT(this->GapToDenseFit(field, DenseSplineDefinition{}, controls), 3 * FieldTolerance);
}

TEST_F(DeformationOptionsTest, ControlPointsInOnePlaneOrOnALineFitTheirAffineFunctions)
{
  // The ring of vertices nearest to z = 0.5, all in one plane z = const,
  // moved outward and along z by varying amounts.
  double ring = 0;
  for (const DensePoint& p : this->Vertices)
  {
    if (std::fabs(p[2] - 0.5) < std::fabs(ring - 0.5))
    {
      ring = p[2];
    }
  }
  const ControlPoints plane =
    this->Choose([ring](const DensePoint& p) { return p[2] == ring; },
                 [](const DensePoint& p) {
                   return DensePoint{ 0.1 * p[0], 0.05 * p[1] + 0.02, 0.04 * p[0] * p[1] };
                 });
  ASSERT_GT(plane.Sources.size(), 20u);
  DenseSplineDefinition inPlane;
  inPlane.LinearTerms = { 0, 1 };
  EXPECT_LT(this->GapToDenseFit(this->RunField("", plane), inPlane, plane), FieldTolerance);

  // Two points determine 1 and the coordinate along their line.
  const ControlPoints two = { { this->Vertices[0], this->Vertices[1] },
                              { { 0.0, 0.0, 0.05 }, { 0.02, 0.0, 0.0 } } };
  const double* a = two.Sources[0].data();
  const double* b = two.Sources[1].data();
  ASSERT_EQ(a[0], 0.0);
  ASSERT_EQ(b[0], 0.0);
  ASSERT_EQ(a[1], 0.0);
  ASSERT_EQ(b[1], 0.0);
  DenseSplineDefinition alongZ;
  alongZ.LinearTerms = { 2 };
  EXPECT_LT(this->GapToDenseFit(this->RunField("SupportRadius 0.5\n", two), alongZ, two),
            FieldTolerance);
}

TEST_F(DeformationOptionsTest, CloseControlPointsWithVeryDifferentMovesWarnOfTheOvershoot)
{
  // Closed lips: two control points 0.07 apart at the front of the sphere, the
  // upper one moved up and the lower one down, their moves differing by 11,
  // amid anchors on the vertices of the front half farther than 0.6 from them,
  // with a support radius thirty times their distance.
  ControlPoints lips = this->Choose(
    [](const DensePoint& p)
    { return p[1] < 0.0 && p[0] * p[0] + (p[1] + 1.0) * (p[1] + 1.0) + p[2] * p[2] > 0.6 * 0.6; },
    [](const DensePoint&) { return DensePoint{}; });
  lips.Sources.insert(lips.Sources.begin(), { { 0.0, -0.999, 0.035 }, { 0.0, -0.999, -0.035 } });
  lips.Moves.insert(lips.Moves.begin(), { { 0.0, 0.0, 5.5 }, { 0.0, 0.0, -5.5 } });
  auto largest = [](const std::vector<DensePoint>& field)
  {
    double length = 0.0;
    for (const DensePoint& s : field)
    {
      length = std::max(length, std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
    }
    return length;
  };
  DenseSplineDefinition wendland;
  wendland.Wendland = true;
  wendland.Radius = 2.0;
  const std::vector<DensePoint> field =
    this->RunField("SupportRadius 2.0\nKernel wendland\n", lips);
  // The explosion is the kernel's: the dense fit gives it too.
  EXPECT_LT(this->GapToDenseFit(field, wendland, lips), 1e-5 * largest(field));
  EXPECT_GT(largest(field), 3 * 5.5);
  EXPECT_NE(this->Run.Err.find("Warning: the deformation moves face points by up to "),
            std::string::npos)
    << this->Run.Err;
  EXPECT_NE(this->Run.Err.find(": control points 1 and 2 lie 0.07 apart but their moves differ "
                               "by 11, and the field overshoots to pass through both; write "
                               "\"Kernel quadratic\""),
            std::string::npos)
    << this->Run.Err;

  // The quadratic kernel bends sharply at the control points instead.
  DenseSplineDefinition quadratic;
  quadratic.Radius = 2.0;
  const std::vector<DensePoint> sharp = this->RunField("SupportRadius 2.0\n", lips);
  EXPECT_LT(this->GapToDenseFit(sharp, quadratic, lips), 1e-5 * largest(sharp));
  EXPECT_LE(largest(sharp), 3 * 5.5);
  EXPECT_EQ(this->Run.Err.find("Warning: the deformation moves face points"), std::string::npos)
    << this->Run.Err;
}

TEST_F(DeformationOptionsTest, NearlyFlatPatchFarFromTheOriginIsRefinedAndSaysSo)
{
  // Seven control points 0.17 wide and 0.006 thick, 7 above the sphere,
  // lifted together without anchors: the sphere lies beyond their supports
  // and moves by the affine part of the fit alone, which single precision
  // gets wrong by more than the move itself.
  ControlPoints patch;
  for (int k = 0; k < 7; ++k)
  {
    const double angle = k * M_PI / 3.0;
    const double r = k == 6 ? 0.0 : 0.085;
    patch.Sources.push_back(
      { 0.2 + r * std::cos(angle), 0.3 + r * std::sin(angle), k % 2 == 0 ? 7.203 : 7.197 });
    patch.Moves.push_back({ 0.01 * std::cos(angle), 0.02, 0.05 + 0.01 * (k % 3) });
  }
  // The control points as the program reads them: six decimals, then single
  // precision, which holds the patch's thickness to 4e-5 only.
  ControlPoints read;
  auto asRead = [](double x) { return double(float(std::round(x * 1e6) / 1e6)); };
  for (std::size_t k = 0; k < patch.Sources.size(); ++k)
  {
    const DensePoint& p = patch.Sources[k];
    const DensePoint& m = patch.Moves[k];
    const DensePoint source = { asRead(p[0]), asRead(p[1]), asRead(p[2]) };
    const DensePoint target = { asRead(p[0] + m[0]), asRead(p[1] + m[1]), asRead(p[2] + m[2]) };
    read.Sources.push_back(source);
    read.Moves.push_back({ target[0] - source[0], target[1] - source[1], target[2] - source[2] });
  }
  DenseSplineDefinition definition;
  definition.Radius = 0.3;
  const std::vector<DensePoint> field = this->RunField("SupportRadius 0.3\n", patch);
  double largest = 0.0;
  for (const DensePoint& s : field)
  {
    largest = std::max(largest, std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
  }
  EXPECT_LT(this->GapToDenseFit(field, definition, read), 1e-5 * largest);
  EXPECT_NE(this->Run.Err.find("The single-precision fit missed the control points by up to "),
            std::string::npos)
    << this->Run.Err;
  EXPECT_NE(this->Run.Err.find("; refined in double precision, it misses them by up to "),
            std::string::npos)
    << this->Run.Err;
}
