#include "gltf_export.h"

#include "animation_loop.h"
#include "atomic_write.h"
#include "expressions.h"
#include "face_parts.h"
#include "finite_output.h"
#include "gltf_writer.h"
#include "mesh_writer.h"
#include "scene.h"
#include "scene_folder.h"
#include "shape_files.h"
#include "solve_stage.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkShapeTransform.h"

#include <vtkActor.h>
#include <vtkAlgorithm.h>
#include <vtkCamera.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkIntArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkTexture.h>
#include <vtkTextureMapToCylinder.h>
#include <vtkTriangleFilter.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{
// glTF's frame, Y up, from the scene's: a scene with Z up is turned, (x, y,
// z) becoming (x, z, -y); one with Y up is taken as it is.
struct GltfFrame
{
  bool YUp;

  void Convert(const double in[3], float out[3]) const
  {
    out[0] = static_cast<float>(in[0]);
    out[1] = static_cast<float>(this->YUp ? in[1] : in[2]);
    out[2] = static_cast<float>(this->YUp ? in[2] : -in[1]);
  }

  // count points or normals from first, in glTF's frame; normals are made of
  // unit length (glTF wants them so; a mesh's own may not be).
  std::vector<float> Triples(vtkDataArray* tuples,
                             vtkIdType first,
                             vtkIdType count,
                             bool normals) const
  {
    std::vector<float> triples(3 * count);
    for (vtkIdType i = 0; i < count; ++i)
    {
      double t[3];
      tuples->GetTuple(first + i, t);
      if (normals)
      {
        vtkMath::Normalize(t);
      }
      this->Convert(t, &triples[3 * i]);
    }
    return triples;
  }
};

std::vector<float> Difference(const std::vector<float>& a, const std::vector<float>& b)
{
  std::vector<float> d(a.size());
  std::transform(a.begin(), a.end(), b.begin(), d.begin(), std::minus<float>());
  return d;
}

// A triangle of a mesh and the part it belongs to.
struct PartTriangle
{
  int Part;
  vtkIdType Ids[3];
};

// The polygons and strips of mesh cut into triangles, each with its part.
// Where the mesh has normals, a triangle whose corners turn against them (a
// triangle folded over in a scan, for one) is turned round: a viewer that
// draws both sides (glTF's doubleSided) takes the side the corners turn to
// as the front and lights the other with the normals reversed, so that such
// triangles show as dark specks along the folds.
std::vector<PartTriangle> TrianglesOf(vtkPolyData* mesh)
{
  vtkNew<vtkPolyData> polygons;
  polygons->SetPoints(mesh->GetPoints());
  polygons->SetPolys(mesh->GetPolys());
  polygons->SetStrips(mesh->GetStrips());
  // Cell ids run through the vertices and lines first: the polygons' and
  // strips' parts are the tail of the mesh's.
  vtkNew<vtkIntArray> parts;
  parts->SetName(PartIdsName);
  vtkDataArray* meshParts = mesh->GetCellData()->GetArray(PartIdsName);
  const vtkIdType skipped = mesh->GetNumberOfVerts() + mesh->GetNumberOfLines();
  for (vtkIdType c = 0; c < polygons->GetNumberOfCells(); ++c)
  {
    parts->InsertNextValue(meshParts ? static_cast<int>(meshParts->GetComponent(skipped + c, 0))
                                     : 0);
  }
  polygons->GetCellData()->AddArray(parts);
  vtkNew<vtkTriangleFilter> triangles;
  triangles->SetInputData(polygons);
  triangles->PassVertsOff();
  triangles->PassLinesOff();
  triangles->Update();
  vtkPolyData* cut = triangles->GetOutput();
  vtkDataArray* cutParts = cut->GetCellData()->GetArray(PartIdsName);
  vtkDataArray* normals = mesh->GetPointData()->GetNormals();
  std::vector<PartTriangle> out;
  vtkIdType count;
  const vtkIdType* ids;
  vtkCellArray* cells = cut->GetPolys();
  vtkIdType cellId = 0;
  for (cells->InitTraversal(); cells->GetNextCell(count, ids); ++cellId)
  {
    if (count != 3)
    {
      continue;
    }
    PartTriangle triangle{ static_cast<int>(cutParts->GetComponent(cellId, 0)),
                           { ids[0], ids[1], ids[2] } };
    if (normals)
    {
      double a[3], b[3], c[3], facing[3], corners[3] = { 0, 0, 0 };
      mesh->GetPoint(ids[0], a);
      mesh->GetPoint(ids[1], b);
      mesh->GetPoint(ids[2], c);
      vtkMath::Subtract(b, a, b);
      vtkMath::Subtract(c, a, c);
      vtkMath::Cross(b, c, facing);
      for (int k = 0; k < 3; ++k)
      {
        double n[3];
        normals->GetTuple(ids[k], n);
        vtkMath::Add(corners, n, corners);
      }
      if (vtkMath::Dot(facing, corners) < 0)
      {
        std::swap(triangle.Ids[1], triangle.Ids[2]);
      }
    }
    out.push_back(triangle);
  }
  return out;
}

