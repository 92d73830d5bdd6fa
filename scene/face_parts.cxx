#include "face_parts.h"

#include <vtkCellData.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkIntArray.h>
#include <vtkNew.h>
#include <vtkPNGWriter.h>
#include <vtkPolyData.h>
#include <vtkStringArray.h>
#include <vtkUnsignedCharArray.h>

const char* const PartIdsName = "PartIds";

namespace
{
constexpr int PartComponents = 4;
constexpr int MaterialComponents = 6;

const char* const PartTableName = "PartTable";
const char* const MaterialTableName = "MaterialTable";
const char* const MeshNamesName = "MeshNames";
const char* const MaterialNamesName = "MaterialNames";

std::string TextureName(size_t index)
{
  return "Texture" + std::to_string(index);
}

void AddStrings(vtkFieldData* data, const char* name, const std::vector<std::string>& strings)
{
  vtkNew<vtkStringArray> array;
  array->SetName(name);
  for (const std::string& s : strings)
  {
    array->InsertNextValue(s);
  }
  data->AddArray(array);
}

// True when every index of parts lies in its range, and every part's points
// and every cell's part in mesh.
bool FitsMesh(const FaceParts& parts, vtkPolyData* mesh, vtkDataArray* partIds)
{
  if (parts.Parts.empty() || parts.MeshNames.empty())
  {
    return false;
  }
  for (const FacePart& part : parts.Parts)
  {
    if (part.Mesh < 0 || part.Mesh >= static_cast<int>(parts.MeshNames.size()) ||
        part.Material < -1 || part.Material >= static_cast<int>(parts.Materials.size()) ||
        part.FirstPoint < 0 || part.PointCount < 0 ||
        part.FirstPoint + part.PointCount > mesh->GetNumberOfPoints())
    {
      return false;
    }
  }
  for (const FaceMaterial& material : parts.Materials)
  {
    if (material.Texture < -1 || material.Texture >= static_cast<int>(parts.Textures.size()))
    {
      return false;
    }
  }
  if (!partIds || partIds->GetNumberOfTuples() != mesh->GetNumberOfCells())
  {
    return false;
  }
  for (vtkIdType c = 0; c < partIds->GetNumberOfTuples(); ++c)
  {
    const double part = partIds->GetComponent(c, 0);
    if (part < 0 || part >= static_cast<double>(parts.Parts.size()))
    {
      return false;
    }
  }
  return true;
}

FaceParts WholeMesh(vtkPolyData* mesh)
{
  FaceParts whole;
  whole.MeshNames.push_back("face");
  whole.Parts.push_back({ 0, -1, 0, mesh->GetNumberOfPoints() });
  return whole;
}
}

void StoreFaceParts(const FaceParts& parts, vtkPolyData* mesh)
{
  vtkFieldData* data = mesh->GetFieldData();
  vtkNew<vtkIntArray> partTable;
  partTable->SetName(PartTableName);
  partTable->SetNumberOfComponents(PartComponents);
  for (const FacePart& part : parts.Parts)
  {
    const int values[PartComponents] = {
      part.Mesh, part.Material, static_cast<int>(part.FirstPoint), static_cast<int>(part.PointCount)
    };
    partTable->InsertNextTypedTuple(values);
  }
  data->AddArray(partTable);
  vtkNew<vtkFloatArray> materialTable;
  materialTable->SetName(MaterialTableName);
  materialTable->SetNumberOfComponents(MaterialComponents);
  std::vector<std::string> materialNames;
  for (const FaceMaterial& material : parts.Materials)
  {
    const float values[MaterialComponents] = {
      static_cast<float>(material.BaseColour[0]), static_cast<float>(material.BaseColour[1]),
      static_cast<float>(material.BaseColour[2]), static_cast<float>(material.BaseColour[3]),
      material.DoubleSided ? 1.0f : 0.0f,         static_cast<float>(material.Texture)
    };
    materialTable->InsertNextTypedTuple(values);
    materialNames.push_back(material.Name);
  }
  data->AddArray(materialTable);
  AddStrings(data, MeshNamesName, parts.MeshNames);
  AddStrings(data, MaterialNamesName, materialNames);
  for (size_t t = 0; t < parts.Textures.size(); ++t)
  {
    vtkNew<vtkUnsignedCharArray> png;
    png->SetName(TextureName(t).c_str());
    png->SetNumberOfValues(static_cast<vtkIdType>(parts.Textures[t].size()));
    std::copy(parts.Textures[t].begin(), parts.Textures[t].end(), png->GetPointer(0));
    data->AddArray(png);
  }
}

