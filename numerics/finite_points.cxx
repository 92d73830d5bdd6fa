#include "finite_points.h"

#include <vtkDataArray.h>
#include <vtkPoints.h>

namespace animation
{
namespace core
{
bool AllPointsFinite(vtkPoints* points)
{
  // The coordinates are the values of the points' data array.
  return AllValuesFinite(points->GetData());
}

bool AllValuesFinite(vtkDataArray* array)
{
  if (!array->IsA("vtkFloatArray") && !array->IsA("vtkDoubleArray"))
  {
    return true;
  }
  const int components = array->GetNumberOfComponents();
  for (vtkIdType v = 0; v < array->GetNumberOfValues(); ++v)
  {
    if (!std::isfinite(array->GetComponent(v / components, static_cast<int>(v % components))))
    {
      return false;
    }
  }
  return true;
}
}
}
