// The README's C++ example on a flat grid mesh: one landmark lifts the
// centre of the grid by 0.1, six anchors around it hold the surface. The
// program ends with status 0 when the grid point on the moved landmark
// reaches its target and the four corners, farther than the support radius
// from every landmark, move by one affine map (the fit's polynomial part:
// the two diagonals' sums of moves agree) and by less than a tenth of the
// lift; otherwise it says what it found.
#include "readme_example_includes.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <algorithm>
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
  double centre[3];
  warped->GetPoint(220, centre);
  // The corners (0,0), (1,0), (0,1), (1,1) of the grid and their moves.
  const vtkIdType corners[4] = { 0, 20, 420, 440 };
  double moves[4][3];
  for (int c = 0; c < 4; ++c)
  {
    double before[3], after[3];
    mesh->GetPoint(corners[c], before);
    warped->GetPoint(corners[c], after);
    for (int a = 0; a < 3; ++a)
    {
      moves[c][a] = after[a] - before[a];
    }
  }
  double mismatch[3], largestMove = 0.0;
  for (int a = 0; a < 3; ++a)
  {
    mismatch[a] = moves[0][a] + moves[3][a] - moves[1][a] - moves[2][a];
  }
  for (const auto& move : moves)
  {
    largestMove =
      std::max(largestMove, std::sqrt(move[0] * move[0] + move[1] * move[1] + move[2] * move[2]));
  }
  std::printf(
    "centre (0.5, 0.5, 0) went to (%g, %g, %g); the corners moved by at most %g, "
    "off an affine map by %g\n",
    centre[0],
    centre[1],
    centre[2],
    largestMove,
    std::sqrt(mismatch[0] * mismatch[0] + mismatch[1] * mismatch[1] + mismatch[2] * mismatch[2]));
  const bool centreLifted = Distance(centre, lifted) < 1e-5;
  const bool cornersAffine = std::sqrt(mismatch[0] * mismatch[0] + mismatch[1] * mismatch[1] +
                                       mismatch[2] * mismatch[2]) < 1e-6;
  return centreLifted && cornersAffine && largestMove < 0.01 ? 0 : 1;
}