FaceParts FacePartsOf(vtkPolyData* mesh)
{
  vtkFieldData* data = mesh->GetFieldData();
  auto* partTable = vtkIntArray::SafeDownCast(data->GetAbstractArray(PartTableName));
  auto* materialTable = vtkFloatArray::SafeDownCast(data->GetAbstractArray(MaterialTableName));
  if (!partTable || !materialTable || partTable->GetNumberOfComponents() != PartComponents ||
      materialTable->GetNumberOfComponents() != MaterialComponents)
  {
    return WholeMesh(mesh);
  }
  FaceParts parts;
  parts.MeshNames = FieldStrings(data, MeshNamesName);
  for (vtkIdType p = 0; p < partTable->GetNumberOfTuples(); ++p)
  {
    parts.Parts.push_back({ partTable->GetTypedComponent(p, 0),
                            partTable->GetTypedComponent(p, 1),
                            partTable->GetTypedComponent(p, 2),
                            partTable->GetTypedComponent(p, 3) });
  }
  const std::vector<std::string> materialNames = FieldStrings(data, MaterialNamesName);
  for (vtkIdType m = 0; m < materialTable->GetNumberOfTuples(); ++m)
  {
    FaceMaterial material;
    material.Name = m < static_cast<vtkIdType>(materialNames.size()) ? materialNames[m] : "";
    for (int c = 0; c < 4; ++c)
    {
      material.BaseColour[c] = materialTable->GetTypedComponent(m, c);
    }
    material.DoubleSided = materialTable->GetTypedComponent(m, 4) != 0.0f;
    // Any number that is no index of a texture (FitsMesh refuses -2).
    const float texture = materialTable->GetTypedComponent(m, 5);
    material.Texture = texture >= -1.0f && texture < 1e6f ? static_cast<int>(texture) : -2;
    parts.Materials.push_back(material);
  }
  for (size_t t = 0;; ++t)
  {
    auto* png = vtkUnsignedCharArray::SafeDownCast(data->GetAbstractArray(TextureName(t).c_str()));
    if (!png)
    {
      break;
    }
    parts.Textures.emplace_back(png->GetPointer(0), png->GetPointer(0) + png->GetNumberOfValues());
  }
  if (!FitsMesh(parts, mesh, mesh->GetCellData()->GetArray(PartIdsName)))
  {
    return WholeMesh(mesh);
  }
  return parts;
}

std::vector<unsigned char> PngFile(vtkImageData* image)
{
  if (!image || image->GetNumberOfPoints() == 0 || image->GetScalarType() != VTK_UNSIGNED_CHAR)
  {
    return {};
  }
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputData(image);
  writer->WriteToMemoryOn();
  writer->Write();
  vtkUnsignedCharArray* bytes = writer->GetResult();
  if (!bytes || writer->GetErrorCode() != 0)
  {
    return {};
  }
  return { bytes->GetPointer(0), bytes->GetPointer(0) + bytes->GetNumberOfValues() };
}

std::vector<std::string> FieldStrings(vtkFieldData* data, const char* name)
{
  std::vector<std::string> strings;
  if (auto* array = vtkStringArray::SafeDownCast(data->GetAbstractArray(name)))
  {
    for (vtkIdType i = 0; i < array->GetNumberOfValues(); ++i)
    {
      strings.push_back(array->GetValue(i));
    }
  }
  return strings;
}
