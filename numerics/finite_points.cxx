#include "finite_points.h"

#include <vtkDataArray.h>
#include <vtkPoints.h>

namespace animation
{
namespace core
{
bool AllPointsFinite(vtkPoints* points)
{
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
    {
      return false;
    }
  }
  return true;
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
