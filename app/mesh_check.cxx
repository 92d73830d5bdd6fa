#include "mesh_check.h"

#include "finite_points.h"
#include "toolkit_messages.h"

#include <vtkAlgorithm.h>
#include <vtkCellArray.h>
#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

namespace
{
// True when every point id of cells lies in 0 ... count - 1. The ids are
// read one by one: GetRange would store the range in the array's
// information, which the mesh writer then writes out with the mesh.
bool NamesOnlyPoints(vtkCellArray* cells, vtkIdType count)
{
  if (!cells)
  {
    return true;
  }
  vtkDataArray* ids = cells->GetConnectivityArray();
  for (vtkIdType k = 0; k < ids->GetNumberOfTuples(); ++k)
  {
    const double id = ids->GetTuple1(k);
    if (!(id >= 0 && id < count))
    {
      return false;
    }
  }
  return true;
}
}

bool ReadCheckedMesh(vtkAlgorithm* reader, std::string& why)
{
  // Many of the readers' complaints are not tied to the reader object, so
  // every message of the toolkit is counted while it runs.
  int complaints = 0;
  {
    ToolkitMessageCapture capture;
    reader->Update();
    complaints = capture.Complaints();
  }
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  vtkPoints* points = mesh ? mesh->GetPoints() : nullptr;
  if (complaints != 0 || reader->GetErrorCode() != 0 || !mesh)
  {
    why = "the file is missing, unreadable or incomplete";
  }
  else if (!points || points->GetNumberOfPoints() == 0)
  {
    why = "it has no points";
  }
  else if (!AllPointsFinite(points))
  {
    why = "it holds a coordinate that is not finite";
  }
  else if (!NamesOnlyPoints(mesh->GetVerts(), points->GetNumberOfPoints()) ||
           !NamesOnlyPoints(mesh->GetLines(), points->GetNumberOfPoints()) ||
           !NamesOnlyPoints(mesh->GetPolys(), points->GetNumberOfPoints()) ||
           !NamesOnlyPoints(mesh->GetStrips(), points->GetNumberOfPoints()))
  {
    why = "it has a cell that names a point it does not have";
  }
  else
  {
    return true;
  }
  return false;
}
