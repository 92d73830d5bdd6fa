// Two vtkCompactSplineTransforms with landmarks of their own, fitted and
// evaluated at the same time on two threads, must give what each gives
// alone. Its suite name holds "Concurrency", so that
// scripts/run-thread-sanitized-tests runs it under ThreadSanitizer, which
// also reports any access that the two fits share without order.
#include "vtkCompactSplineTransform.h"

#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace
{
// 300 landmarks in the unit cube, moved by a smooth field whose amplitude
// tells the two transforms apart, and 2000 points to warp.
struct Scene
{
  vtkNew<vtkPoints> Source;
  vtkNew<vtkPoints> Target;
  vtkNew<vtkPoints> Mesh;

  Scene(double amplitude, unsigned seed)
  {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(0.0, 1.0);
    for (int i = 0; i < 300; ++i)
    {
      const double p[3] = { coordinate(random), coordinate(random), coordinate(random) };
      this->Source->InsertNextPoint(p);
      this->Target->InsertNextPoint(p[0] + amplitude * std::sin(3.0 * p[1]),
                                    p[1] - amplitude * std::cos(2.0 * p[2]),
                                    p[2] + amplitude * std::sin(2.0 * p[0]));
    }
    for (int i = 0; i < 2000; ++i)
    {
      this->Mesh->InsertNextPoint(coordinate(random), coordinate(random), coordinate(random));
    }
  }
};

// A new transform on the scene's landmarks warps its mesh: the fit happens
// in TransformPoints.
std::vector<double> Warp(const Scene& scene)
{
  vtkNew<vtkCompactSplineTransform> transform;
  transform->SetSourceLandmarks(scene.Source);
  transform->SetTargetLandmarks(scene.Target);
  transform->SetSupportRadius(0.3);
  vtkNew<vtkPoints> warped;
  transform->TransformPoints(scene.Mesh, warped);
  std::vector<double> coordinates(3 * warped->GetNumberOfPoints());
  for (vtkIdType i = 0; i < warped->GetNumberOfPoints(); ++i)
  {
    warped->GetPoint(i, &coordinates[3 * i]);
  }
  return coordinates;
}
}

TEST(TransformConcurrency, TwoTransformsOnTwoThreadsWarpAsEachDoesAlone)
{
  const Scene first(0.03, 1);
  const Scene second(0.05, 2);
  const std::vector<double> firstAlone = Warp(first);
  const std::vector<double> secondAlone = Warp(second);
  ASSERT_NE(firstAlone, Warp(Scene(0.0, 1))); // the landmarks move the mesh
  for (int round = 0; round < 5; ++round)
  {
    std::vector<double> firstAtOnce, secondAtOnce;
    std::thread other([&] { secondAtOnce = Warp(second); });
    firstAtOnce = Warp(first);
    other.join();
    EXPECT_EQ(firstAtOnce, firstAlone) << "round " << round;
    EXPECT_EQ(secondAtOnce, secondAlone) << "round " << round;
  }
}
