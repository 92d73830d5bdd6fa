// The README's C++ example on a flat grid mesh: one landmark lifts the
// centre of the grid by 0.1, six anchors around it hold the surface. The
// program ends with status 0 when the grid point on the moved landmark
// reaches its target and a grid point farther than the support radius from
// every landmark stays where it was; otherwise it says what it found.
#include "readme_example_includes.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <cmath>
#include <cstdio>

namespace
{
// The README's statements, with its variables source, target and mesh.
vtkSmartPointer<vtkPolyData> WarpAsTheReadmeDoes(vtkPoints* source,
                                                 vtkPoints* target,
                                                 vtkPolyData* mesh)
{
#include "readme_example_statements.inc"
  return filter->GetOutput();
}

double Distance(const double a[3], const double b[3])
{
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}
}

int main()
{
  // A 21 x 21 grid over the unit square in the plane z = 0; point 220 is
  // its centre (0.5, 0.5, 0), point 0 the corner at the origin.
  vtkNew<vtkPoints> grid;
  for (int j = 0; j <= 20; ++j)
  {
    for (int i = 0; i <= 20; ++i)
    {
      grid->InsertNextPoint(i / 20.0, j / 20.0, 0.0);
    }
  }
  vtkNew<vtkPolyData> mesh;
  mesh->SetPoints(grid);

  const double lifted[3] = { 0.5, 0.5, 0.1 };
  const double anchors[6][3] = { { 0.3, 0.5, 0.0 }, { 0.7, 0.5, 0.0 }, { 0.5, 0.3, 0.0 },
                                 { 0.5, 0.7, 0.0 }, { 0.5, 0.5, 0.2 }, { 0.5, 0.5, -0.2 } };
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  source->InsertNextPoint(0.5, 0.5, 0.0);
  target->InsertNextPoint(lifted);
  for (const auto& anchor : anchors)
  {
    source->InsertNextPoint(anchor);
    target->InsertNextPoint(anchor);
  }

  vtkSmartPointer<vtkPolyData> warped = WarpAsTheReadmeDoes(source, target, mesh);
  if (warped->GetNumberOfPoints() != mesh->GetNumberOfPoints())
  {
    std::printf("the warped mesh has %lld points, not %lld\n",
                static_cast<long long>(warped->GetNumberOfPoints()),
                static_cast<long long>(mesh->GetNumberOfPoints()));
    return 1;
  }
  double centre[3], corner[3], origin[3] = { 0.0, 0.0, 0.0 };
  warped->GetPoint(220, centre);
  warped->GetPoint(0, corner);
  std::printf("centre (0.5, 0.5, 0) went to (%g, %g, %g); corner (0, 0, 0) to (%g, %g, %g)\n",
              centre[0],
              centre[1],
              centre[2],
              corner[0],
              corner[1],
              corner[2]);
  const bool centreLifted = Distance(centre, lifted) < 1e-5;
  const bool cornerKept = Distance(corner, origin) == 0.0;
  return centreLifted && cornerKept ? 0 : 1;
}
