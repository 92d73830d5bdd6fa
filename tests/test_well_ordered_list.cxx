// The breadth-first well-ordered list: worked examples and, on random point
// sets, the properties the solver relies on, checked against brute-force
// neighbourhoods.
#include "well_ordered_list.h"

#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace
{
struct Ordering
{
  std::vector<int> List;
  int Max = -1;
};

class WellOrderedListTest : public ::testing::Test
{
protected:
  void Add(double x, double y, double z) { this->Points->InsertNextPoint(x, y, z); }

  Ordering Order(float radius)
  {
    auto data = vtkSmartPointer<vtkPolyData>::New();
    data->SetPoints(this->Points);
    auto locator = vtkSmartPointer<vtkPointLocator>::New();
    locator->SetDataSet(data);
    const int count = static_cast<int>(this->Points->GetNumberOfPoints());
    if (count > 0)
    {
      locator->BuildLocator();
    }
    Ordering ordering;
    int* list = GetWellOderredList(ordering.Max, count, radius, this->Points, locator);
    ordering.List.assign(list, list + count);
    std::free(list);
    return ordering;
  }

  // Neighbours by plain distance, no locator: |p - q| <= radius.
  bool Neighbours(int a, int b, float radius)
  {
    double p[3], q[3];
    this->Points->GetPoint(a, p);
    this->Points->GetPoint(b, q);
    double d2 = 0;
    for (int k = 0; k < 3; ++k)
    {
      d2 += (p[k] - q[k]) * (p[k] - q[k]);
    }
    return d2 <= static_cast<double>(radius) * radius;
  }

  vtkSmartPointer<vtkPoints> Points = vtkSmartPointer<vtkPoints>::New();
};
}

TEST_F(WellOrderedListTest, IsolatedPointsKeepTheirIds)
{
  for (int i = 0; i < 5; ++i)
  {
    this->Add(3.0 * i, 0, 0);
  }
  Ordering ordering = this->Order(1.0f);
  EXPECT_EQ(ordering.List, (std::vector<int>{ 0, 1, 2, 3, 4 }));
  EXPECT_EQ(ordering.Max, 0);
}

TEST_F(WellOrderedListTest, ChainOnALine)
{
  this->Add(0, 0, 0);
  this->Add(1, 0, 0);
  this->Add(2, 0, 0);
  Ordering ordering = this->Order(1.5f);
  EXPECT_EQ(ordering.List, (std::vector<int>{ 0, 1, 2 }));
  EXPECT_EQ(ordering.Max, 1);
}

TEST_F(WellOrderedListTest, SeedOfASecondGroupDoesNotRaiseMax)
{
  this->Add(0, 0, 0);
  this->Add(10, 0, 0);
  this->Add(0.5, 0, 0);
  Ordering ordering = this->Order(1.0f);
  EXPECT_EQ(ordering.List, (std::vector<int>{ 0, 2, 1 }));
  EXPECT_EQ(ordering.Max, 1);
}

TEST_F(WellOrderedListTest, StarPlacesAllRaysAfterTheCentre)
{
  this->Add(0, 0, 0);
  this->Add(1, 0, 0);
  this->Add(0, 1, 0);
  this->Add(0, 0, 1);
  Ordering ordering = this->Order(1.2f);
  ASSERT_EQ(ordering.List.size(), 4u);
  EXPECT_EQ(ordering.List[0], 0);
  std::vector<int> rays(ordering.List.begin() + 1, ordering.List.end());
  std::sort(rays.begin(), rays.end());
  EXPECT_EQ(rays, (std::vector<int>{ 1, 2, 3 }));
  EXPECT_EQ(ordering.Max, 3);
}

TEST_F(WellOrderedListTest, PointAtExactlyTheRadiusIsANeighbour)
{
  this->Add(0, 0, 0);
  this->Add(5, 0, 0);
  this->Add(0.5, 0, 0);
  Ordering ordering = this->Order(0.5f);
  EXPECT_EQ(ordering.List, (std::vector<int>{ 0, 2, 1 }));
}

TEST_F(WellOrderedListTest, NoPointsGiveAnEmptyList)
{
  Ordering ordering = this->Order(1.0f);
  EXPECT_TRUE(ordering.List.empty());
  EXPECT_EQ(ordering.Max, 0);
}

TEST_F(WellOrderedListTest, RandomSetsKeepEveryNeighbourPairWithinMax)
{
  std::mt19937 random(20261209);
  for (int trial = 0; trial < 12; ++trial)
  {
    this->Points = vtkSmartPointer<vtkPoints>::New();
    std::uniform_real_distribution<double> coordinate(0.0, 3.0 + trial);
    const int count = 40 + 30 * trial;
    for (int i = 0; i < count; ++i)
    {
      this->Add(coordinate(random), coordinate(random), coordinate(random) * 0.3);
    }
    const float radius = 0.6f;
    Ordering ordering = this->Order(radius);
    ASSERT_EQ(static_cast<int>(ordering.List.size()), count);

    std::vector<int> position(count, -1);
    for (int k = 0; k < count; ++k)
    {
      int id = ordering.List[k];
      ASSERT_GE(id, 0);
      ASSERT_LT(id, count);
      ASSERT_EQ(position[id], -1) << "id " << id << " appears twice";
      position[id] = k;
    }

    int widest = 0;
    for (int a = 0; a < count; ++a)
    {
      for (int b = 0; b < a; ++b)
      {
        if (this->Neighbours(a, b, radius))
        {
          widest = std::max(widest, std::abs(position[a] - position[b]));
        }
      }
    }
    // Max is the true half-bandwidth of the order.
    EXPECT_EQ(ordering.Max, widest) << "trial " << trial;

    // Breadth-first: a point is either a group's seed (no earlier neighbour,
    // and the lowest id not yet placed) or reached from an earlier neighbour.
    std::vector<bool> placed(count, false);
    for (int k = 0; k < count; ++k)
    {
      int id = ordering.List[k];
      bool reached = false;
      for (int j = 0; j < k && !reached; ++j)
      {
        reached = this->Neighbours(id, ordering.List[j], radius);
      }
      if (!reached)
      {
        int lowest = 0;
        while (placed[lowest])
        {
          ++lowest;
        }
        EXPECT_EQ(id, lowest) << "seed at position " << k;
      }
      placed[id] = true;
    }
  }
}
