#include "vtkOBJFaceReader.h"

#include "face_parts.h"
#include "gltf_uri.h"

#include <vtkCellData.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkImageReader2.h>
#include <vtkImageReader2Factory.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkOBJReader.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkOBJFaceReader);

namespace
{
// The file that name (a material library or texture named in the files)
// designates beside the OBJ file objFile, by the rule of a glTF file's uris
// (gltf_uri.h): a regular file inside its folder, within the size limit, not
// reached through a link that leads out. Empty when name designates no such
// file, so that a mesh handed on by others cannot make the run read, and
// embed in its outputs, files from elsewhere.
std::filesystem::path FileInFolder(const std::filesystem::path& objFile, const std::string& name)
{
  std::string resolved;
  std::string why;
  ResolveGltfUri(objFile.string(), name, resolved, why);
  return resolved;
}

// A material of a library as the file gives it.
struct LibraryMaterial
{
  double Diffuse[3] = { 1.0, 1.0, 1.0 };
  double Opacity = 1.0;
  std::string Texture; // the map_Kd file as written, or empty
};

// The rest of words after what was read, without the blanks around it.
std::string Rest(std::istringstream& words)
{
  std::string rest;
  std::getline(words, rest);
  const size_t first = rest.find_first_not_of(" \t");
  const size_t last = rest.find_last_not_of(" \t\r");
  return first == std::string::npos ? std::string() : rest.substr(first, last - first + 1);
}

// Adds the materials of the library at path to materials, by name. Returns
// false when the file cannot be read.
bool ReadLibrary(const std::filesystem::path& path,
                 std::map<std::string, LibraryMaterial>& materials)
{
  std::ifstream file(path);
  if (!file)
  {
    return false;
  }
  LibraryMaterial* current = nullptr;
  for (std::string line; std::getline(file, line);)
  {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "newmtl")
    {
      current = &materials[Rest(words)];
    }
    else if (!current)
    {
      continue;
    }
    else if (keyword == "Kd")
    {
      words >> current->Diffuse[0] >> current->Diffuse[1] >> current->Diffuse[2];
    }
    else if (keyword == "d")
    {
      words >> current->Opacity;
    }
    else if (keyword == "Tr")
    {
      double transparency = 0.0;
      words >> transparency;
      current->Opacity = 1.0 - transparency;
    }
    else if (keyword == "map_Kd")
    {
      // Options (-s 1 1 1, -clamp on, …) come first; the file name is last.
      std::string word;
      while (words >> word)
      {
        current->Texture = word;
      }
    }
  }
  return true;
}

// The image file at path as a PNG file, or empty when the toolkit has no
// reader for it or it cannot be read.
std::vector<unsigned char> ImagePng(const std::filesystem::path& path)
{
  auto reader = vtkSmartPointer<vtkImageReader2>::Take(
    vtkImageReader2Factory::CreateImageReader2(path.string().c_str()));
  if (!reader)
  {
    return {};
  }
  reader->SetFileName(path.string().c_str());
  reader->Update();
  return PngFile(reader->GetOutput());
}

// vtkOBJReader's texture coordinates, one array per material named after it
// with (-1, -1) at the points the material does not use, as one array: each
// point takes those of the first material that uses it. Removes the arrays
// of the materials.
void MergeTextureCoordinates(vtkPolyData* mesh, const std::vector<std::string>& materialNames)
{
  vtkPointData* data = mesh->GetPointData();
  std::vector<vtkDataArray*> arrays;
  for (const std::string& name : materialNames)
  {
    vtkDataArray* array = data->GetArray(name.c_str());
    if (array && array->GetNumberOfComponents() == 2)
    {
      arrays.push_back(array);
    }
  }
  if (arrays.empty())
  {
    return;
  }
  vtkNew<vtkFloatArray> merged;
  merged->SetName("TCoords");
  merged->SetNumberOfComponents(2);
  merged->SetNumberOfTuples(mesh->GetNumberOfPoints());
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    double uv[2] = { 0.0, 0.0 };
    for (vtkDataArray* array : arrays)
    {
      if (array->GetComponent(i, 0) != -1.0 || array->GetComponent(i, 1) != -1.0)
      {
        array->GetTuple(i, uv);
        break;
      }
    }
    merged->SetTuple(i, uv);
  }
  for (const std::string& name : materialNames)
  {
    data->RemoveArray(name.c_str());
  }
  data->SetTCoords(merged);
}

