// head_mesh - sampling, contouring and finishing of the demo meshes.

#include "head_mesh.h"

#include "head_model.h"

#include <vtkFlyingEdges3D.h>
#include <vtkImageData.h>
#include <vtkLoopSubdivisionFilter.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPolyDataNormals.h>
#include <vtkQuadricDecimation.h>
#include <vtkUnsignedCharArray.h>
#include <vtkWindowedSincPolyDataFilter.h>

#include <algorithm>
#include <cmath>

namespace demo
{

namespace
{

// Finest grid spacing (scene units) used to sample a distance function.
const double kFinestSpacing = 0.012;
// Spacing of the trial contour that measures how many points a spacing gives.
const double kTrialSpacing = 0.045;
// The fine contour aims at this many times the budget before decimation.
const double kContourMargin = 1.3;
const double kHairSpacing = 0.025;
const vtkIdType kHairPoints = 16000;

using DistanceFunction = double (*)(const double[3]);

// Samples `distance` (head units) on a grid of the given spacing (scene units)
// that covers `box` (head units) placed in the scene, and returns the
// triangles of its zero level set in scene coordinates.
vtkSmartPointer<vtkPolyData> contour(DistanceFunction distance,
                                     const double box[2][3],
                                     double spacing)
{
  const HeadPlacement& head = demo_placement();
  double lo[3] = { 1e300, 1e300, 1e300 };
  double hi[3] = { -1e300, -1e300, -1e300 };
  for (int corner = 0; corner < 8; ++corner)
  {
    double local[3] = { box[corner & 1][0], box[(corner >> 1) & 1][1], box[(corner >> 2) & 1][2] };
    double world[3];
    head.ToWorld(local, world);
    for (int i = 0; i < 3; ++i)
    {
      lo[i] = std::min(lo[i], world[i]);
      hi[i] = std::max(hi[i], world[i]);
    }
  }
  int dims[3];
  for (int i = 0; i < 3; ++i)
  {
    dims[i] = static_cast<int>(std::ceil((hi[i] - lo[i]) / spacing)) + 1;
  }

  vtkNew<vtkImageData> grid;
  grid->SetOrigin(lo);
  grid->SetSpacing(spacing, spacing, spacing);
  grid->SetDimensions(dims);
  grid->AllocateScalars(VTK_FLOAT, 1);
  float* value = static_cast<float*>(grid->GetScalarPointer());
  for (int k = 0; k < dims[2]; ++k)
  {
    for (int j = 0; j < dims[1]; ++j)
    {
      for (int i = 0; i < dims[0]; ++i)
      {
        double world[3] = { lo[0] + i * spacing, lo[1] + j * spacing, lo[2] + k * spacing };
        double local[3];
        head.ToLocal(world, local);
        *value++ = static_cast<float>(distance(local));
      }
    }
  }

  vtkNew<vtkFlyingEdges3D> surface;
  surface->SetInputData(grid);
  surface->SetValue(0, 0.0);
  surface->ComputeNormalsOff();
  surface->ComputeGradientsOff();
  surface->ComputeScalarsOff();
  surface->Update();
  vtkSmartPointer<vtkPolyData> result = surface->GetOutput();
  return result;
}

// Smooths, decimates to about `points` points and adds outward point normals.
vtkSmartPointer<vtkPolyData> finish(vtkPolyData* raw, vtkIdType points)
{
  vtkNew<vtkWindowedSincPolyDataFilter> smooth;
  smooth->SetInputData(raw);
  smooth->SetNumberOfIterations(30);
  smooth->SetPassBand(0.02);
  smooth->NormalizeCoordinatesOn();
  smooth->BoundarySmoothingOff();
  smooth->FeatureEdgeSmoothingOff();
  smooth->NonManifoldSmoothingOn();
  smooth->Update();
  vtkSmartPointer<vtkPolyData> mesh = smooth->GetOutput();

  // Refine by Loop subdivision (each level about quadruples the points) when
  // the finest grid could not give enough of them.
  int levels = 0;
  for (vtkIdType n = mesh->GetNumberOfPoints(); n < points; n *= 4)
  {
    ++levels;
  }
  if (levels > 0)
  {
    vtkNew<vtkLoopSubdivisionFilter> refine;
    refine->SetInputData(mesh);
    refine->SetNumberOfSubdivisions(levels);
    refine->Update();
    mesh = refine->GetOutput();
  }

  // A closed triangle mesh has two triangles per point (less 4), so the
  // reduction of triangles is also the reduction of points.
  vtkIdType have = mesh->GetNumberOfPoints();
  if (have > points)
  {
    vtkNew<vtkQuadricDecimation> decimate;
    decimate->SetInputData(mesh);
    decimate->SetTargetReduction(1.0 - static_cast<double>(points) / have);
    decimate->VolumePreservationOn();
    decimate->Update();
    mesh = decimate->GetOutput();
  }

  vtkNew<vtkPolyDataNormals> normals;
  normals->SetInputData(mesh);
  normals->ComputePointNormalsOn();
  normals->ComputeCellNormalsOff();
  normals->SplittingOff();
  normals->ConsistencyOn();
  normals->AutoOrientNormalsOn();
  normals->Update();
  vtkSmartPointer<vtkPolyData> result = normals->GetOutput();
  return result;
}

} // namespace

vtkSmartPointer<vtkPolyData> make_face_mesh(vtkIdType points)
{
  // The number of contour points grows as the inverse square of the spacing.
  vtkSmartPointer<vtkPolyData> trial = contour(head_distance, kHeadBox, kTrialSpacing);
  double ratio = trial->GetNumberOfPoints() / (kContourMargin * points);
  double spacing = std::max(kFinestSpacing, kTrialSpacing * std::sqrt(ratio));
  vtkSmartPointer<vtkPolyData> mesh = finish(contour(head_distance, kHeadBox, spacing), points);

  const HeadPlacement& head = demo_placement();
  vtkNew<vtkUnsignedCharArray> colours;
  colours->SetName("Colors");
  colours->SetNumberOfComponents(3);
  colours->SetNumberOfTuples(mesh->GetNumberOfPoints());
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    double local[3], rgb[3];
    head.ToLocal(mesh->GetPoint(i), local);
    skin_colour(local, rgb);
    for (int c = 0; c < 3; ++c)
    {
      double byte = std::floor(255.0 * std::min(1.0, std::max(0.0, rgb[c])) + 0.5);
      colours->SetTypedComponent(i, c, static_cast<unsigned char>(byte));
    }
  }
  mesh->GetPointData()->SetScalars(colours);
  return mesh;
}

vtkSmartPointer<vtkPolyData> make_hair_mesh()
{
  return finish(contour(hair_distance, kHairBox, kHairSpacing), kHairPoints);
}

} // namespace demo
