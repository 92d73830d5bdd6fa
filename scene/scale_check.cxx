#include "scale_check.h"

#include "vtkDatReader.h"
#include "vtkShapeTransform.h"

#include <vtkIdList.h>
#include <vtkMath.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkStaticCellLocator.h>
#include <vtkStaticPointLocator.h>

#include <algorithm>
#include <cmath>
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

// Control points that move nothing or less than their targets say: sources
// beyond the radius of every mesh point (unreached), and sources off the
// surface by more than a tenth of the radius but within the radius of it
// (typed in the wrong axes or units, or beside the face). The surface is never
// farther than the nearest mesh point: only a source whose nearest point lies
// beyond the tenth of the radius is measured against the cells, whose locator
// is built for the first such source.
void WarnAboutSourcesAwayFromTheSurface(double radius, vtkPoints* sources, vtkPolyData* face)
{
  auto points = vtkSmartPointer<vtkStaticPointLocator>::New();
  points->SetDataSet(face);
  points->BuildLocator();
  vtkSmartPointer<vtkStaticCellLocator> cells;
  const double near = OffSurfaceRadiusShare * radius;
  vtkIdType unreached = 0;
  vtkIdType firstUnreached = -1;
  vtkIdType off = 0;
  vtkIdType firstOff = -1;
  for (vtkIdType id = 0; id < sources->GetNumberOfPoints(); ++id)
  {
    const double* source = sources->GetPoint(id);
    double distance2;
    if (points->FindClosestPointWithinRadius(radius, source, distance2) < 0)
    {
      firstUnreached = unreached == 0 ? id : firstUnreached;
      ++unreached;
    }
    if (points->FindClosestPointWithinRadius(near, source, distance2) >= 0)
    {
      continue;
    }
    if (!cells)
    {
      cells = vtkSmartPointer<vtkStaticCellLocator>::New();
      cells->SetDataSet(face);
      cells->BuildLocator();
    }
    double closest[3];
    vtkIdType cell;
    int subId;
    cells->FindClosestPoint(source, closest, cell, subId, distance2);
    if (cell >= 0 && distance2 > near * near && distance2 <= radius * radius)
    {
      firstOff = off == 0 ? id : firstOff;
      ++off;
    }
  }
  if (unreached > 0)
  {
    const double* source = sources->GetPoint(firstUnreached);
    const bool one = unreached == 1;
    std::cerr << "Warning: " << unreached << (one ? " control point lies" : " control points lie")
              << " farther than SupportRadius " << radius
              << " from every point of the face mesh and " << (one ? "moves" : "move")
              << " nothing (the first is control point " << firstUnreached + 1 << ", source "
              << source[0] << " " << source[1] << " " << source[2] << ")" << std::endl;
  }
  const vtkIdType count = sources->GetNumberOfPoints();
  if (off > 0 && off >= OffSurfaceWarningShare * count)
  {
    const double* source = sources->GetPoint(firstOff);
    std::cerr << "Warning: " << off << " of " << count
              << " control points lie off the face's surface by more than " << near
              << " (a tenth of SupportRadius " << radius
              << ") and move it less than their targets say (the first is control point "
              << firstOff + 1 << ", source " << source[0] << " " << source[1] << " " << source[2]
              << "); are they in the face mesh's axes and units?" << std::endl;
  }
}
}

void WarnAboutScale(vtkDatReader* reader, vtkPolyData* face)
{
  const double radius = reader->GetRadius();
  WarnAboutRadius(radius, face);
  WarnAboutSourcesAwayFromTheSurface(radius, reader->GetPointArray(), face);
}

double LargestControlPointMove(vtkDatReader* reader)
{
  double largest = 0;
  for (vtkIdType id = 0; id < reader->GetPointArray()->GetNumberOfPoints(); ++id)
  {
    double source[3], target[3];
    reader->GetPointArray()->GetPoint(id, source);
    reader->GetPointArrayN()->GetPoint(id, target);
    largest = std::max(largest, std::sqrt(vtkMath::Distance2BetweenPoints(source, target)));
  }
  return largest;
}

