#include "shape_files.h"

#include "mesh_reader.h"

#include <filesystem>

std::string ShapeFileExtension(const std::string& faceFileName)
{
  const std::string extension = LowerCaseExtension(faceFileName);
  if (extension == ".gltf" || extension == ".glb")
  {
    return ".glb";
  }
  if (extension != ".vtk" && extension != ".ply" && extension != ".obj" && extension != ".stl")
  {
    return ".vtp";
  }
  return extension;
}

std::string ShapeFilePath(const std::string& folder,
                          const std::string& name,
                          const std::string& faceFileName)
{
  return (std::filesystem::path(folder) / (name + ShapeFileExtension(faceFileName))).string();
}
