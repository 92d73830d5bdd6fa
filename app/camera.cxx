#include "camera.h"

#include "program_error.h"
#include "scale_check.h"
#include "vtkDatReader.h"

#include <vtkBoundingBox.h>
#include <vtkCamera.h>
#include <vtkMath.h>
#include <vtkMatrix4x4.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderer.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace
{
// The fixed camera's clipping range, for the region its position, focal point
// and view-up show.
constexpr double FixedNear = 0.168546;
constexpr double FixedFar = 16.8546;

// A mesh "at a sensible size" spans, across the view, between a tenth of the
// window and three windows.
constexpr double SmallestShare = 0.1;
constexpr double LargestShare = 3.0;

// True when the box lies wholly in front of the camera within its clipping
// range, its middle projects into the window, and its projection spans a
// sensible share of the window.
bool ShowsAtASensibleSize(vtkCamera* camera, const double box[6], double aspect)
{
  vtkMatrix4x4* projection = camera->GetCompositeProjectionTransformMatrix(aspect, -1, 1);
  double low[2] = { VTK_DOUBLE_MAX, VTK_DOUBLE_MAX };
  double high[2] = { -VTK_DOUBLE_MAX, -VTK_DOUBLE_MAX };
  for (int corner = 0; corner < 8; ++corner)
  {
    const double point[4] = {
      box[corner & 1], box[2 + ((corner >> 1) & 1)], box[4 + ((corner >> 2) & 1)], 1.0
    };
    double view[4];
    projection->MultiplyPoint(point, view);
    // Behind the camera, or in front of the near or beyond the far plane.
    if (view[3] <= 0 || view[2] < -view[3] || view[2] > view[3])
    {
      return false;
    }
    for (int axis = 0; axis < 2; ++axis)
    {
      low[axis] = std::min(low[axis], view[axis] / view[3]);
      high[axis] = std::max(high[axis], view[axis] / view[3]);
    }
  }
  // The window spans -1 ... 1 on both axes.
  const double share = std::max(high[0] - low[0], high[1] - low[1]) / 2;
  const bool middleInView = std::abs(low[0] + high[0]) <= 2 && std::abs(low[1] + high[1]) <= 2;
  return middleInView && share >= SmallestShare && share <= LargestShare;
}

void CheckCameraKeywords(const double position[3],
                         const double focalPoint[3],
                         const double viewUp[3])
{
  double direction[3];
  vtkMath::Subtract(focalPoint, position, direction);
  double side[3];
  vtkMath::Cross(direction, viewUp, side);
  if (vtkMath::Norm(direction) == 0)
  {
    throw program_error("CameraPosition and CameraFocalPoint must be different points");
  }
  if (vtkMath::Norm(side) <= 1e-9 * vtkMath::Norm(direction) * vtkMath::Norm(viewUp))
  {
    throw program_error(
      "CameraViewUp must not be zero or point along the line from CameraPosition to "
      "CameraFocalPoint");
  }
}

// A vector of the Z-up frame in the Y-up frame of the same scene: Y up
// formats keep x, take the Z-up z as their y and look along -z where Z up
// looks along y.
void ZUpToYUp(const double in[3], double out[3])
{
  out[0] = in[0];
  out[1] = in[2];
  out[2] = -in[1];
}
}

SceneBounds MeasureScene(vtkPolyData* face, vtkPolyData* hair, vtkDatReader* reader)
{
  const double reach = LargestControlPointMove(reader);
  SceneBounds bounds;
  vtkBoundingBox box(face->GetBounds());
  box.Inflate(reach);
  box.GetBounds(bounds.Face);
  if (hair)
  {
    box.AddBounds(hair->GetBounds());
  }
  box.GetBounds(bounds.All);
  return bounds;
}

void PlaceCamera(vtkRenderer* renderer,
                 vtkDatReader* reader,
                 const SceneBounds& bounds,
                 double aspect,
                 bool yUp)
{
  vtkCamera* camera = renderer->GetActiveCamera();
  double position[3], focalPoint[3], viewUp[3];
  reader->GetCameraPosition(position);
  reader->GetCameraFocalPoint(focalPoint);
  reader->GetCameraViewUp(viewUp);
  if (reader->GetUseCamera())
  {
    CheckCameraKeywords(position, focalPoint, viewUp);
  }
  else if (yUp)
  {
    for (double* vector : { position, focalPoint, viewUp })
    {
      const double zUp[3] = { vector[0], vector[1], vector[2] };
      ZUpToYUp(zUp, vector);
    }
  }
  camera->SetPosition(position[0], position[1], position[2]);
  camera->SetFocalPoint(focalPoint[0], focalPoint[1], focalPoint[2]);
  camera->SetViewUp(viewUp[0], viewUp[1], viewUp[2]);
  if (reader->GetUseCamera())
  {
    camera->OrthogonalizeViewUp();
    renderer->ResetCameraClippingRange(bounds.All);
    return;
  }
  camera->SetClippingRange(FixedNear, FixedFar);
  if (ShowsAtASensibleSize(camera, bounds.Face, aspect))
  {
    return;
  }
  // Keeps the viewing direction and view-up; moves the focal point to the
  // middle of the box and the camera back until the box fits the view.
  renderer->ResetCamera(bounds.Face);
  renderer->ResetCameraClippingRange(bounds.All);
  std::cerr << "The face mesh does not fill the fixed camera's view: the camera was moved to "
               "frame the mesh (CameraPosition, CameraFocalPoint and CameraViewUp set it)"
            << std::endl;
}
