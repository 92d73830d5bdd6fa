// Checks of point coordinates and data arrays, shared by the mesh checks of
// the program, the checks of its outputs and the landmark checks of the warp
// transforms.
#ifndef finite_points_h
#define finite_points_h

#include <algorithm>
#include <cmath>
#include <cstddef>

class vtkDataArray;
class vtkPoints;

namespace animation
{
namespace core
{
// True when every coordinate of every point is finite (no infinity, no NaN);
// true for an empty set.
bool AllPointsFinite(vtkPoints* points);

// True when array is not of floating-point values (a float or double array),
// or when every value of it is finite.
bool AllValuesFinite(vtkDataArray* array);

// True when each of the count values is finite.
template<typename T>
bool AllFinite(const T* values, std::size_t count)
{
  return std::all_of(values, values + count, [](T value) { return std::isfinite(value); });
}
}
}

#endif
