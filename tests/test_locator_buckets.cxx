// The flat bucket copy answers radius queries exactly as the locator it was
// copied from: the same ids in the same order, on random clouds and on
// lattices whose points lie on bucket boundaries and at exactly the radius.
#include "locator_buckets.h"

#include <gtest/gtest.h>

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <random>
#include <vector>

namespace
{
class LocatorBuckets : public ::testing::Test
{
protected:
  // Builds a locator over points as the reader does, copies it, and compares
  // the answers of both for every query point and radius.
  void ExpectSameAnswers(const std::vector<double>& points,
                         const std::vector<double>& queries,
                         const std::vector<double>& radii,
                         int pointsPerBucket = 3)
  {
    vtkNew<vtkPoints> set;
    for (std::size_t p = 0; p < points.size(); p += 3)
    {
      set->InsertNextPoint(static_cast<float>(points[p]),
                           static_cast<float>(points[p + 1]),
                           static_cast<float>(points[p + 2]));
    }
    vtkNew<vtkPolyData> data;
    data->SetPoints(set);
    vtkNew<vtkPointLocator> locator;
    locator->SetNumberOfPointsPerBucket(pointsPerBucket);
    locator->SetDataSet(data);
    locator->BuildLocator();
    const animation::core::locator_buckets buckets(locator);

    vtkNew<vtkIdList> expected;
    std::vector<vtkIdType> found;
    std::size_t nonEmpty = 0;
    for (double radius : radii)
    {
      for (std::size_t q = 0; q < queries.size(); q += 3)
      {
        locator->FindPointsWithinRadius(radius, &queries[q], expected);
        buckets.FindPointsWithinRadius(radius, &queries[q], found);
        const std::vector<vtkIdType> want(expected->begin(), expected->end());
        ASSERT_EQ(found, want) << "query " << q / 3 << ", radius " << radius;
        nonEmpty += want.empty() ? 0 : 1;
      }
    }
    // The comparison is only worth something when queries find points.
    EXPECT_GT(nonEmpty, queries.size() / 6);
  }
};

TEST_F(LocatorBuckets, RandomCloudGivesTheLocatorsIdsInItsOrder)
{
  std::mt19937 random(3);
  std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
  std::vector<double> points(3 * 2000);
  std::vector<double> queries(3 * 1000);
  for (double& c : points)
  {
    c = static_cast<float>(coordinate(random));
  }
  // Queries inside and outside the bounds, and on the points themselves.
  for (std::size_t c = 0; c < queries.size(); ++c)
  {
    queries[c] = c < 1500 ? 1.4 * coordinate(random) : points[c];
  }
  ExpectSameAnswers(points, queries, { 0.05, 0.2, 0.5 });
  ExpectSameAnswers(points, queries, { 0.2 }, 25);
}

TEST_F(LocatorBuckets, LatticeOnBucketBoundariesAndAtExactlyTheRadius)
{
  // A 9 x 9 x 9 lattice of spacing 0.25 (exact in binary), so bucket walls
  // pass through points and many pairs lie exactly 0.5 or 0.25 apart; the
  // queries are the lattice points, the midpoints and points off the box.
  std::vector<double> points;
  std::vector<double> queries;
  for (int i = 0; i < 9; ++i)
  {
    for (int j = 0; j < 9; ++j)
    {
      for (int k = 0; k < 9; ++k)
      {
        points.insert(points.end(), { 0.25 * i, 0.25 * j, 0.25 * k });
        queries.insert(queries.end(), { 0.25 * i, 0.25 * j, 0.25 * k });
        queries.insert(queries.end(), { 0.25 * i + 0.125, 0.25 * j, 0.25 * k - 0.125 });
      }
    }
  }
  queries.insert(queries.end(), { -0.5, 1.0, 1.0, 2.5, 2.5, 2.5, 1.0, -0.25, 2.0 });
  ExpectSameAnswers(points, queries, { 0.25, 0.5, 0.75 });
  ExpectSameAnswers(points, queries, { 0.5 }, 1);
}

TEST_F(LocatorBuckets, FlatAndCoincidentPointsGiveTheLocatorsIds)
{
  // All points in the plane z = 0.5, some of them twice.
  std::mt19937 random(5);
  std::uniform_real_distribution<double> coordinate(0.0, 2.0);
  std::vector<double> points;
  for (int p = 0; p < 600; ++p)
  {
    const double x = coordinate(random);
    const double y = coordinate(random);
    const int copies = p % 7 == 0 ? 2 : 1;
    for (int c = 0; c < copies; ++c)
    {
      points.insert(points.end(), { x, y, 0.5 });
    }
  }
  std::vector<double> queries(points.begin(), points.begin() + 3 * 300);
  for (int q = 0; q < 300; ++q)
  {
    queries.insert(queries.end(), { coordinate(random), coordinate(random), 0.5 + 0.1 * (q % 3) });
  }
  ExpectSameAnswers(points, queries, { 0.1, 0.3 });
}

TEST_F(LocatorBuckets, LocatorWithoutPointsFindsNothing)
{
  const double x[3] = { 0.0, 0.0, 0.0 };
  std::vector<vtkIdType> found = { 7 };
  vtkNew<vtkPointLocator> bare;
  animation::core::locator_buckets(bare).FindPointsWithinRadius(1.0, x, found);
  EXPECT_TRUE(found.empty());

  vtkNew<vtkPoints> none;
  vtkNew<vtkPolyData> data;
  data->SetPoints(none);
  vtkNew<vtkPointLocator> empty;
  empty->SetDataSet(data);
  found = { 7 };
  animation::core::locator_buckets(empty).FindPointsWithinRadius(1.0, x, found);
  EXPECT_TRUE(found.empty());
}
}