// The meshes of mesh as glTF takes them, one primitive per part (face_parts.h):
// positions and normals in glTF's frame, colours from RGB(A) unsigned-char
// point scalars, texture coordinates with v down the image. The mesh's
// materials are those of FaceMaterials from first on: the plain one of the
// parts without a material, then their own.
std::vector<GltfMesh> MeshesOf(vtkPolyData* mesh, const GltfFrame& frame, int first = 0)
{
  const FaceParts parts = FacePartsOf(mesh);
  std::vector<GltfMesh> meshes(parts.MeshNames.size());
  for (size_t m = 0; m < meshes.size(); ++m)
  {
    meshes[m].Name = parts.MeshNames[m];
  }
  vtkDataArray* normals = mesh->GetPointData()->GetNormals();
  vtkDataArray* scalars = mesh->GetPointData()->GetScalars();
  if (scalars &&
      (scalars->GetDataType() != VTK_UNSIGNED_CHAR || scalars->GetNumberOfComponents() < 3))
  {
    scalars = nullptr;
  }
  vtkDataArray* tcoords = mesh->GetPointData()->GetTCoords();
  // Each part's primitive: its place in its mesh's primitives.
  std::vector<size_t> slot;
  for (const FacePart& part : parts.Parts)
  {
    GltfMesh& owner = meshes[part.Mesh];
    slot.push_back(owner.Primitives.size());
    owner.Primitives.emplace_back();
    GltfPrimitive& primitive = owner.Primitives.back();
    primitive.Material = part.Material >= 0 ? first + 1 + part.Material : first;
    primitive.Positions =
      frame.Triples(mesh->GetPoints()->GetData(), part.FirstPoint, part.PointCount, false);
    if (normals)
    {
      primitive.Normals = frame.Triples(normals, part.FirstPoint, part.PointCount, true);
    }
    for (vtkIdType i = part.FirstPoint; i < part.FirstPoint + part.PointCount; ++i)
    {
      for (int c = 0; scalars && c < 3; ++c)
      {
        primitive.Colours.push_back(static_cast<float>(scalars->GetComponent(i, c) / 255.0));
      }
      if (tcoords)
      {
        primitive.TexCoords.push_back(static_cast<float>(tcoords->GetComponent(i, 0)));
        primitive.TexCoords.push_back(static_cast<float>(1.0 - tcoords->GetComponent(i, 1)));
      }
    }
  }
  for (const PartTriangle& triangle : TrianglesOf(mesh))
  {
    // A mesh whose part arrays do not hold together is one part
    // (FacePartsOf), whatever its "PartIds" say.
    const size_t partId = triangle.Part >= 0 && triangle.Part < static_cast<int>(parts.Parts.size())
                            ? triangle.Part
                            : 0;
    const FacePart& part = parts.Parts[partId];
    bool inside = true;
    for (vtkIdType id : triangle.Ids)
    {
      inside = inside && id >= part.FirstPoint && id < part.FirstPoint + part.PointCount;
    }
    // A triangle across parts has no primitive to go in.
    if (inside)
    {
      for (vtkIdType id : triangle.Ids)
      {
        meshes[part.Mesh].Primitives[slot[partId]].Triangles.push_back(
          static_cast<std::uint32_t>(id - part.FirstPoint));
      }
    }
  }
  // glTF has no primitive without triangles, and no mesh without primitives.
  for (GltfMesh& owner : meshes)
  {
    auto& primitives = owner.Primitives;
    primitives.erase(std::remove_if(primitives.begin(),
                                    primitives.end(),
                                    [](const GltfPrimitive& p) { return p.Triangles.empty(); }),
                     primitives.end());
  }
  meshes.erase(std::remove_if(meshes.begin(),
                              meshes.end(),
                              [](const GltfMesh& m) { return m.Primitives.empty(); }),
               meshes.end());
  return meshes;
}

