// The estimate of the matrix before the ordering: against the envelope that
// the breadth-first order really gives (counted here by brute force), and
// end to end, the refusal of a scene whose matrix cannot fit.
#include "envelope_estimate.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"
#include "well_ordered_list.h"

#include <gtest/gtest.h>

#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <regex>
#include <vector>

using animation::core::envelope_estimate;
using animation::core::EstimateEnvelope;

namespace
{
constexpr double Pi = 3.14159265358979323846;

// Entries below the diagonal of the envelope of the matrix in the order of
// GetWellOderredList: row i runs from its first column j with
// |p(i) - p(j)| < radius to the diagonal. All pairs are compared.
std::int64_t EnvelopeByBruteForce(vtkPoints* points, vtkPointLocator* locator, float radius)
{
  const int count = static_cast<int>(points->GetNumberOfPoints());
  int max = 0;
  int* list = GetWellOderredList(max, count, radius, points, locator);
  std::int64_t entries = 0;
  for (int i = 0; i < count; ++i)
  {
    double p[3];
    points->GetPoint(list[i], p);
    for (int j = 0; j < i; ++j)
    {
      double q[3];
      points->GetPoint(list[j], q);
      const double r2 = (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                        (p[2] - q[2]) * (p[2] - q[2]);
      if (r2 < static_cast<double>(radius) * radius)
      {
        entries += i - j;
        break;
      }
    }
  }
  std::free(list);
  return entries;
}

struct PointSet
{
  vtkNew<vtkPoints> Points;
  vtkNew<vtkPolyData> Data;
  vtkNew<vtkPointLocator> Locator;

  void Build()
  {
    this->Data->SetPoints(this->Points);
    this->Locator->SetDataSet(this->Data);
    this->Locator->BuildLocator();
  }
};

// count points uniformly in the unit cube.
void FillCube(PointSet& set, int count, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < count; ++k)
  {
    set.Points->InsertNextPoint(unit(random), unit(random), unit(random));
  }
  set.Build();
}

// count points uniformly on the unit sphere: a surface, walked in many layers.
void FillSphere(PointSet& set, int count, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < count; ++k)
  {
    const double z = 2.0 * unit(random) - 1.0;
    const double angle = 2.0 * Pi * unit(random);
    const double ring = std::sqrt(1.0 - z * z);
    set.Points->InsertNextPoint(ring * std::cos(angle), ring * std::sin(angle), z);
  }
  set.Build();
}
}

TEST(EnvelopeEstimateTest, SmallSetsAreWalkedWhole)
{
  PointSet set;
  FillCube(set, 1500, 3);
  const envelope_estimate estimate = EstimateEnvelope(1500, 0.2f, set.Points, set.Locator);
  EXPECT_EQ(estimate.Entries, EnvelopeByBruteForce(set.Points, set.Locator, 0.2f));
}

TEST(EnvelopeEstimateTest, EstimateOfSubsampledWalkIsCloseAndErrsLow)
{
  // A packed cube (about a third of the points are neighbours of each) and
  // a sphere whose points have about 60 neighbours each: every row of its
  // envelope is many times longer than its neighbour count.
  struct Case
  {
    const char* Name;
    bool Cube;
    int Count;
    float Radius;
  };
  for (const Case& c : { Case{ "cube", true, 6000, 0.5f }, Case{ "sphere", false, 12000, 0.14f } })
  {
    PointSet set;
    (c.Cube ? FillCube : FillSphere)(set, c.Count, 11);
    const envelope_estimate estimate = EstimateEnvelope(c.Count, c.Radius, set.Points, set.Locator);
    const double exact =
      static_cast<double>(EnvelopeByBruteForce(set.Points, set.Locator, c.Radius));
    const double neighbourPairs = c.Count * estimate.MeanNeighbours / 2.0;
    EXPECT_LE(estimate.Entries, 1.05 * exact) << c.Name;
    EXPECT_GE(estimate.Entries, 0.6 * exact) << c.Name;
    // The walk sees far more than the neighbour pairs on the sphere.
    EXPECT_GT(exact, (c.Cube ? 1.5 : 5.0) * neighbourPairs) << c.Name;
  }
}

TEST(EnvelopeEstimateTest, PackedSceneIsRefusedBeforeTheOrdering)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer cannot reserve its shadow memory under the address-space limit";
#endif
  // 150,000 control points in a unit cube with the support radius 0.5: the
  // matrix would take about 40,000 MiB. The address space is limited to
  // 16 GiB so that the refusal does not depend on the machine's memory, and
  // the run is given two minutes where the ordering alone would take many.
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "");
  std::FILE* ptt = std::fopen(folder.File("woman.ptt").c_str(), "w");
  ASSERT_NE(ptt, nullptr);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < 150000; ++k)
  {
    const double x = unit(random), y = unit(random), z = unit(random);
    std::fprintf(ptt, "%.6f %.6f %.6f %.6f %.6f %.6f\n", x, y, z, x, y, z + 0.01);
  }
  std::fclose(ptt);

  const std::string command = "cd '" + folder.Path() + "' && ulimit -v 16777216 && timeout 120 '" +
                              ANIMATION_BINARY_DIR "/bin/animation' --batch >out 2>err </dev/null";
  const int status = std::system(command.c_str());
  const std::string out = ReadWholeFile(folder.File("out"));
  const std::string err = ReadWholeFile(folder.File("err"));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << err;
  std::smatch said;
  ASSERT_TRUE(std::regex_search(
    err,
    said,
    std::regex("^The interpolation matrix of 150000 control points would need about ([0-9]+) MiB, "
               "but only ([0-9]+) MiB of memory are available: each control point has about "
               "[0-9]+ others within the support radius 0.5. The coordinates are probably in "
               "another unit than the radius assumes \\(set it with SupportRadius in woman.ptt\\), "
               "or there are far more control points than the surface needs.\n$")))
    << err;
  EXPECT_GT(std::stoi(said[1]), 30000);
  EXPECT_LE(std::stoi(said[2]), 16384);
  // Refused before the ordering: the tree was built, nothing was sorted.
  EXPECT_NE(out.find("Tree build time: "), std::string::npos) << out;
  EXPECT_EQ(out.find("Sorting time: "), std::string::npos) << out;
}
