// vtkCompactSplineTransform and vtkExpressionTransform on several threads at once, as toolkit
// pipelines use them: separate transforms fitted and evaluated side by side, and one transform
// shared by threads that each run single points, bulk points and a vtkTransformPolyDataFilter.
// Every result must equal, bit for bit, what one thread computes alone. Built as its own
// executable so that it can run under ThreadSanitizer.
#include "vtkCompactSplineTransform.h"
#include "vtkExpressionTransform.h"

#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace
{
// Landmarks on two shells of the unit sphere (a Fibonacci lattice of count points each) moved
// by a smooth motion whose phase makes scenes differ.
void MakeLandmarks(int count, double phase, vtkPoints* source, vtkPoints* target)
{
  const double golden = M_PI * (3.0 - std::sqrt(5.0));
  for (double shell : { 1.0, 0.6 })
  {
    for (int i = 0; i < count; ++i)
    {
      const double z = 1.0 - (2.0 * i + 1.0) / count;
      const double rho = std::sqrt(1.0 - z * z);
      const double p[3] = { shell * rho * std::cos(golden * i),
                            shell * rho * std::sin(golden * i),
                            shell * z };
      source->InsertNextPoint(p);
      target->InsertNextPoint(p[0] + 0.05 * std::sin(2.0 * p[1] + phase),
                              p[1] + 0.04 * std::cos(2.0 * p[2] + phase),
                              p[2] + 0.05 * std::sin(3.0 * p[0] + phase));
    }
  }
}

vtkSmartPointer<vtkPoints> RandomPoints(int count, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> coordinate(-0.95, 0.95);
  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataTypeToDouble();
  for (int i = 0; i < count; ++i)
  {
    points->InsertNextPoint(coordinate(random), coordinate(random), coordinate(random));
  }
  return points;
}

// A fitted field of the kind the test is run for: a vtkCompactSplineTransform of one motion, or a
// vtkExpressionTransform blending two motions of the same sources.
vtkSmartPointer<vtkAbstractTransform> MakeTransform(bool expressions, double phase)
{
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  MakeLandmarks(400, phase, source, target);
  if (expressions)
  {
    vtkNew<vtkPoints> unused;
    vtkNew<vtkPoints> second;
    MakeLandmarks(400, phase + 2.0, unused, second);
    auto blend = vtkSmartPointer<vtkExpressionTransform>::New();
    blend->AddExpression("first", source, target);
    blend->AddExpression("second", source, second);
    blend->SetWeight(0, 0.8);
    blend->SetWeight(1, -0.5);
    return blend;
  }
  auto transform = vtkSmartPointer<vtkCompactSplineTransform>::New();
  transform->SetSourceLandmarks(source);
  transform->SetTargetLandmarks(target);
  transform->SetBlendFactor(0.8);
  return transform;
}

std::vector<double> Coordinates(vtkPoints* points)
{
  std::vector<double> all(3 * points->GetNumberOfPoints());
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i)
  {
    points->GetPoint(i, &all[3 * i]);
  }
  return all;
}

std::vector<double> Bulk(vtkAbstractTransform* transform, vtkPoints* in)
{
  vtkNew<vtkPoints> out;
  out->SetDataTypeToDouble();
  transform->TransformPoints(in, out);
  return Coordinates(out);
}

std::vector<double> OneByOne(vtkAbstractTransform* transform, vtkPoints* in)
{
  std::vector<double> all(3 * in->GetNumberOfPoints());
  for (vtkIdType i = 0; i < in->GetNumberOfPoints(); ++i)
  {
    double x[3];
    in->GetPoint(i, x);
    transform->TransformPoint(x, &all[3 * i]);
  }
  return all;
}

// The points and normals of a filter run on the mesh.
std::vector<double> Filtered(vtkAbstractTransform* transform, vtkPolyData* mesh)
{
  vtkNew<vtkTransformPolyDataFilter> filter;
  filter->SetInputData(mesh);
  filter->SetTransform(transform);
  filter->Update();
  std::vector<double> all = Coordinates(filter->GetOutput()->GetPoints());
  vtkDataArray* normals = filter->GetOutput()->GetPointData()->GetNormals();
  for (vtkIdType i = 0; i < normals->GetNumberOfTuples(); ++i)
  {
    double n[3];
    normals->GetTuple(i, n);
    all.insert(all.end(), n, n + 3);
  }
  return all;
}

vtkSmartPointer<vtkPolyData> Mesh()
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetRadius(0.8);
  sphere->SetThetaResolution(60);
  sphere->SetPhiResolution(40);
  vtkNew<vtkPolyDataNormals> normals;
  normals->SetInputConnection(sphere->GetOutputPort());
  normals->Update();
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->DeepCopy(normals->GetOutput());
  return mesh;
}
}