// The materials of the face's parts as glTF takes them, after the one of the
// parts without a material of their own (the face of a format without
// materials), which is as the frames show it: the skin colour on a face
// without colours, or white under the colours of its points.
std::vector<GltfMaterial> FaceMaterials(vtkPolyData* mesh)
{
  std::vector<GltfMaterial> materials(1);
  materials[0].Name = "face";
  if (!mesh->GetPointData()->GetScalars() && !mesh->GetCellData()->GetScalars())
  {
    std::copy(SkinColour, SkinColour + 3, materials[0].BaseColour);
  }
  const FaceParts parts = FacePartsOf(mesh);
  for (const FaceMaterial& source : parts.Materials)
  {
    GltfMaterial material;
    material.Name = source.Name;
    std::copy(source.BaseColour, source.BaseColour + 4, material.BaseColour);
    // A texture needs texture coordinates at the mesh's own points.
    if (source.Texture >= 0 && mesh->GetPointData()->GetTCoords())
    {
      material.Png = parts.Textures[source.Texture];
    }
    material.DoubleSided = source.DoubleSided;
    materials.push_back(material);
  }
  return materials;
}

// The expressions' names: "default" alone for a scene without Expression lines.
std::vector<std::string> ExpressionNames(const SplineFit& fit)
{
  return fit.Expressions ? fit.Expressions->Names : std::vector<std::string>{ "default" };
}
// The weights of every frame of the run: the key tracks, or the triangle wave
// of the default expression.
GltfWeights FrameWeights(const SplineFit& fit, int framesNumber, int framesPerSecond)
{
  GltfWeights animation;
  for (int64_t i = 0; i < fit.Frames; ++i)
  {
    animation.Times.push_back(static_cast<float>(static_cast<double>(i) / framesPerSecond));
    if (fit.Expressions)
    {
      const std::vector<double> weights = WeightsOfFrame(fit.Expressions->Keys, i);
      animation.Weights.insert(animation.Weights.end(), weights.begin(), weights.end());
    }
    else
    {
      animation.Weights.push_back(BlendFactorOfFrame(i, framesNumber));
    }
  }
  return animation;
}

