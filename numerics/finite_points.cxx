#include "finite_points.h"

#include <vtkPoints.h>

#include <cmath>

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
