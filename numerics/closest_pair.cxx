#include "closest_pair.h"

#include "basis_function.h"

#include <vtkIdList.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <cmath>

namespace animation
{
namespace core
{
closest_pair find_closest_pair(vtkIdType n, const float* points, double radius, basis_kernel kernel)
{
  closest_pair closest;
  if (n < 2)
  {
    return closest;
  }
  vtkNew<vtkPoints> set;
  set->SetDataTypeToFloat();
  set->SetNumberOfPoints(n);
  std::copy(points, points + 3 * n, static_cast<float*>(set->GetVoidPointer(0)));
  vtkNew<vtkPolyData> data;
  data->SetPoints(set);
  vtkNew<vtkPointLocator> locator;
  locator->SetDataSet(data);
  locator->BuildLocator();
  vtkNew<vtkIdList> found;
  double distance = VTK_DOUBLE_MAX;
  for (vtkIdType i = 0; i < n; ++i)
  {
    double x[3];
    set->GetPoint(i, x);
    // The two closest to x: x itself, or its twin, and its nearest other.
    locator->FindClosestNPoints(2, x, found);
    for (vtkIdType k = 0; k < found->GetNumberOfIds(); ++k)
    {
      const vtkIdType j = found->GetId(k);
      double y[3];
      set->GetPoint(j, y);
      const double d = std::sqrt(vtkMath::Distance2BetweenPoints(x, y));
      if (j != i && d < distance)
      {
        distance = d;
        closest.First = std::min(i, j);
        closest.Second = std::max(i, j);
      }
    }
  }
  closest.Distance = distance;
  closest.NearlySameBasisValue =
    1.0 - basis_value(kernel, std::min(distance / radius, 1.0), 1.0) < nearly_one_basis_value;
  return closest;
}
}
}