// The window's camera in glTF's frame: the node's rotation takes the camera's
// -z to the viewing direction and its +y to the view-up, made orthogonal.
GltfCamera CameraOf(Scene& scene, const GltfFrame& frame)
{
  vtkCamera* camera = scene.FaceRenderer->GetActiveCamera();
  GltfCamera out;
  float position[3], focal[3], up[3];
  frame.Convert(camera->GetPosition(), position);
  frame.Convert(camera->GetFocalPoint(), focal);
  frame.Convert(camera->GetViewUp(), up);
  double back[3], right[3], trueUp[3], upD[3];
  for (int a = 0; a < 3; ++a)
  {
    back[a] = position[a] - focal[a];
    upD[a] = up[a];
    out.Translation[a] = position[a];
  }
  vtkMath::Normalize(back);
  vtkMath::Cross(upD, back, right);
  vtkMath::Normalize(right);
  vtkMath::Cross(back, right, trueUp);
  const double rotation[3][3] = { { right[0], trueUp[0], back[0] },
                                  { right[1], trueUp[1], back[1] },
                                  { right[2], trueUp[2], back[2] } };
  double q[4]; // w, x, y, z
  vtkMath::Matrix3x3ToQuaternion(rotation, q);
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  out.Rotation[0] = q[1] / length;
  out.Rotation[1] = q[2] / length;
  out.Rotation[2] = q[3] / length;
  out.Rotation[3] = q[0] / length;
  out.YFov = vtkMath::RadiansFromDegrees(camera->GetViewAngle());
  const int* size = scene.Window->GetSize();
  out.AspectRatio = static_cast<double>(size[0]) / size[1];
  double range[2];
  camera->GetClippingRange(range);
  out.ZNear = range[0];
  out.ZFar = range[1];
  return out;
}

// The image of the texture the hair is drawn with, as a PNG file; empty when
// the hair has none (the scene leaves out a texture it cannot read).
std::vector<unsigned char> TexturePng(vtkActor* hair)
{
  vtkTexture* texture = hair->GetTexture();
  if (!texture)
  {
    return {};
  }
  texture->GetInputAlgorithm()->Update();
  vtkImageData* image = vtkImageData::SafeDownCast(texture->GetInputDataObject(0, 0));
  return PngFile(image);
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
  WriteAtomically(
    path, [&bytes](int descriptor) { return WriteAll(descriptor, bytes.data(), bytes.size()); });
}
}

vtkSmartPointer<vtkPolyData> ExpressionShape(vtkAbstractTransform* transform,
                                             vtkPolyData* rest,
                                             int k)
{
  vtkNew<vtkPoints> points;
  vtkNew<vtkFloatArray> normals;
  normals->SetNumberOfComponents(3);
  normals->SetName("Normals");
  vtkDataArray* restNormals = rest->GetPointData()->GetNormals();
  vtkDataArray* outNormals = restNormals ? normals.Get() : nullptr;
  if (auto* expressions = vtkExpressionTransform::SafeDownCast(transform))
  {
    std::vector<double> kept;
    for (int e = 0; e < expressions->GetNumberOfExpressions(); ++e)
    {
      kept.push_back(expressions->GetWeight(e));
      expressions->SetWeight(e, e == k ? 1.0 : 0.0);
    }
    expressions->TransformPointsNormalsVectors(
      rest->GetPoints(), points, restNormals, outNormals, nullptr, nullptr);
    for (int e = 0; e < expressions->GetNumberOfExpressions(); ++e)
    {
      expressions->SetWeight(e, kept[e]);
    }
  }
  else if (auto* single = vtkShapeTransform::SafeDownCast(transform))
  {
    const float kept = single->BlendFactor;
    single->BlendFactor = 1.0f;
    single->TransformPointsNormalsVectors(
      rest->GetPoints(), points, restNormals, outNormals, nullptr, nullptr);
    single->BlendFactor = kept;
  }
  else
  {
    transform->TransformPointsNormalsVectors(
      rest->GetPoints(), points, restNormals, outNormals, nullptr, nullptr);
  }
  auto shape = vtkSmartPointer<vtkPolyData>::New();
  shape->ShallowCopy(rest);
  shape->SetPoints(points);
  if (restNormals)
  {
    shape->GetPointData()->SetNormals(normals);
  }
  return shape;
}

