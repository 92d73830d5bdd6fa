// Size of the interpolation matrix, estimated before the ordering of the
// control points is computed, so that a run whose matrix cannot fit in memory
// is refused within seconds instead of after minutes of ordering.
#ifndef envelope_estimate_h
#define envelope_estimate_h

#include <cstdint>

class vtkPointLocator;
class vtkPoints;

namespace animation
{
namespace core
{
struct envelope_estimate
{
  std::int64_t Entries;  // stored entries below the diagonal
  double MeanNeighbours; // other points within the radius, per point
};

// Estimates the envelope that the breadth-first order of order_points (fit.h)
// gives the matrix of count points; the method is described in
// envelope_estimate.cxx. Never more than count (count - 1) / 2 entries.
//   count    in: number of points
//   radius   in: neighbourhood (support) radius
//   points   in: the points
//   locator  in: a locator built over points
envelope_estimate EstimateEnvelope(int count,
                                   float radius,
                                   vtkPoints* points,
                                   vtkPointLocator* locator);

// Bytes of the matrix with entries envelope entries and count rows, as the
// solver reports its size: four per entry and eight per row.
std::int64_t MatrixBytes(std::int64_t entries, int count);
}
}

#endif
