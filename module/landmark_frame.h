// The frame in which both toolkit transforms fit and evaluate their fields
// (vtkLandmarkSplineTransform.h): a point x is fitted and evaluated at
// u = (x - Centre) / Scale. A field of u is a displacement in units of Scale,
// and its Jacobian is the same in both units (ds/dx = (Scale ds/du) (du/dx)).
#ifndef animation_landmark_frame_h
#define animation_landmark_frame_h

#include <vtkMath.h>
#include <vtkPoints.h>

#include <algorithm>
#include <cmath>

namespace animation
{
struct landmark_frame
{
  double Centre[3] = { 0.0, 0.0, 0.0 };
  double Scale = 1.0; // the extent; 1 for landmarks at one position
  double Extent = 0.0;

  // The frame of the points (at least one).
  static landmark_frame Of(vtkPoints* points)
  {
    landmark_frame frame;
    const vtkIdType n = points->GetNumberOfPoints();
    for (vtkIdType k = 0; k < n; ++k)
    {
      double p[3];
      points->GetPoint(k, p);
      for (int a = 0; a < 3; ++a)
      {
        frame.Centre[a] += p[a] / n;
      }
    }
    for (vtkIdType k = 0; k < n; ++k)
    {
      double p[3];
      points->GetPoint(k, p);
      frame.Extent =
        std::max(frame.Extent, std::sqrt(vtkMath::Distance2BetweenPoints(p, frame.Centre)));
    }
    frame.Scale = frame.Extent > 0.0 ? frame.Extent : 1.0;
    return frame;
  }

  // u = (x - Centre) / Scale.
  void ToFrame(const double x[3], double u[3]) const
  {
    for (int a = 0; a < 3; ++a)
    {
      u[a] = (x[a] - this->Centre[a]) / this->Scale;
    }
  }
};
}

#endif