void WriteGltf(const std::string& path,
               Scene& scene,
               const SceneInput& input,
               SplineFit& fit,
               int framesPerSecond)
{
  const GltfFrame frame{ input.YUp };
  vtkPolyData* rest = input.Face;
  std::vector<GltfMaterial> materials = FaceMaterials(rest);
  std::vector<GltfMesh> meshes = MeshesOf(rest, frame);
  const std::vector<std::string> names = ExpressionNames(fit);
  for (size_t k = 0; k < names.size(); ++k)
  {
    vtkSmartPointer<vtkPolyData> shape =
      ExpressionShape(UserMeshTransform(fit, scene), rest, static_cast<int>(k));
    const std::vector<GltfMesh> moved = MeshesOf(shape, frame);
    for (size_t m = 0; m < meshes.size(); ++m)
    {
      meshes[m].TargetNames.push_back(names[k]);
      for (size_t p = 0; p < meshes[m].Primitives.size(); ++p)
      {
        GltfPrimitive& primitive = meshes[m].Primitives[p];
        const GltfPrimitive& target = moved[m].Primitives[p];
        primitive.TargetPositions.push_back(Difference(target.Positions, primitive.Positions));
        if (!primitive.Normals.empty())
        {
          primitive.TargetNormals.push_back(Difference(target.Normals, primitive.Normals));
        }
      }
    }
  }

  // The cylinder mapping of a scene without hair has no points to map.
  if (input.Hair && input.Hair->GetNumberOfPoints() > 0)
  {
    scene.HairMapping->Update();
    vtkPolyData* hair = vtkPolyData::SafeDownCast(scene.HairMapping->GetOutputDataObject(0));
    // The hair's parts without a material of their own are drawn with its
    // texture, or else its diffuse colour.
    const int first = static_cast<int>(materials.size());
    std::vector<GltfMaterial> hairMaterials = FaceMaterials(hair);
    GltfMaterial& plain = hairMaterials[0];
    plain = GltfMaterial();
    plain.Name = "hair";
    plain.Png = TexturePng(scene.HairActor);
    if (plain.Png.empty())
    {
      const float colour[4] = { 0.882353f, 0.682353f, 0.513726f, 1.0f };
      std::copy(colour, colour + 4, plain.BaseColour);
    }
    std::vector<GltfMesh> hairMeshes = MeshesOf(hair, frame, first);
    if (hairMeshes.size() == 1)
    {
      hairMeshes[0].Name = "hair";
    }
    materials.insert(materials.end(), hairMaterials.begin(), hairMaterials.end());
    meshes.insert(meshes.end(), hairMeshes.begin(), hairMeshes.end());
  }
  const GltfCamera camera = CameraOf(scene, frame);
  const GltfWeights animation =
    FrameWeights(fit, input.Settings->GetFramesNumber(), framesPerSecond);
  RefuseNonFinite("the glTF file " + ShownName(path),
                  NonFinitePartOf(meshes, materials, &camera, animation));
  WriteBytes(path, GlbBytes(meshes, materials, &camera, animation));
}

void ExportShapes(const std::string& folder,
                  const Scene& scene,
                  const SceneInput& input,
                  SplineFit& fit)
{
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::string extension = ShapeFileExtension(input.Settings->GetFaceFileName());
  const GltfFrame frame{ input.YUp };
  vtkPolyData* rest = input.Face;
  const std::vector<std::string> names = ExpressionNames(fit);
  for (size_t k = 0; k < names.size(); ++k)
  {
    vtkSmartPointer<vtkPolyData> shape =
      ExpressionShape(UserMeshTransform(fit, scene), rest, static_cast<int>(k));
    const std::string path = ShapeFilePath(folder, names[k], input.Settings->GetFaceFileName());
    const std::string role = "the expression shape " + ShownName(path);
    if (extension == ".glb")
    {
      const std::vector<GltfMesh> meshes = MeshesOf(shape, frame);
      const std::vector<GltfMaterial> materials = FaceMaterials(rest);
      RefuseNonFinite(role, NonFinitePartOf(meshes, materials, nullptr, GltfWeights()));
      WriteBytes(path, GlbBytes(meshes, materials, nullptr, GltfWeights()));
    }
    else
    {
      RefuseNonFinite(role, NonFinitePartOf(shape));
      WriteMeshFile(shape, path, extension);
    }
  }
}