// Gives mesh (vtkOBJReader's output of the file at path) the parts of its
// materials: one part of all its points for each material the libraries
// describe, and one without material for the cells of the others. Returns
// false, leaving mesh as it is, when no library can be read.
bool AddMaterialParts(vtkPolyData* mesh, const std::filesystem::path& path)
{
  vtkFieldData* fields = mesh->GetFieldData();
  const std::vector<std::string> materialNames = FieldStrings(fields, "MaterialNames");
  vtkDataArray* materialIds = mesh->GetCellData()->GetArray("MaterialIds");
  std::map<std::string, LibraryMaterial> library;
  bool someLibrary = false;
  for (const std::string& name : FieldStrings(fields, "MaterialLibraries"))
  {
    const std::filesystem::path file = FileInFolder(path, name);
    someLibrary = (!file.empty() && ReadLibrary(file, library)) || someLibrary;
  }
  if (!someLibrary || materialNames.empty() || !materialIds)
  {
    return false;
  }

  FaceParts parts;
  parts.MeshNames.push_back("face");
  // Part m is material m of the file when its library describes it; the last
  // part holds the cells of every other material. Each spans every point.
  parts.Parts.assign(materialNames.size() + 1, { 0, -1, 0, mesh->GetNumberOfPoints() });
  for (size_t m = 0; m < materialNames.size(); ++m)
  {
    auto found = library.find(materialNames[m]);
    if (found == library.end())
    {
      continue;
    }
    FaceMaterial material;
    material.Name = materialNames[m];
    std::copy(found->second.Diffuse, found->second.Diffuse + 3, material.BaseColour);
    material.BaseColour[3] = found->second.Opacity;
    material.DoubleSided = true;
    // A material without texture names no file (FileInFolder gives none).
    const std::filesystem::path image = FileInFolder(path, found->second.Texture);
    std::vector<unsigned char> png = image.empty() ? std::vector<unsigned char>() : ImagePng(image);
    if (!png.empty())
    {
      material.Texture = static_cast<int>(parts.Textures.size());
      parts.Textures.push_back(std::move(png));
    }
    parts.Parts[m].Material = static_cast<int>(parts.Materials.size());
    parts.Materials.push_back(material);
  }

  vtkNew<vtkIntArray> partIds;
  partIds->SetName(PartIdsName);
  const auto count = static_cast<double>(materialNames.size());
  for (vtkIdType c = 0; c < materialIds->GetNumberOfTuples(); ++c)
  {
    const double id = materialIds->GetComponent(c, 0);
    partIds->InsertNextValue(id >= 0 && id < count ? static_cast<int>(id)
                                                   : static_cast<int>(count));
  }
  mesh->GetCellData()->AddArray(partIds);
  StoreFaceParts(parts, mesh);
  MergeTextureCoordinates(mesh, materialNames);
  return true;
}
}

int vtkOBJFaceReader::RequestData(vtkInformation*,
                                  vtkInformationVector**,
                                  vtkInformationVector* outputVector)
{
  vtkNew<vtkOBJReader> reader;
  reader->SetFileName(this->FileName);
  reader->Update();
  vtkPolyData* output = vtkPolyData::GetData(outputVector);
  output->ShallowCopy(reader->GetOutput());
  if (this->FileName && output->GetNumberOfCells() > 0)
  {
    AddMaterialParts(output, this->FileName);
  }
  return 1;
}
