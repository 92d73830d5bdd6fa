#include "mesh_check.h"

#include "finite_points.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkOutputWindow.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

namespace
{
void CountComplaint(vtkObject*, unsigned long, void* count, void*)
{
  ++*static_cast<int*>(count);
}

// Errors and warnings that the toolkit shows while the reader runs; many of
// the reader's are not tied to the reader object, so the output window that
// shows them all is observed.
int ReadCountingComplaints(vtkPolyDataReader* reader)
{
  int complaints = 0;
  auto counter = vtkSmartPointer<vtkCallbackCommand>::New();
  counter->SetCallback(CountComplaint);
  counter->SetClientData(&complaints);
  vtkOutputWindow* window = vtkOutputWindow::GetInstance();
  const unsigned long onError = window->AddObserver(vtkCommand::ErrorEvent, counter);
  const unsigned long onWarning = window->AddObserver(vtkCommand::WarningEvent, counter);
  reader->Update();
  window->RemoveObserver(onError);
  window->RemoveObserver(onWarning);
  return complaints;
}

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

bool ReadCheckedMesh(vtkPolyDataReader* reader, std::string& why)
{
  const int complaints = ReadCountingComplaints(reader);
  vtkPolyData* mesh = reader->GetOutput();
  vtkPoints* points = mesh->GetPoints();
  if (complaints != 0 || reader->GetErrorCode() != 0)
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
