#include "gltf_export.h"

#include "animation_loop.h"
#include "atomic_write.h"
#include "expressions.h"
#include "gltf_writer.h"
#include "mesh_writer.h"
#include "scene.h"
#include "solve_stage.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkShapeTransform.h"

#include <vtkActor.h>
#include <vtkAlgorithm.h>
#include <vtkCamera.h>
#include <vtkCellArray.h>
#include <vtkDataArray.h>
#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPNGWriter.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>
#include <vtkTexture.h>
#include <vtkTextureMapToCylinder.h>
#include <vtkTriangleFilter.h>
#include <vtkUnsignedCharArray.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace
{
// glTF's frame from the scene's: Z up becomes Y up.
void ToYUp(const double in[3], float out[3])
{
  out[0] = static_cast<float>(in[0]);
  out[1] = static_cast<float>(in[2]);
  out[2] = static_cast<float>(-in[1]);
}

// The points, or the normals made of unit length, in glTF's frame.
std::vector<float> YUpTriples(vtkPoints* points, vtkDataArray* normals)
{
  const vtkIdType n = points ? points->GetNumberOfPoints() : normals->GetNumberOfTuples();
  std::vector<float> triples(3 * n);
  for (vtkIdType i = 0; i < n; ++i)
  {
    double p[3];
    if (points)
    {
      points->GetPoint(i, p);
    }
    else
    {
      // glTF's normals are of unit length; a mesh's own may not be.
      normals->GetTuple(i, p);
      vtkMath::Normalize(p);
    }
    ToYUp(p, &triples[3 * i]);
  }
  return triples;
}

std::vector<float> Difference(const std::vector<float>& a, const std::vector<float>& b)
{
  std::vector<float> d(a.size());
  for (size_t i = 0; i < a.size(); ++i)
  {
    d[i] = a[i] - b[i];
  }
  return d;
}

// The mesh as glTF takes it: positions and normals Y up, colours from RGB(A)
// unsigned-char point scalars, texture coordinates with v down the image,
// and the polygons cut into triangles.
GltfMesh MeshFrom(vtkPolyData* mesh, const std::string& name)
{
  GltfMesh out;
  out.Name = name;
  out.Positions = YUpTriples(mesh->GetPoints(), nullptr);
  const vtkIdType n = mesh->GetNumberOfPoints();
  if (vtkDataArray* normals = mesh->GetPointData()->GetNormals())
  {
    out.Normals = YUpTriples(nullptr, normals);
  }
  vtkDataArray* scalars = mesh->GetPointData()->GetScalars();
  if (scalars && scalars->GetDataType() == VTK_UNSIGNED_CHAR &&
      scalars->GetNumberOfComponents() >= 3)
  {
    for (vtkIdType i = 0; i < n; ++i)
    {
      for (int c = 0; c < 3; ++c)
      {
        out.Colours.push_back(static_cast<float>(scalars->GetComponent(i, c) / 255.0));
      }
    }
  }
  if (vtkDataArray* tcoords = mesh->GetPointData()->GetTCoords())
  {
    for (vtkIdType i = 0; i < n; ++i)
    {
      out.TexCoords.push_back(static_cast<float>(tcoords->GetComponent(i, 0)));
      out.TexCoords.push_back(static_cast<float>(1.0 - tcoords->GetComponent(i, 1)));
    }
  }
  vtkNew<vtkPolyData> polygons;
  polygons->SetPoints(mesh->GetPoints());
  polygons->SetPolys(mesh->GetPolys());
  polygons->SetStrips(mesh->GetStrips());
  vtkNew<vtkTriangleFilter> triangles;
  triangles->SetInputData(polygons);
  triangles->PassVertsOff();
  triangles->PassLinesOff();
  triangles->Update();
  vtkCellArray* cells = triangles->GetOutput()->GetPolys();
  vtkIdType count;
  const vtkIdType* ids;
  for (cells->InitTraversal(); cells->GetNextCell(count, ids);)
  {
    if (count == 3)
    {
      out.Triangles.insert(out.Triangles.end(), ids, ids + 3);
    }
  }
  return out;
}

// The expressions' names: "default" alone for a scene without Expression lines.
std::vector<std::string> ExpressionNames(const SplineFit& fit)
{
  return fit.Expressions ? fit.Expressions->Names : std::vector<std::string>{ "default" };
}

// The face with expression k at weight 1 and the others at 0: its points and,
// when the face has normals, its normals. The transform's weights are put back
// afterwards; its cache serves every expression.
vtkSmartPointer<vtkPolyData> ExpressionShape(SplineFit& fit,
                                             const Scene& scene,
                                             vtkPolyData* rest,
                                             int k)
{
  vtkNew<vtkPoints> points;
  vtkNew<vtkFloatArray> normals;
  normals->SetNumberOfComponents(3);
  normals->SetName("Normals");
  vtkDataArray* restNormals = rest->GetPointData()->GetNormals();
  vtkDataArray* outNormals = restNormals ? normals.Get() : nullptr;
  if (fit.Expressions)
  {
    vtkExpressionTransform* transform = fit.Expressions->Transform;
    std::vector<double> kept;
    for (int e = 0; e < transform->GetNumberOfExpressions(); ++e)
    {
      kept.push_back(transform->GetWeight(e));
      transform->SetWeight(e, e == k ? 1.0 : 0.0);
    }
    transform->TransformPointsNormalsVectors(
      rest->GetPoints(), points, restNormals, outNormals, nullptr, nullptr);
    for (int e = 0; e < transform->GetNumberOfExpressions(); ++e)
    {
      transform->SetWeight(e, kept[e]);
    }
  }
  else
  {
    auto* transform = static_cast<vtkShapeTransform*>(UserMeshTransform(fit, scene));
    const float kept = transform->BlendFactor;
    transform->BlendFactor = 1.0f;
    transform->TransformPointsNormalsVectors(
      rest->GetPoints(), points, restNormals, outNormals, nullptr, nullptr);
    transform->BlendFactor = kept;
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
      for (double w : WeightsOfFrame(fit.Expressions->Keys, i))
      {
        animation.Weights.push_back(static_cast<float>(w));
      }
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
GltfCamera CameraOf(Scene& scene)
{
  vtkCamera* camera = scene.FaceRenderer->GetActiveCamera();
  GltfCamera out;
  float position[3], focal[3], up[3];
  ToYUp(camera->GetPosition(), position);
  ToYUp(camera->GetFocalPoint(), focal);
  ToYUp(camera->GetViewUp(), up);
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
  if (!image || image->GetNumberOfPoints() == 0)
  {
    return {};
  }
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputData(image);
  writer->WriteToMemoryOn();
  writer->Write();
  vtkUnsignedCharArray* bytes = writer->GetResult();
  if (!bytes)
  {
    return {};
  }
  return { bytes->GetPointer(0), bytes->GetPointer(0) + bytes->GetNumberOfValues() };
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
  WriteAtomically(
    path, [&bytes](int descriptor) { return WriteAll(descriptor, bytes.data(), bytes.size()); });
}
}

void WriteGltf(const std::string& path,
               Scene& scene,
               const SceneInput& input,
               SplineFit& fit,
               int framesPerSecond)
{
  vtkPolyData* rest = input.Face;
  std::vector<GltfMesh> meshes{ MeshFrom(rest, "face") };
  GltfMesh& face = meshes[0];
  const std::vector<std::string> names = ExpressionNames(fit);
  for (size_t k = 0; k < names.size(); ++k)
  {
    vtkSmartPointer<vtkPolyData> shape = ExpressionShape(fit, scene, rest, static_cast<int>(k));
    face.TargetNames.push_back(names[k]);
    face.TargetPositions.push_back(
      Difference(YUpTriples(shape->GetPoints(), nullptr), face.Positions));
    if (!face.Normals.empty())
    {
      face.TargetNormals.push_back(
        Difference(YUpTriples(nullptr, shape->GetPointData()->GetNormals()), face.Normals));
    }
  }

  // The cylinder mapping of a scene without hair has no points to map.
  vtkPolyData* hair = nullptr;
  if (input.Hair)
  {
    scene.HairMapping->Update();
    hair = vtkPolyData::SafeDownCast(scene.HairMapping->GetOutputDataObject(0));
  }
  if (hair && hair->GetNumberOfPoints() > 0)
  {
    meshes.push_back(MeshFrom(hair, "hair"));
    GltfMesh& mesh = meshes.back();
    mesh.Png = TexturePng(scene.HairActor);
    if (mesh.Png.empty() && !mesh.Triangles.empty())
    {
      const float colour[4] = { 0.882353f, 0.682353f, 0.513726f, 1.0f }; // its diffuse colour
      std::copy(colour, colour + 4, mesh.BaseColour);
    }
    if (mesh.Triangles.empty())
    {
      meshes.pop_back();
    }
  }
  WriteBytes(path,
             GlbBytes(meshes,
                      CameraOf(scene),
                      FrameWeights(fit, input.Settings->GetFramesNumber(), framesPerSecond)));
}

void ExportShapes(const std::string& folder,
                  const Scene& scene,
                  const SceneInput& input,
                  SplineFit& fit)
{
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::string extension =
    std::filesystem::path(input.Settings->GetFaceFileName()).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
  if (extension != ".vtk" && extension != ".ply" && extension != ".obj" && extension != ".stl")
  {
    extension = ".vtp";
  }
  vtkPolyData* rest = input.Face;
  const std::vector<std::string> names = ExpressionNames(fit);
  for (size_t k = 0; k < names.size(); ++k)
  {
    vtkSmartPointer<vtkPolyData> shape = ExpressionShape(fit, scene, rest, static_cast<int>(k));
    const std::string path = (std::filesystem::path(folder) / (names[k] + extension)).string();
    WriteMeshFile(shape, path, extension);
  }
}
