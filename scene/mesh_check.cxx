#include "mesh_check.h"

#include "finite_points.h"
#include "toolkit_messages.h"

#include <vtkAlgorithm.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkFieldData.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <cmath>
#include <sstream>

namespace
{
// True when every point id of the cells of mesh names one of its points. The
// ids are read one by one: GetRange would store the range in the array's
// information, which the mesh writer then writes out with the mesh.
bool CellsNameOnlyItsPoints(vtkPolyData* mesh)
{
  const vtkIdType count = mesh->GetNumberOfPoints();
  for (vtkCellArray* cells :
       { mesh->GetVerts(), mesh->GetLines(), mesh->GetPolys(), mesh->GetStrips() })
  {
    vtkDataArray* ids = cells ? cells->GetConnectivityArray() : nullptr;
    for (vtkIdType k = 0; ids && k < ids->GetNumberOfTuples(); ++k)
    {
      const double id = ids->GetTuple1(k);
      if (!(id >= 0 && id < count))
      {
        return false;
      }
    }
  }
  return true;
}

// The first point of points with a coordinate beyond MaximumCoordinate, or
// -1.
vtkIdType PointOutOfRange(vtkPoints* points)
{
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    if (std::fabs(p[0]) > MaximumCoordinate || std::fabs(p[1]) > MaximumCoordinate ||
        std::fabs(p[2]) > MaximumCoordinate)
    {
      return id;
    }
  }
  return -1;
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
  else if (mesh->GetNumberOfCells() == 0)
  {
    why = "it has points but no faces, lines or vertices to draw (is the file cut short?)";
  }
  else if (!animation::core::AllPointsFinite(points))
  {
    why = "it holds a coordinate that is not finite";
  }
  else if (const vtkIdType far = PointOutOfRange(points); far >= 0)
  {
    double p[3];
    points->GetPoint(far, p);
    std::ostringstream text;
    text << "its point " << far << " (" << p[0] << " " << p[1] << " " << p[2]
         << ") lies beyond the coordinate range -" << MaximumCoordinate << " to "
         << MaximumCoordinate
         << ", where distances overflow single precision and the outputs would hold infinities";
    why = text.str();
  }
  else if (!CellsNameOnlyItsPoints(mesh))
  {
    why = "it has a cell that names a point it does not have";
  }
  else
  {
    return true;
  }
  return false;
}

std::vector<std::string> DropArraysThatAreNotFinite(vtkPolyData* mesh)
{
  std::vector<std::string> dropped;
  for (vtkFieldData* data : { static_cast<vtkFieldData*>(mesh->GetPointData()),
                              static_cast<vtkFieldData*>(mesh->GetCellData()) })
  {
    for (int k = data->GetNumberOfArrays() - 1; k >= 0; --k)
    {
      vtkDataArray* array = data->GetArray(k);
      if (array && !animation::core::AllValuesFinite(array))
      {
        dropped.push_back(array->GetName() ? array->GetName() : "unnamed");
        data->RemoveArray(k);
      }
    }
  }
  return dropped;
}
