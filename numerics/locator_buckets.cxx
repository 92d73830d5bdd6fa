// The flat bucket copy of a point locator; see locator_buckets.h.
#include "locator_buckets.h"

#include <vtkDataSet.h>
#include <vtkPointLocator.h>

#include <algorithm>

namespace animation
{
namespace core
{
locator_buckets::locator_buckets(vtkPointLocator* locator)
{
  vtkDataSet* points = locator->GetDataSet();
  if (!points || points->GetNumberOfPoints() == 0)
  {
    return; // no buckets: every query finds nothing
  }
  locator->BuildLocator();
  // The locator's bucket width is (bounds extent) / divisions, and its index
  // scale the reciprocal, computed from these same numbers.
  const double* bounds = locator->GetBounds();
  const int* divisions = locator->GetDivisions();
  for (int a = 0; a < 3; ++a)
  {
    this->Origin[a] = bounds[2 * a];
    this->Divisions[a] = divisions[a];
    this->Scale[a] =
      1.0 / ((bounds[2 * a + 1] - bounds[2 * a]) / static_cast<double>(divisions[a]));
  }

  const vtkIdType count = points->GetNumberOfPoints();
  const vtkIdType buckets = vtkIdType(this->Divisions[0]) * this->Divisions[1] * this->Divisions[2];
  std::vector<vtkIdType> bucket(count);
  this->Start.assign(buckets + 1, 0);
  for (vtkIdType id = 0; id < count; ++id)
  {
    double x[3];
    points->GetPoint(id, x);
    int ijk[3];
    this->BucketOf(x, ijk);
    bucket[id] = (vtkIdType(ijk[0]) * this->Divisions[1] + ijk[1]) * this->Divisions[2] + ijk[2];
    ++this->Start[bucket[id] + 1];
  }
  for (vtkIdType b = 0; b < buckets; ++b)
  {
    this->Start[b + 1] += this->Start[b];
  }
  // Ids in increasing order within each bucket, as the locator inserted them.
  std::vector<vtkIdType> next(this->Start.begin(), this->Start.end() - 1);
  this->Coordinates.resize(3 * count);
  this->Ids.resize(count);
  for (vtkIdType id = 0; id < count; ++id)
  {
    const vtkIdType slot = next[bucket[id]]++;
    points->GetPoint(id, &this->Coordinates[3 * slot]);
    this->Ids[slot] = id;
  }
}

void locator_buckets::BucketOf(const double x[3], int ijk[3]) const
{
  for (int a = 0; a < 3; ++a)
  {
    const vtkIdType index = static_cast<vtkIdType>((x[a] - this->Origin[a]) * this->Scale[a]);
    ijk[a] = static_cast<int>(
      index < 0 ? 0 : (index >= this->Divisions[a] ? this->Divisions[a] - 1 : index));
  }
}

vtkIdType locator_buckets::Scan(vtkIdType first,
                                vtkIdType last,
                                const double x[3],
                                double radius2,
                                vtkIdType* ids,
                                double* distances2,
                                vtkIdType count) const
{
  // Every point is written and kept only if within the radius, so that the
  // loop has no branch on the distance.
  const vtkIdType end = this->Start[last + 1];
  for (vtkIdType slot = this->Start[first]; slot < end; ++slot)
  {
    const double* p = &this->Coordinates[3 * slot];
    const double d2 =
      (x[0] - p[0]) * (x[0] - p[0]) + (x[1] - p[1]) * (x[1] - p[1]) + (x[2] - p[2]) * (x[2] - p[2]);
    ids[count] = this->Ids[slot];
    distances2[count] = d2;
    count += d2 <= radius2;
  }
  return count;
}

vtkIdType locator_buckets::FindPointsWithinRadius(double radius,
                                                  const double x[3],
                                                  std::vector<vtkIdType>& ids,
                                                  std::vector<double>& distances2) const
{
  if (this->Ids.empty())
  {
    return 0;
  }
  const double radius2 = radius * radius;
  vtkIdType count = 0;
  // Scans the buckets first ... last, with room for all their points.
  auto run = [&](vtkIdType first, vtkIdType last)
  {
    const std::size_t room = count + this->Start[last + 1] - this->Start[first];
    ids.resize(std::max(ids.size(), room));
    distances2.resize(std::max(distances2.size(), room));
    count = this->Scan(first, last, x, radius2, ids.data(), distances2.data(), count);
  };
  int own[3];
  int low[3];
  int high[3];
  const double xLow[3] = { x[0] - radius, x[1] - radius, x[2] - radius };
  const double xHigh[3] = { x[0] + radius, x[1] + radius, x[2] + radius };
  this->BucketOf(x, own);
  this->BucketOf(xLow, low);
  this->BucketOf(xHigh, high);
  for (int i = low[0]; i <= high[0]; ++i)
  {
    for (int j = low[1]; j <= high[1]; ++j)
    {
      // The buckets (i, j, low[2] ... high[2]) are consecutive; the bucket
      // of x is left out here and taken last.
      const vtkIdType column = (vtkIdType(i) * this->Divisions[1] + j) * this->Divisions[2];
      if (i == own[0] && j == own[1])
      {
        if (own[2] > low[2])
        {
          run(column + low[2], column + own[2] - 1);
        }
        if (own[2] < high[2])
        {
          run(column + own[2] + 1, column + high[2]);
        }
      }
      else
      {
        run(column + low[2], column + high[2]);
      }
    }
  }
  const vtkIdType mine =
    (vtkIdType(own[0]) * this->Divisions[1] + own[1]) * this->Divisions[2] + own[2];
  run(mine, mine);
  return count;
}

void locator_buckets::FindPointsWithinRadius(double radius,
                                             const double x[3],
                                             std::vector<vtkIdType>& ids) const
{
  // The distances go to storage of the calling thread, kept between calls.
  thread_local std::vector<double> distances2;
  ids.resize(this->FindPointsWithinRadius(radius, x, ids, distances2));
}
}
}
