#include "vtkGLTFFaceReader.h"

#include "face_parts.h"
#include "gltf_uri.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkGLTFDocumentLoader.h>
#include <vtkImageData.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkIntArray.h>
#include <vtkMath.h>
#include <vtkMatrix3x3.h>
#include <vtkMatrix4x4.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkUnsignedCharArray.h>

#include <algorithm>
#include <cmath>
#include <map>

vtkStandardNewMacro(vtkGLTFFaceReader);

namespace
{
using Loader = vtkGLTFDocumentLoader;
using Model = vtkGLTFDocumentLoader::Model;

// Reads the document of fileName, its buffers and its images into loader's
// model and builds the primitives' geometry and the nodes' transforms. The
// buffers and images that the file names by uri are opened here, by the
// loader, after the document is read and before any of them is. Returns
// false when any of it fails.
bool LoadModel(Loader* loader, const std::string& fileName)
{
  if (!loader->LoadModelMetaDataFromFile(fileName))
  {
    return false;
  }
  std::vector<char> glbBuffer;
  const std::string extension =
    fileName.size() >= 4 ? fileName.substr(fileName.size() - 4) : std::string();
  if ((extension == ".glb" || extension == ".GLB") && !loader->LoadFileBuffer(fileName, glbBuffer))
  {
    return false;
  }
  if (!loader->LoadModelData(glbBuffer) || !loader->BuildModelVTKGeometry())
  {
    return false;
  }
  loader->BuildGlobalTransforms();
  return true;
}

// The materials of model with their base colour textures read through
// TEXCOORD_0, each image once.
void AddMaterials(const Model& model, FaceParts& parts)
{
  std::map<int, int> textureOfImage;
  for (const Loader::Material& source : model.Materials)
  {
    FaceMaterial material;
    material.Name = source.Name;
    const auto& pbr = source.PbrMetallicRoughness;
    for (size_t c = 0; c < 4 && c < pbr.BaseColorFactor.size(); ++c)
    {
      material.BaseColour[c] = pbr.BaseColorFactor[c];
    }
    material.DoubleSided = source.DoubleSided;
    const int texture = pbr.BaseColorTexture.Index;
    if (texture >= 0 && texture < static_cast<int>(model.Textures.size()) &&
        pbr.BaseColorTexture.TexCoord == 0)
    {
      const int image = model.Textures[texture].Source;
      if (image >= 0 && image < static_cast<int>(model.Images.size()))
      {
        const auto [known, isNew] = textureOfImage.emplace(image, -1);
        std::vector<unsigned char> png =
          isNew ? PngFile(model.Images[image].ImageData) : std::vector<unsigned char>();
        if (!png.empty())
        {
          known->second = static_cast<int>(parts.Textures.size());
          parts.Textures.push_back(std::move(png));
        }
        material.Texture = known->second;
      }
    }
    parts.Materials.push_back(material);
  }
}

// The output as it grows, one primitive after the other: every primitive's
// points (moved by its node), their attributes (with neutral values where a
// primitive lacks one) and its cells by kind, each cell with its part.
class FaceAssembly
{
public:
  explicit FaceAssembly(const Model& model) { AddMaterials(model, this->Parts); }

