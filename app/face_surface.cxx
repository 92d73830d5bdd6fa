#include "face_surface.h"

#include "mesh_reader.h"
#include "vtkDatReader.h"

#include <vtkCellData.h>
#include <vtkCleanPolyData.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkProperty.h>

vtkAlgorithm* NewSmoothNormals(vtkAlgorithm* reader)
{
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  if (!mesh || mesh->GetPointData()->GetNormals())
  {
    return nullptr;
  }
  // A triangle soup (STL) has a point per corner: merged, its triangles share
  // their corners and the normals can be averaged over them.
  vtkCleanPolyData* merge = vtkCleanPolyData::New();
  merge->SetInputConnection(reader->GetOutputPort());
  merge->PointMergingOn();
  merge->SetTolerance(0.0);
  vtkPolyDataNormals* normals = vtkPolyDataNormals::New();
  normals->SetInputConnection(merge->GetOutputPort());
  normals->ComputePointNormalsOn();
  normals->ComputeCellNormalsOff();
  normals->SplittingOn();
  normals->SetFeatureAngle(CreaseAngle);
  normals->ConsistencyOn();
  // The normals filter holds the merge through its input connection.
  merge->Delete();
  return normals;
}

void ColourFaceWithoutColours(vtkPolyData* face, vtkProperty* property)
{
  if (face->GetPointData()->GetScalars() || face->GetCellData()->GetScalars())
  {
    return;
  }
  property->SetColor(SkinColour[0], SkinColour[1], SkinColour[2]);
}

bool MeshesHaveYUp(vtkDatReader* reader)
{
  const std::string& axis = reader->GetUpAxis();
  if (!axis.empty())
  {
    return axis == "y";
  }
  const std::string extension = LowerCaseExtension(reader->GetFaceFileName());
  return extension == ".obj" || extension == ".glb" || extension == ".gltf";
}
