// A flat copy of the buckets of a built vtkPointLocator, answering the
// locator's FindPointsWithinRadius with the same points in the same order.
//
// The locator divides the bounds of its points into Divisions[0] x
// Divisions[1] x Divisions[2] buckets of width H, and keeps the ids of the
// points of each bucket in a list, in increasing id (insertion) order. A
// radius query for x visits the buckets that overlap the box x - R ... x + R,
// with the first index outermost and the third innermost, skipping the
// bucket of x, then the bucket of x last; it keeps each point p of a bucket,
// in the bucket's order, whose squared distance
//
//   (x0 - p0)^2 + (x1 - p1)^2 + (x2 - p2)^2
//
// summed in that order in double precision is at most R*R. Bucket indices
// come from the locator's own formula, truncation of (x - origin) / H
// clamped to the divisions, so points on bucket boundaries fall as they fall
// for the locator.
//
// Here the buckets are numbered with the third index fastest, in the order
// in which a query visits them, and their points are stored contiguously in
// that numbering, coordinates beside ids. A query then reads, for each pair
// of first and second indices, one contiguous run of points instead of a
// list per bucket, and calls nothing virtual. The copy is read-only once
// made, so any number of threads may query it at once.
#ifndef locator_buckets_h
#define locator_buckets_h

#include <vtkType.h>

#include <vector>

class vtkPointLocator;

namespace animation
{
namespace core
{
class locator_buckets
{
public:
  // Copies the buckets of locator, building it first if it is not built. A
  // locator without a data set or points gives a copy that finds nothing.
  explicit locator_buckets(vtkPointLocator* locator);

  // The ids of the points within radius of x (distance <= radius), in the
  // order of vtkPointLocator::FindPointsWithinRadius. ids is cleared first.
  void FindPointsWithinRadius(double radius, const double x[3], std::vector<vtkIdType>& ids) const;

  // The same points with their squared distances from x, summed as above:
  // returns their number, count; ids[0 ... count-1] and distances2[0 ...
  // count-1] hold them. Both vectors are grown as needed and never shrunk,
  // so that a caller that keeps them allocates nothing once they are large
  // enough.
  vtkIdType FindPointsWithinRadius(double radius,
                                   const double x[3],
                                   std::vector<vtkIdType>& ids,
                                   std::vector<double>& distances2) const;

private:
  // Bucket indices of x, as vtkPointLocator computes them.
  void BucketOf(const double x[3], int ijk[3]) const;
  // Stores the points of the buckets first ... last that lie within
  // sqrt(radius2) of x at ids[count ...] and distances2[count ...], which
  // have room for all the points of the buckets; returns the new count.
  vtkIdType Scan(vtkIdType first,
                 vtkIdType last,
                 const double x[3],
                 double radius2,
                 vtkIdType* ids,
                 double* distances2,
                 vtkIdType count) const;

  double Origin[3] = {};
  double Scale[3] = {}; // 1 / H
  int Divisions[3] = {};
  std::vector<vtkIdType> Start;    // buckets + 1: first slot of each bucket
  std::vector<double> Coordinates; // 3 per slot
  std::vector<vtkIdType> Ids;      // 1 per slot
};
}
}

#endif