  // Appends primitive of the node's mesh number mesh in the output, its
  // points through transform and morphed by weights.
  void AddPrimitive(const Loader::Primitive& primitive,
                    vtkMatrix4x4* transform,
                    const std::vector<float>& weights,
                    int mesh)
  {
    vtkPolyData* geometry = primitive.Geometry;
    if (!geometry || !geometry->GetPoints() || geometry->GetNumberOfPoints() == 0)
    {
      return;
    }
    const vtkIdType first = this->Points->GetNumberOfPoints();
    const vtkIdType count = geometry->GetNumberOfPoints();
    const bool known = primitive.Material >= 0 &&
                       primitive.Material < static_cast<int>(this->Parts.Materials.size());
    const int partId = static_cast<int>(this->Parts.Parts.size());
    this->Parts.Parts.push_back({ mesh, known ? primitive.Material : -1, first, count });

    vtkPointData* data = geometry->GetPointData();
    // The loader makes NORMAL the geometry's normals; the texture coordinates
    // and colours keep their attribute names.
    vtkDataArray* normals = data->GetNormals();
    vtkDataArray* tcoords = data->GetArray("TEXCOORD_0");
    vtkDataArray* colours = data->GetArray("COLOR_0");
    this->SomePartHasNormals = this->SomePartHasNormals || normals;
    // A part without normals gets smooth ones, which the output keeps when
    // another part has normals of its own.
    vtkNew<vtkPolyDataNormals> smooth;
    if (!normals)
    {
      smooth->SetInputData(geometry);
      smooth->SplittingOff();
      smooth->ConsistencyOff();
      smooth->ComputeCellNormalsOff();
      smooth->Update();
      vtkPolyData* smoothed = smooth->GetOutput();
      normals =
        smoothed->GetNumberOfPoints() == count ? smoothed->GetPointData()->GetNormals() : nullptr;
    }
    this->SomePartHasTCoords = this->SomePartHasTCoords || tcoords;
    this->SomePartHasColours = this->SomePartHasColours || colours;

    // Normals go by the inverse transpose of the transform's linear part.
    vtkNew<vtkMatrix3x3> normalMatrix;
    for (int r = 0; r < 3; ++r)
    {
      for (int c = 0; c < 3; ++c)
      {
        normalMatrix->SetElement(r, c, transform->GetElement(r, c));
      }
    }
    normalMatrix->Invert();
    normalMatrix->Transpose();

    for (vtkIdType i = 0; i < count; ++i)
    {
      double p[4] = { 0, 0, 0, 1 };
      geometry->GetPoint(i, p);
      for (size_t t = 0; t < weights.size() && t < primitive.Targets.size(); ++t)
      {
        auto found = primitive.Targets[t].AttributeValues.find("POSITION");
        if (found != primitive.Targets[t].AttributeValues.end() && found->second &&
            found->second->GetNumberOfTuples() == count)
        {
          for (int c = 0; c < 3; ++c)
          {
            p[c] += weights[t] * found->second->GetComponent(i, c);
          }
        }
      }
      transform->MultiplyPoint(p, p);
      this->Points->InsertNextPoint(p);

      double n[3] = { 0, 0, 1 };
      if (normals)
      {
        normals->GetTuple(i, n);
        normalMatrix->MultiplyPoint(n, n);
        vtkMath::Normalize(n);
      }
      this->Normals.insert(this->Normals.end(), n, n + 3);
      this->TCoords.push_back(tcoords ? static_cast<float>(tcoords->GetComponent(i, 0)) : 0.0f);
      this->TCoords.push_back(tcoords ? static_cast<float>(1.0 - tcoords->GetComponent(i, 1))
                                      : 0.0f);
      for (int c = 0; c < 3; ++c)
      {
        this->Colours.push_back(colours ? ColourByte(colours, i, c) : 255);
      }
    }

    vtkCellArray* kinds[4] = {
      geometry->GetVerts(), geometry->GetLines(), geometry->GetPolys(), geometry->GetStrips()
    };
    for (int kind = 0; kind < 4; ++kind)
    {
      if (kinds[kind])
      {
        this->Cells[kind]->Append(kinds[kind], first);
        this->CellParts[kind].insert(
          this->CellParts[kind].end(), kinds[kind]->GetNumberOfCells(), partId);
      }
    }
  }

  // Gives output the points, cells and attributes of every primitive added,
  // and the parts. Returns false when no primitive had points.
  bool Finish(vtkPolyData* output, const std::vector<std::string>& meshNames)
  {
    if (this->Parts.Parts.empty())
    {
      return false;
    }
    output->SetPoints(this->Points);
    output->SetVerts(this->Cells[0]);
    output->SetLines(this->Cells[1]);
    output->SetPolys(this->Cells[2]);
    output->SetStrips(this->Cells[3]);
    vtkNew<vtkIntArray> partIds;
    partIds->SetName(PartIdsName);
    for (const std::vector<int>& parts : this->CellParts)
    {
      for (int part : parts)
      {
        partIds->InsertNextValue(part);
      }
    }
    output->GetCellData()->AddArray(partIds);
    vtkPointData* data = output->GetPointData();
    if (this->SomePartHasNormals)
    {
      data->SetNormals(NewArray<vtkFloatArray>("Normals", 3, this->Normals));
    }
    if (this->SomePartHasTCoords)
    {
      data->SetTCoords(NewArray<vtkFloatArray>("TEXCOORD_0", 2, this->TCoords));
    }
    if (this->SomePartHasColours)
    {
      data->SetScalars(NewArray<vtkUnsignedCharArray>("COLOR_0", 3, this->Colours));
    }
    this->Parts.MeshNames = meshNames;
    StoreFaceParts(this->Parts, output);
    return true;
  }

private:
  // Component c of colour i as a byte: floats in 0..1, or normalised
  // unsigned bytes or shorts.
  static unsigned char ColourByte(vtkDataArray* colours, vtkIdType i, int c)
  {
    double value = colours->GetComponent(i, c);
    if (colours->GetDataType() == VTK_UNSIGNED_SHORT)
    {
      value /= 65535.0;
    }
    else if (colours->GetDataType() == VTK_UNSIGNED_CHAR)
    {
      value /= 255.0;
    }
    return static_cast<unsigned char>(std::lround(255.0 * std::min(1.0, std::max(0.0, value))));
  }

