#include "gltf_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>
#include <sstream>

namespace
{
constexpr int Float = 5126;
constexpr int UnsignedInt = 5125;
constexpr int ArrayBuffer = 34962;
constexpr int ElementArrayBuffer = 34963;

// The binary chunk and the JSON arrays that describe its pieces.
class Document
{
public:
  // Appends bytes as a buffer view (target 0 for none); returns its index.
  int View(const void* data, size_t bytes, int target)
  {
    const size_t offset = this->Binary.size();
    this->Binary.append(static_cast<const char*>(data), bytes);
    this->Binary.append((4 - bytes % 4) % 4, '\0');
    std::ostringstream view;
    view << "{\"buffer\":0,\"byteOffset\":" << offset << ",\"byteLength\":" << bytes;
    if (target)
    {
      view << ",\"target\":" << target;
    }
    view << "}";
    this->Views.push_back(view.str());
    return static_cast<int>(this->Views.size()) - 1;
  }

  // An accessor of count elements of components floats each (type names the
  // element), with its bounds when bounded; vertex data go to a view for
  // vertex buffers, animation data to a plain one. Returns its index.
  int Floats(const std::vector<float>& values,
             int components,
             const char* type,
             bool bounded,
             bool vertices = true)
  {
    const size_t count = values.size() / components;
    const int view =
      this->View(values.data(), values.size() * sizeof(float), vertices ? ArrayBuffer : 0);
    std::ostringstream accessor;
    accessor << "{\"bufferView\":" << view << ",\"componentType\":" << Float
             << ",\"count\":" << count << ",\"type\":\"" << type << "\"";
    if (bounded && count > 0)
    {
      std::vector<float> low(values.begin(), values.begin() + components);
      std::vector<float> high = low;
      for (size_t i = 0; i < count; ++i)
      {
        for (int c = 0; c < components; ++c)
        {
          low[c] = std::min(low[c], values[i * components + c]);
          high[c] = std::max(high[c], values[i * components + c]);
        }
      }
      accessor << ",\"min\":" << List(low) << ",\"max\":" << List(high);
    }
    accessor << "}";
    this->Accessors.push_back(accessor.str());
    return static_cast<int>(this->Accessors.size()) - 1;
  }

  int Indices(const std::vector<std::uint32_t>& indices)
  {
    const int view =
      this->View(indices.data(), indices.size() * sizeof(std::uint32_t), ElementArrayBuffer);
    std::ostringstream accessor;
    accessor << "{\"bufferView\":" << view << ",\"componentType\":" << UnsignedInt
             << ",\"count\":" << indices.size() << ",\"type\":\"SCALAR\"}";
    this->Accessors.push_back(accessor.str());
    return static_cast<int>(this->Accessors.size()) - 1;
  }

  template<typename T>
  static std::string List(const std::vector<T>& values)
  {
    std::ostringstream list;
    list.precision(std::numeric_limits<T>::max_digits10);
    list << "[";
    for (size_t i = 0; i < values.size(); ++i)
    {
      list << (i ? "," : "") << values[i];
    }
    list << "]";
    return list.str();
  }

  static std::string Joined(const std::vector<std::string>& items)
  {
    std::string joined = "[";
    for (size_t i = 0; i < items.size(); ++i)
    {
      joined += (i ? "," : "") + items[i];
    }
    return joined + "]";
  }

