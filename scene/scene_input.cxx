#include "scene_input.h"

#include "mesh_check.h"
#include "mesh_reader.h"
#include "obj_file_mesh.h"
#include "program_error.h"
#include "read_stage.h"
#include "scene_folder.h"

#include <vtkAlgorithm.h>
#include <vtkSmartPointer.h>

#include <cstring>
#include <iostream>

namespace
{
// The mesh of the file fileName as the user's file holds it, or null with
// the reason in why. drawn, when not null, receives the toolkit reader's own
// mesh where it has other points than the file (an OBJ file's corners).
vtkSmartPointer<vtkPolyData> ReadUserMesh(const std::string& fileName,
                                          std::string& why,
                                          vtkSmartPointer<vtkPolyData>* drawn = nullptr)
{
  const auto reader = vtk::TakeSmartPointer(NewMeshReader(fileName, why));
  vtkSmartPointer<vtkPolyData> mesh;
  if (reader && ReadCheckedMesh(reader, why))
  {
    mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  }
  if (mesh && LowerCaseExtension(fileName) == ".obj")
  {
    vtkSmartPointer<vtkPolyData> read = mesh;
    mesh = ObjFileMesh(fileName, read);
    if (drawn && read->GetNumberOfPoints() != mesh->GetNumberOfPoints())
    {
      *drawn = read;
    }
  }
  return mesh;
}

// The "Hair" word that means a head without hair.
constexpr const char* NoHair = "none";

vtkSmartPointer<vtkPolyData> ReadHair(const char* fileName)
{
  if (std::strcmp(fileName, NoHair) == 0)
  {
    return nullptr;
  }
  std::string why;
  vtkSmartPointer<vtkPolyData> hair = ReadUserMesh(fileName, why);
  if (!hair)
  {
    std::cerr << "Cannot use the hair mesh " << ShownName(fileName) << ": " << why
              << "; the head is drawn without hair" << std::endl;
  }
  return hair;
}

bool MeshesHaveYUp(vtkDatReader* settings)
{
  const std::string& axis = settings->GetUpAxis();
  if (!axis.empty())
  {
    return axis == "y";
  }
  const std::string extension = LowerCaseExtension(settings->GetFaceFileName());
  return extension == ".obj" || extension == ".glb" || extension == ".gltf";
}
}

SceneInput ReadScene()
{
  SceneInput input;
  input.Settings.TakeReference(ReadSceneFile());
  const char* faceFile = input.Settings->GetFaceFileName();
  std::string why;
  input.Face = ReadUserMesh(faceFile, why, &input.Drawn);
  if (!input.Face)
  {
    throw program_error("Cannot read the face mesh " + ShownName(faceFile) + ": " + why);
  }
  input.Hair = ReadHair(input.Settings->GetHairFileName());
  input.YUp = MeshesHaveYUp(input.Settings);
  return input;
}