namespace
{
// The pair of control points within radius of each other whose moves differ
// the most for their distance: |m(i) - m(j)| / |p(i) - p(j)| largest.
struct steepest_pair
{
  vtkIdType First = -1;
  vtkIdType Second = -1;
  double Distance = 0.0;
  double MoveDifference = 0.0;
};

steepest_pair FindSteepestPair(vtkPoints* sources, vtkPoints* targets, double radius)
{
  auto set = vtkSmartPointer<vtkPolyData>::New();
  set->SetPoints(sources);
  auto locator = vtkSmartPointer<vtkStaticPointLocator>::New();
  locator->SetDataSet(set);
  locator->BuildLocator();
  auto neighbours = vtkSmartPointer<vtkIdList>::New();
  steepest_pair steepest;
  double steepestSlope = 0.0;
  for (vtkIdType i = 0; i < sources->GetNumberOfPoints(); ++i)
  {
    double p[3], q[3];
    sources->GetPoint(i, p);
    targets->GetPoint(i, q);
    locator->FindPointsWithinRadius(radius, p, neighbours);
    for (vtkIdType k = 0; k < neighbours->GetNumberOfIds(); ++k)
    {
      const vtkIdType j = neighbours->GetId(k);
      double pj[3], qj[3];
      sources->GetPoint(j, pj);
      targets->GetPoint(j, qj);
      const double distance = std::sqrt(vtkMath::Distance2BetweenPoints(p, pj));
      if (j <= i || distance == 0.0)
      {
        continue;
      }
      const double difference[3] = { (q[0] - p[0]) - (qj[0] - pj[0]),
                                     (q[1] - p[1]) - (qj[1] - pj[1]),
                                     (q[2] - p[2]) - (qj[2] - pj[2]) };
      const double moveDifference = vtkMath::Norm(difference);
      if (moveDifference / distance > steepestSlope)
      {
        steepestSlope = moveDifference / distance;
        steepest = { i, j, distance, moveDifference };
      }
    }
  }
  return steepest;
}
}

void WarnAboutOvershoot(vtkDatReader* reader, vtkShapeTransform* transform)
{
  vtkPoints* displacements = transform->GetDisplacements();
  if (!transform->GetDisplacementsCached() || !displacements)
  {
    return;
  }
  double largest = 0.0;
  for (vtkIdType i = 0; i < displacements->GetNumberOfPoints(); ++i)
  {
    largest = std::max(largest, vtkMath::Norm(displacements->GetPoint(i)));
  }
  const double largestMove = LargestControlPointMove(reader);
  if (!(largest > LargestOvershoot * largestMove))
  {
    return;
  }
  const steepest_pair pair =
    FindSteepestPair(reader->GetPointArray(), reader->GetPointArrayN(), reader->GetRadius());
  const bool wendland = reader->GetFitOptions().Kernel == animation::core::basis_kernel::wendland;
  std::cerr << "Warning: the deformation moves face points by up to " << largest << ", "
            << largest / largestMove << " times the largest control-point move " << largestMove;
  if (pair.First >= 0)
  {
    std::cerr << ": control points " << pair.First + 1 << " and " << pair.Second + 1 << " lie "
              << pair.Distance << " apart but their moves differ by " << pair.MoveDifference
              << ", and the field overshoots to pass through both";
  }
  std::cerr << "; "
            << (wendland ? "write \"Kernel quadratic\", which bends sharply at a control point "
                           "instead of overshooting, or a \"Smoothing\" such as 0.01"
                         : "write a \"Smoothing\" such as 0.01")
            << " in woman.ptt" << std::endl;
}

void WarnAboutMotionBeyondSupports(vtkDatReader* reader, vtkShapeTransform* transform)
{
  const double largestMove = LargestControlPointMove(reader);
  const double beyond = transform->GetLargestMoveBeyondSupports();
  if (beyond > LargestShareMovedBeyondSupports * largestMove)
  {
    std::cerr << "Warning: the affine part of the deformation moves face points farther than "
                 "SupportRadius "
              << reader->GetRadius() << " from every control point by up to " << beyond
              << ", more than a tenth of the largest control-point move " << largestMove
              << "; to keep the rest of the face still, put fixed control points (source equal "
                 "to target) around the edit, or write \"Polynomial no\" in woman.ptt"
              << std::endl;
  }
}
