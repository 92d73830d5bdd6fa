#include "mesh_reader.h"

#include "isolated_mesh_read.h"
#include "mesh_check.h"
#include "mesh_precheck.h"
#include "named_file.h"
#include "scene_folder.h"
#include "toolkit_messages.h"
#include "vtkGLTFFaceReader.h"
#include "vtkOBJFaceReader.h"
#include "vtkPLYFaceReader.h"

#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSTLReader.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <utility>

const char* const AcceptedMeshFormats =
  "legacy VTK polydata (.vtk), VTK XML polydata (.vtp), "
  "PLY (.ply), Wavefront OBJ (.obj), STL (.stl) and glTF (.glb, .gltf)";

std::string LowerCaseExtension(const std::string& fileName)
{
  std::string extension = std::filesystem::path(fileName).extension().string();
  std::transform(extension.begin(),
                 extension.end(),
                 extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

namespace
{
// The kind of data set a legacy VTK file holds when it is not polydata, or
// null when it is polydata or no legacy data set the reader recognises (the
// read then says what is wrong with it).
const char* OtherLegacyDataSet(vtkPolyDataReader* reader)
{
  ToolkitMessageCapture quiet;
  if (reader->IsFilePolyData())
  {
    return nullptr;
  }
  if (reader->IsFileUnstructuredGrid())
  {
    return "an unstructured grid";
  }
  if (reader->IsFileStructuredGrid())
  {
    return "a structured grid";
  }
  if (reader->IsFileStructuredPoints())
  {
    return "structured points";
  }
  if (reader->IsFileRectilinearGrid())
  {
    return "a rectilinear grid";
  }
  return nullptr;
}

template<typename Reader>
vtkAlgorithm* NewReaderOf(const std::string& fileName)
{
  Reader* reader = Reader::New();
  reader->SetFileName(fileName.c_str());
  return reader;
}

// The toolkit's reader for the file's extension, or null with why.
vtkAlgorithm* NewToolkitReader(const std::string& fileName, std::string& why)
{
  const std::string extension = LowerCaseExtension(fileName);
  if (extension == ".vtk")
  {
    vtkPolyDataReader* reader = vtkPolyDataReader::New();
    reader->SetFileName(fileName.c_str());
    if (const char* other = OtherLegacyDataSet(reader))
    {
      reader->Delete();
      why =
        std::string("it holds ") + other + ", not polydata; accepted are " + AcceptedMeshFormats;
      return nullptr;
    }
    return reader;
  }
  const std::pair<const char*, vtkAlgorithm* (*)(const std::string&)> readers[] = {
    { ".vtp", NewReaderOf<vtkXMLPolyDataReader> }, { ".ply", NewReaderOf<vtkPLYFaceReader> },
    { ".obj", NewReaderOf<vtkOBJFaceReader> },     { ".stl", NewReaderOf<vtkSTLReader> },
    { ".glb", NewReaderOf<vtkGLTFFaceReader> },    { ".gltf", NewReaderOf<vtkGLTFFaceReader> },
  };
  for (const auto& [known, newReader] : readers)
  {
    if (extension == known)
    {
      return newReader(fileName);
    }
  }
  why = "its extension names no accepted format; accepted are " + std::string(AcceptedMeshFormats);
  return nullptr;
}
}

vtkAlgorithm* NewMeshReader(const std::string& fileName, std::string& why)
{
  std::error_code ignored;
  const auto bytes = static_cast<long long>(std::filesystem::file_size(fileName, ignored));
  return NewMeshReader(fileName, why, LimitsForMeshFile(bytes));
}

vtkAlgorithm* NewMeshReader(const std::string& fileName, std::string& why, const ReadLimits& limits)
{
  std::string problem;
  if (!IsAcceptableNamedFile(fileName, MaximumDataFileBytes, "a mesh", problem))
  {
    why = "the file " + problem;
    return nullptr;
  }
  const auto reader = vtk::TakeSmartPointer(NewToolkitReader(fileName, why));
  vtkAlgorithm* copy = reader && DeclaredSizesFit(fileName, LowerCaseExtension(fileName), why)
                         ? ReadInChildProcess(reader, limits, why)
                         : nullptr;
  if (copy)
  {
    copy->Update();
    if (vtkPolyData* mesh = vtkPolyData::SafeDownCast(copy->GetOutputDataObject(0)))
    {
      for (const std::string& name : DropArraysThatAreNotFinite(mesh))
      {
        std::cerr << "Warning: " << ShownName(fileName) << ": its array " << name
                  << " holds numbers that are not finite; the mesh is used without it" << std::endl;
      }
    }
  }
  return copy;
}