  template<typename Array, typename Value>
  static vtkSmartPointer<Array> NewArray(const char* name,
                                         int components,
                                         const std::vector<Value>& values)
  {
    auto array = vtkSmartPointer<Array>::New();
    array->SetName(name);
    array->SetNumberOfComponents(components);
    array->SetNumberOfTuples(static_cast<vtkIdType>(values.size() / components));
    std::copy(values.begin(), values.end(), array->GetPointer(0));
    return array;
  }

  FaceParts Parts;
  vtkNew<vtkPoints> Points;
  std::vector<float> Normals;
  std::vector<float> TCoords;
  std::vector<unsigned char> Colours;
  bool SomePartHasNormals = false;
  bool SomePartHasTCoords = false;
  bool SomePartHasColours = false;
  vtkNew<vtkCellArray> Cells[4]; // vertices, lines, polygons, strips
  std::vector<int> CellParts[4];
};

// The nodes the default scene shows first, or, in a file without scenes,
// every node that is no other's child.
std::vector<int> RootNodes(const Model& model)
{
  const int scene = model.DefaultScene >= 0 ? model.DefaultScene : 0;
  if (scene < static_cast<int>(model.Scenes.size()))
  {
    const auto& nodes = model.Scenes[scene].Nodes;
    return std::vector<int>(nodes.begin(), nodes.end());
  }
  std::vector<bool> isChild(model.Nodes.size(), false);
  for (const Loader::Node& node : model.Nodes)
  {
    for (int child : node.Children)
    {
      if (child >= 0 && child < static_cast<int>(isChild.size()))
      {
        isChild[child] = true;
      }
    }
  }
  std::vector<int> roots;
  for (size_t n = 0; n < isChild.size(); ++n)
  {
    if (!isChild[n])
    {
      roots.push_back(static_cast<int>(n));
    }
  }
  return roots;
}

// Adds the meshes of node and of its descendants, depth first; each node's
// mesh is a mesh of the output, named after the mesh (or the node).
void AddNode(const Model& model,
             int nodeIndex,
             FaceAssembly& face,
             std::vector<std::string>& meshNames,
             int depth)
{
  // glTF's nodes form a forest; the depth bounds a file that claims a cycle.
  if (nodeIndex < 0 || nodeIndex >= static_cast<int>(model.Nodes.size()) ||
      depth > static_cast<int>(model.Nodes.size()))
  {
    return;
  }
  const Loader::Node& node = model.Nodes[nodeIndex];
  if (node.Mesh >= 0 && node.Mesh < static_cast<int>(model.Meshes.size()) && node.GlobalTransform)
  {
    const Loader::Mesh& mesh = model.Meshes[node.Mesh];
    const std::vector<float>& weights =
      node.InitialWeights.empty() ? mesh.Weights : node.InitialWeights;
    std::string name = !mesh.Name.empty() ? mesh.Name : node.Name;
    if (name.empty())
    {
      name = "mesh" + std::to_string(meshNames.size());
    }
    meshNames.push_back(name);
    for (const Loader::Primitive& primitive : mesh.Primitives)
    {
      face.AddPrimitive(
        primitive, node.GlobalTransform, weights, static_cast<int>(meshNames.size()) - 1);
    }
  }
  for (int child : node.Children)
  {
    AddNode(model, child, face, meshNames, depth + 1);
  }
}
}

int vtkGLTFFaceReader::RequestData(vtkInformation*,
                                   vtkInformationVector**,
                                   vtkInformationVector* outputVector)
{
  const std::string fileName = this->FileName ? this->FileName : "";
  // The toolkit's loader opens the uris as they stand: each is resolved
  // inside the file's folder first (gltf_uri.h).
  std::string why = "no file name is set";
  if (fileName.empty() || !GltfUrisResolve(fileName, why))
  {
    vtkErrorMacro(<< why);
    return 0;
  }
  vtkNew<Loader> loader;
  if (!LoadModel(loader, fileName))
  {
    vtkErrorMacro(<< "Cannot read the glTF file " << fileName);
    return 0;
  }
  const Model& model = *loader->GetInternalModel();
  FaceAssembly face(model);
  std::vector<std::string> meshNames;
  for (int root : RootNodes(model))
  {
    AddNode(model, root, face, meshNames, 0);
  }
  if (!face.Finish(vtkPolyData::GetData(outputVector), meshNames))
  {
    vtkErrorMacro(<< "No mesh in " << fileName);
    return 0;
  }
  return 1;
}