// Run for vtkCompactSplineTransform (false) and vtkExpressionTransform (true).
class TransformThreads : public ::testing::TestWithParam<bool>
{
};

INSTANTIATE_TEST_SUITE_P(BothTransforms,
                         TransformThreads,
                         ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info)
                         { return info.param ? "Expression" : "CompactSpline"; });

TEST_P(TransformThreads, TwoTransformsFittedAtOnceEqualTheSequentialResults)
{
  const auto in = RandomPoints(3000, 1);
  const std::vector<double> expected[2] = { Bulk(MakeTransform(GetParam(), 0.0), in),
                                            Bulk(MakeTransform(GetParam(), 1.0), in) };
  for (int round = 0; round < 20; ++round)
  {
    // New transforms each round, so that both lazy fits run at the same time.
    vtkSmartPointer<vtkAbstractTransform> transforms[2] = { MakeTransform(GetParam(), 0.0),
                                                            MakeTransform(GetParam(), 1.0) };
    std::vector<double> results[2];
    std::thread first([&] { results[0] = Bulk(transforms[0], in); });
    std::thread second([&] { results[1] = Bulk(transforms[1], in); });
    first.join();
    second.join();
    ASSERT_EQ(results[0], expected[0]) << "round " << round;
    ASSERT_EQ(results[1], expected[1]) << "round " << round;
  }
}

TEST_P(TransformThreads, OneTransformOnFourThreadsEqualsOneThread)
{
  const auto in = RandomPoints(3000, 2);
  const auto mesh = Mesh();
  std::vector<double> single;
  std::vector<double> bulk;
  std::vector<double> filtered;
  {
    const auto alone = MakeTransform(GetParam(), 0.5);
    single = OneByOne(alone, in);
    bulk = Bulk(alone, in);
    filtered = Filtered(alone, mesh);
  }
  for (int round = 0; round < 10; ++round)
  {
    // Fitted lazily by whichever thread comes first; every thread uses its own copy of the mesh
    // in its filter as well as the shared points, so that the cache holds several point sets.
    const auto shared = MakeTransform(GetParam(), 0.5);
    struct results
    {
      std::vector<double> Single, Bulk, Filtered;
    } got[4];
    std::vector<vtkSmartPointer<vtkPolyData>> meshes;
    for (int t = 0; t < 4; ++t)
    {
      meshes.push_back(vtkSmartPointer<vtkPolyData>::New());
      meshes.back()->DeepCopy(mesh);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
      threads.emplace_back(
        [&, t]
        {
          got[t].Filtered = Filtered(shared, meshes[t]);
          got[t].Bulk = Bulk(shared, in);
          got[t].Single = OneByOne(shared, in);
        });
    }
    for (std::thread& thread : threads)
    {
      thread.join();
    }
    for (int t = 0; t < 4; ++t)
    {
      ASSERT_EQ(got[t].Single, single) << "round " << round << ", thread " << t;
      ASSERT_EQ(got[t].Bulk, bulk) << "round " << round << ", thread " << t;
      ASSERT_EQ(got[t].Filtered, filtered) << "round " << round << ", thread " << t;
    }
  }
}

// A target moved after the point set was cached: the first of four threads derives its cache from
// the one kept, the others find it, and all give the bits of the same history on one thread.
TEST(TransformThreadsAfterATargetMove, FourThreadsEqualOneThread)
{
  const auto in = RandomPoints(3000, 3);
  auto history = [&in](vtkCompactSplineTransform* transform)
  {
    Bulk(transform, in);
    vtkPoints* target = transform->GetTargetLandmarks();
    double q[3];
    target->GetPoint(7, q);
    target->SetPoint(7, q[0] + 0.01, q[1], q[2] - 0.02);
    target->Modified();
  };
  const vtkSmartPointer<vtkAbstractTransform> kept = MakeTransform(false, 0.5);
  auto* alone = vtkCompactSplineTransform::SafeDownCast(kept);
  history(alone);
  const std::vector<double> expected = Bulk(alone, in);
  for (int round = 0; round < 10; ++round)
  {
    const vtkSmartPointer<vtkAbstractTransform> held = MakeTransform(false, 0.5);
    auto* shared = vtkCompactSplineTransform::SafeDownCast(held);
    history(shared);
    std::vector<double> got[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
      threads.emplace_back([&, t] { got[t] = Bulk(shared, in); });
    }
    for (std::thread& thread : threads)
    {
      thread.join();
    }
    for (int t = 0; t < 4; ++t)
    {
      ASSERT_EQ(got[t], expected) << "round " << round << ", thread " << t;
    }
  }
}
