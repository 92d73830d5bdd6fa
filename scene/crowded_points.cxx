#include "crowded_points.h"

#include <vtkCellArray.h>
#include <vtkCellArrayIterator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <array>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace
{
// The position of a point as the key of a hash map: coincident points have
// equal bits (a zero of either sign aside, which the merge keeps apart too).
using Position = std::array<double, 3>;

struct PositionHash
{
  std::size_t operator()(const Position& p) const
  {
    return std::hash<std::string_view>()(
      std::string_view(reinterpret_cast<const char*>(p.data()), sizeof(Position)));
  }
};

// One number a position: merged[i] is the number of the first point at the
// position of point i.
std::vector<vtkIdType> MergedNumbers(vtkPoints* points)
{
  const vtkIdType n = points->GetNumberOfPoints();
  std::unordered_map<Position, vtkIdType, PositionHash> first;
  first.reserve(static_cast<std::size_t>(n));
  std::vector<vtkIdType> merged(static_cast<std::size_t>(n));
  for (vtkIdType i = 0; i < n; ++i)
  {
    Position p;
    points->GetPoint(i, p.data());
    merged[static_cast<std::size_t>(i)] = first.emplace(p, i).first->second;
  }
  return merged;
}

// Adds to faces[m] one for every cell of cells that uses a point merged to m.
void CountFaces(vtkCellArray* cells,
                const std::vector<vtkIdType>& merged,
                std::vector<double>& faces)
{
  auto cell = vtk::TakeSmartPointer(cells->NewIterator());
  for (cell->GoToFirstCell(); !cell->IsDoneWithTraversal(); cell->GoToNextCell())
  {
    vtkIdType size;
    const vtkIdType* ids;
    cell->GetCurrentCell(size, ids);
    for (vtkIdType k = 0; k < size; ++k)
    {
      faces[static_cast<std::size_t>(merged[static_cast<std::size_t>(ids[k])])] += 1;
    }
  }
}
}

double PointCrowding(vtkPolyData* mesh)
{
  if (!mesh->GetPoints())
  {
    return 0;
  }
  const std::vector<vtkIdType> merged = MergedNumbers(mesh->GetPoints());
  std::vector<double> faces(merged.size(), 0.0);
  CountFaces(mesh->GetPolys(), merged, faces);
  CountFaces(mesh->GetStrips(), merged, faces);
  double uses = 0;
  double squares = 0;
  for (double count : faces)
  {
    uses += count;
    squares += count * count;
  }
  return uses > 0 ? squares / uses : 0;
}