  std::string Binary;
  std::vector<std::string> Views;
  std::vector<std::string> Accessors;
};

// A JSON string of text, with quotes, backslashes and control characters
// escaped.
std::string Quoted(const std::string& text)
{
  std::string quoted = "\"";
  for (const char c : text)
  {
    if (c == '"' || c == '\\')
    {
      quoted += '\\';
      quoted += c;
    }
    else if (static_cast<unsigned char>(c) < 0x20)
    {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      quoted += escaped;
    }
    else
    {
      quoted += c;
    }
  }
  return quoted + "\"";
}

void AppendChunk(std::string& file, const std::string& data, std::uint32_t type)
{
  const std::uint32_t length = static_cast<std::uint32_t>(data.size());
  file.append(reinterpret_cast<const char*>(&length), 4);
  file.append(reinterpret_cast<const char*>(&type), 4);
  file += data;
}

// The JSON of primitive, its arrays appended to document.
std::string PrimitiveItem(Document& document, const GltfPrimitive& primitive)
{
  std::ostringstream attributes;
  attributes << "{\"POSITION\":" << document.Floats(primitive.Positions, 3, "VEC3", true);
  if (!primitive.Normals.empty())
  {
    attributes << ",\"NORMAL\":" << document.Floats(primitive.Normals, 3, "VEC3", false);
  }
  if (!primitive.Colours.empty())
  {
    attributes << ",\"COLOR_0\":" << document.Floats(primitive.Colours, 3, "VEC3", false);
  }
  if (!primitive.TexCoords.empty())
  {
    attributes << ",\"TEXCOORD_0\":" << document.Floats(primitive.TexCoords, 2, "VEC2", false);
  }
  attributes << "}";

  std::vector<std::string> targets;
  for (size_t t = 0; t < primitive.TargetPositions.size(); ++t)
  {
    std::string target =
      "{\"POSITION\":" +
      std::to_string(document.Floats(primitive.TargetPositions[t], 3, "VEC3", true));
    if (!primitive.Normals.empty() && t < primitive.TargetNormals.size())
    {
      target += ",\"NORMAL\":" +
                std::to_string(document.Floats(primitive.TargetNormals[t], 3, "VEC3", false));
    }
    targets.push_back(target + "}");
  }

  std::ostringstream item;
  item << "{\"attributes\":" << attributes.str()
       << ",\"indices\":" << document.Indices(primitive.Triangles)
       << ",\"material\":" << primitive.Material << ",\"mode\":4";
  if (!targets.empty())
  {
    item << ",\"targets\":" << Document::Joined(targets);
  }
  item << "}";
  return item.str();
}

// The JSON of mesh, its arrays appended to document.
std::string MeshItem(Document& document, const GltfMesh& mesh)
{
  std::vector<std::string> primitives;
  for (const GltfPrimitive& primitive : mesh.Primitives)
  {
    primitives.push_back(PrimitiveItem(document, primitive));
  }
  std::ostringstream item;
  item << "{\"name\":" << Quoted(mesh.Name) << ",\"primitives\":" << Document::Joined(primitives);
  if (!mesh.TargetNames.empty())
  {
    std::vector<std::string> names;
    for (const auto& name : mesh.TargetNames)
    {
      names.push_back(Quoted(name));
    }
    item << ",\"weights\":" << Document::List(std::vector<float>(names.size(), 0.0f))
         << ",\"extras\":{\"targetNames\":" << Document::Joined(names) << "}";
  }
  item << "}";
  return item.str();
}

// The JSON of material; its texture, when it has one, appended to document,
// textures and images.
std::string MaterialItem(Document& document,
                         const GltfMaterial& material,
                         std::vector<std::string>& textures,
                         std::vector<std::string>& images)
{
  std::ostringstream item;
  item << "{\"name\":" << Quoted(material.Name) << ",\"pbrMetallicRoughness\":{\"baseColorFactor\":"
       << Document::List(std::vector<float>(material.BaseColour, material.BaseColour + 4));
  if (!material.Png.empty())
  {
    const int view = document.View(material.Png.data(), material.Png.size(), 0);
    images.push_back("{\"bufferView\":" + std::to_string(view) + ",\"mimeType\":\"image/png\"}");
    textures.push_back("{\"sampler\":0,\"source\":" + std::to_string(images.size() - 1) + "}");
    item << ",\"baseColorTexture\":{\"index\":" << textures.size() - 1 << "}";
  }
  item << ",\"metallicFactor\":0,\"roughnessFactor\":0.6}";
  if (material.BaseColour[3] < 1.0f)
  {
    item << ",\"alphaMode\":\"BLEND\"";
  }
  item << ",\"doubleSided\":" << (material.DoubleSided ? "true" : "false") << "}";
  return item.str();
}

std::string CameraNode(const GltfCamera& camera)
{
  return "{\"name\":\"camera\",\"camera\":0,\"translation\":" +
         Document::List(std::vector<double>(camera.Translation, camera.Translation + 3)) +
         ",\"rotation\":" +
         Document::List(std::vector<double>(camera.Rotation, camera.Rotation + 4)) + "}";
}

std::string CameraItems(const GltfCamera& camera)
{
  std::ostringstream items;
  items.precision(17);
  items << "[{\"type\":\"perspective\",\"perspective\":{\"yfov\":" << camera.YFov
        << ",\"aspectRatio\":" << camera.AspectRatio << ",\"znear\":" << camera.ZNear
        << ",\"zfar\":" << camera.ZFar << "}}]";
  return items.str();
}
}

