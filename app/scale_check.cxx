#include "scale_check.h"

#include "vtkDatReader.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkStaticPointLocator.h>

#include <iostream>

namespace
{
void WarnAboutRadius(double radius, vtkPolyData* face)
{
  const double diagonal = face->GetLength();
  if (radius > LargestRadiusShare * diagonal)
  {
    std::cerr << "Warning: SupportRadius " << radius
              << " is more than half the size of the face mesh (bounding-box diagonal " << diagonal
              << "): every control point moves most of the face" << std::endl;
  }
  else if (radius < SmallestRadiusShare * diagonal)
  {
    std::cerr << "Warning: SupportRadius " << radius
              << " is less than 1/200 of the size of the face mesh (bounding-box diagonal "
              << diagonal << "): a control point moves hardly more than the point it sits on"
              << std::endl;
  }
}

void WarnAboutUnreachedControlPoints(double radius, vtkPoints* sources, vtkPolyData* face)
{
  auto locator = vtkSmartPointer<vtkStaticPointLocator>::New();
  locator->SetDataSet(face);
  locator->BuildLocator();
  vtkIdType unreached = 0;
  vtkIdType first = -1;
  for (vtkIdType id = 0; id < sources->GetNumberOfPoints(); ++id)
  {
    double distance2;
    if (locator->FindClosestPointWithinRadius(radius, sources->GetPoint(id), distance2) < 0)
    {
      if (unreached == 0)
      {
        first = id;
      }
      ++unreached;
    }
  }
  if (unreached > 0)
  {
    const double* source = sources->GetPoint(first);
    const bool one = unreached == 1;
    std::cerr << "Warning: " << unreached << (one ? " control point lies" : " control points lie")
              << " farther than SupportRadius " << radius
              << " from every point of the face mesh and " << (one ? "moves" : "move")
              << " nothing (the first is control point " << first + 1 << ", source " << source[0]
              << " " << source[1] << " " << source[2] << ")" << std::endl;
  }
}
}

void WarnAboutScale(vtkDatReader* reader, vtkPolyData* face)
{
  const double radius = reader->GetRadius();
  WarnAboutRadius(radius, face);
  WarnAboutUnreachedControlPoints(radius, reader->GetPointArray(), face);
}