std::string GlbBytes(const std::vector<GltfMesh>& meshes,
                     const std::vector<GltfMaterial>& materials,
                     const GltfCamera* camera,
                     const GltfWeights& animation)
{
  Document document;
  std::vector<std::string> meshItems;
  std::vector<std::string> nodes;
  std::vector<int> animatedNodes;
  for (const GltfMesh& mesh : meshes)
  {
    meshItems.push_back(MeshItem(document, mesh));
    if (!mesh.TargetNames.empty())
    {
      animatedNodes.push_back(static_cast<int>(nodes.size()));
    }
    nodes.push_back("{\"name\":" + Quoted(mesh.Name) +
                    ",\"mesh\":" + std::to_string(meshItems.size() - 1) + "}");
  }
  std::vector<std::string> materialItems;
  std::vector<std::string> textures;
  std::vector<std::string> images;
  for (const GltfMaterial& material : materials)
  {
    materialItems.push_back(MaterialItem(document, material, textures, images));
  }
  if (camera)
  {
    nodes.push_back(CameraNode(*camera));
  }

  std::string animations;
  if (!animatedNodes.empty() && !animation.Times.empty())
  {
    const int input = document.Floats(animation.Times, 1, "SCALAR", true, false);
    const int output = document.Floats(animation.Weights, 1, "SCALAR", false, false);
    std::vector<std::string> channels;
    for (int node : animatedNodes)
    {
      channels.push_back("{\"sampler\":0,\"target\":{\"node\":" + std::to_string(node) +
                         ",\"path\":\"weights\"}}");
    }
    animations =
      ",\"animations\":[{\"name\":\"expressions\",\"channels\":" + Document::Joined(channels) +
      ",\"samplers\":[{\"input\":" + std::to_string(input) +
      ",\"output\":" + std::to_string(output) + ",\"interpolation\":\"LINEAR\"}]}]";
  }

  std::vector<int> sceneNodes(nodes.size());
  std::iota(sceneNodes.begin(), sceneNodes.end(), 0);
  std::ostringstream json;
  json << "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Animation\"},\"scene\":0,"
       << "\"scenes\":[{\"nodes\":" << Document::List(sceneNodes) << "}],"
       << "\"nodes\":" << Document::Joined(nodes) << ",\"meshes\":" << Document::Joined(meshItems);
  if (!materialItems.empty())
  {
    json << ",\"materials\":" << Document::Joined(materialItems);
  }
  if (camera)
  {
    json << ",\"cameras\":" << CameraItems(*camera);
  }
  if (!textures.empty())
  {
    json << ",\"textures\":" << Document::Joined(textures)
         << ",\"images\":" << Document::Joined(images)
         << ",\"samplers\":[{\"magFilter\":9729,\"minFilter\":9729,\"wrapS\":10497,"
            "\"wrapT\":10497}]";
  }
  json << animations << ",\"accessors\":" << Document::Joined(document.Accessors)
       << ",\"bufferViews\":" << Document::Joined(document.Views)
       << ",\"buffers\":[{\"byteLength\":" << document.Binary.size() << "}]}";

  std::string text = json.str();
  text.append((4 - text.size() % 4) % 4, ' ');
  std::string file;
  const std::uint32_t magic = 0x46546C67; // "glTF"
  const std::uint32_t version = 2;
  const std::uint32_t length =
    static_cast<std::uint32_t>(12 + 8 + text.size() + 8 + document.Binary.size());
  file.append(reinterpret_cast<const char*>(&magic), 4);
  file.append(reinterpret_cast<const char*>(&version), 4);
  file.append(reinterpret_cast<const char*>(&length), 4);
  AppendChunk(file, text, 0x4E4F534A);            // "JSON"
  AppendChunk(file, document.Binary, 0x004E4942); // "BIN\0"
  return file;
}
