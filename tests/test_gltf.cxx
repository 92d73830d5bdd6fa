// The binary glTF of a run, end to end: the Khronos validator accepts it,
// three.js in Chromium and VTK's own glTF reader at the last frame's time
// show the program's last frame, and the file serves as the face of another
// scene. A glTF face of several meshes, materials and a texture comes back
// whole and upright, as Blender imports it.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <vtkCellArray.h>
#include <vtkDataObjectTreeIterator.h>
#include <vtkGLTFDocumentLoader.h>
#include <vtkGLTFReader.h>
#include <vtkImageData.h>
#include <vtkMath.h>
#include <vtkMultiBlockDataSet.h>
#include <vtkNew.h>
#include <vtkPNGWriter.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>
#include <vtkTriangle.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
using Points = std::vector<std::array<double, 3>>;

// The scene's frame turned to glTF's: (x, y, z) becomes (x, z, -y).
Points YUp(const Points& points)
{
  Points turned;
  for (const auto& p : points)
  {
    turned.push_back({ p[0], p[2], -p[1] });
  }
  return turned;
}

// The points of the file's first mesh with its animation at time seconds.
Points FirstMeshAt(const std::string& path, double seconds)
{
  vtkNew<vtkGLTFReader> reader;
  reader->SetFileName(path.c_str());
  reader->SetFrameRate(10);
  reader->UpdateInformation();
  EXPECT_EQ(reader->GetNumberOfAnimations(), 1);
  reader->EnableAnimation(0);
  reader->ApplyDeformationsToGeometryOn();
  reader->UpdateTimeStep(seconds);
  auto leaves =
    vtkSmartPointer<vtkDataObjectTreeIterator>::Take(reader->GetOutput()->NewTreeIterator());
  leaves->InitTraversal();
  Points points;
  if (auto* mesh = vtkPolyData::SafeDownCast(leaves->GetCurrentDataObject()))
  {
    for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
    {
      double p[3];
      mesh->GetPoint(i, p);
      points.push_back({ p[0], p[1], p[2] });
    }
  }
  return points;
}

double LargestGap(const Points& a, const Points& b)
{
  double gap = 0.0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      gap = std::max(gap, std::fabs(a[i][c] - b[i][c]));
    }
  }
  return gap;
}

// The green and yellow pixels of a frame: how many, and their mean row
// (counted from the bottom).
struct TwoTones
{
  double Green = 0;
  double Yellow = 0;
  double GreenRow = 0;
  double YellowRow = 0;
};

TwoTones TwoTonesOf(const RgbImage& frame)
{
  TwoTones tones;
  for (int y = 0; y < frame.Height; ++y)
  {
    for (int x = 0; x < frame.Width; ++x)
    {
      const std::array<int, 3> c = frame.At(x, y);
      if (c[1] > 120 && c[0] < 90 && c[2] < 90)
      {
        ++tones.Green;
        tones.GreenRow += y;
      }
      else if (c[0] > 120 && c[1] > 120 && c[2] < 90)
      {
        ++tones.Yellow;
        tones.YellowRow += y;
      }
    }
  }
  tones.GreenRow /= std::max(1.0, tones.Green);
  tones.YellowRow /= std::max(1.0, tones.Yellow);
  return tones;
}

// Loads the glb at path into loader, as the toolkit's glTF reader does.
bool LoadGlb(vtkGLTFDocumentLoader* loader, const std::string& path)
{
  std::vector<char> buffer;
  return loader->LoadModelMetaDataFromFile(path) && loader->LoadFileBuffer(path, buffer) &&
         loader->LoadModelData(buffer) && loader->BuildModelVTKGeometry();
}

// The primitives of the glb at path as the toolkit's glTF loader builds them.
std::vector<vtkSmartPointer<vtkPolyData>> PrimitivesOf(const std::string& path)
{
  vtkNew<vtkGLTFDocumentLoader> loader;
  std::vector<vtkSmartPointer<vtkPolyData>> primitives;
  if (LoadGlb(loader, path))
  {
    for (const auto& mesh : loader->GetInternalModel()->Meshes)
    {
      for (const auto& primitive : mesh.Primitives)
      {
        primitives.push_back(primitive.Geometry);
      }
    }
  }
  return primitives;
}

// The triangles of mesh whose corners turn against its normals; triangles
// without area have no side.
int TrianglesAgainstNormals(vtkPolyData* mesh)
{
  vtkDataArray* normals = mesh->GetPointData()->GetNormals();
  int against = 0;
  vtkIdType count;
  const vtkIdType* ids;
  vtkCellArray* polys = mesh->GetPolys();
  for (polys->InitTraversal(); normals && polys->GetNextCell(count, ids);)
  {
    double corner[3][3], facing[3], corners[3] = { 0, 0, 0 };
    for (int k = 0; k < 3; ++k)
    {
      mesh->GetPoint(ids[k], corner[k]);
    }
    vtkTriangle::ComputeNormalDirection(corner[0], corner[1], corner[2], facing);
    for (int k = 0; k < 3; ++k)
    {
      vtkMath::Add(corners, normals->GetTuple3(ids[k]), corners);
    }
    against += vtkMath::Norm(facing) > 1e-9 && vtkMath::Dot(facing, corners) <= 0 ? 1 : 0;
  }
  return against;
}

// A second expression on the test scene's sources (the front raised by 0.1)
// and a timeline of 13 frames: at 10 frames a second the last is at 1.2 s.
class GltfExport : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const TestScene scene = WriteTestScene(this->Folder.Path(),
                                           "SaveImages yes\n"
                                           "Expression lift lift.txt\n"
                                           "Key 0 default 0 lift 0\n"
                                           "Key 6 default 1\n"
                                           "Key 12 default 0.4 lift 1.25\n");
    std::string lift;
    for (const ControlPair& pair : scene.Controls)
    {
      const double raise = pair.Source[1] < 0.631591 - 0.8 ? 0.1 : 0.0;
      lift += ControlLine(pair.Source, { pair.Source[0], pair.Source[1], pair.Source[2] + raise });
    }
    this->Folder.Write("lift.txt", lift);
  }

  TemporaryFolder Folder;
};

TEST_F(GltfExport, ValidatorAndToolkitReaderShowTheLastFrame)
{
  const ProgramRun run = RunAnimation(
    this->Folder.Path(), "--batch --gltf " + this->Folder.File("run.glb") + " --fps 10");
  ASSERT_EQ(run.Status, 0) << run.Err;
  ASSERT_NE(run.Out.find("\n13 frames generated in "), std::string::npos) << run.Out;

  const std::string validate = "node " ANIMATION_SOURCE_DIR "/tests/gltf/validate.mjs " +
                               this->Folder.File("run.glb") + " > " +
                               this->Folder.File("validation.json");
  EXPECT_EQ(std::system(validate.c_str()), 0)
    << ReadWholeFile(this->Folder.File("validation.json"));

  // three.js in Chromium, through the file's camera at the last frame's time,
  // against the program's last frame on its background 0.24 0.35 0.67.
  const std::string view = "node " ANIMATION_SOURCE_DIR "/tests/gltf/browser_view.mjs " +
                           this->Folder.File("run.glb") + " " + this->Folder.File("image0012.bmp") +
                           " 1.2 61 89 171 0.85 > " + this->Folder.File("view.json") + " 2>&1";
  EXPECT_EQ(std::system(view.c_str()), 0) << ReadWholeFile(this->Folder.File("view.json"));

  const Points rest = YUp(ReadMeshPoints(this->Folder.File("woman.vtk")));
  const Points last = YUp(ReadMeshPoints(this->Folder.File("animated_shape.vtk")));
  const Points atStart = FirstMeshAt(this->Folder.File("run.glb"), 0.0);
  const Points atEnd = FirstMeshAt(this->Folder.File("run.glb"), 1.2);
  ASSERT_EQ(atStart.size(), rest.size());
  ASSERT_EQ(atEnd.size(), rest.size());
  EXPECT_LT(LargestGap(atStart, rest), 1e-6);
  EXPECT_LT(LargestGap(atEnd, last), 1e-4);
  // The last frame is not the rest shape.
  EXPECT_GT(LargestGap(last, rest), 0.05);

  // The file as the face of another scene: every mesh (the face, then the
  // hair), at rest, in glTF's frame. Anchors alone leave it where it is.
  TemporaryFolder other;
  std::string ptt = "Face face.glb\nHair none.vtk\n";
  char line[200];
  for (size_t i = 0; i < rest.size(); i += 97)
  {
    const auto& p = rest[i];
    std::snprintf(
      line, sizeof(line), "%.7f %.7f %.7f %.7f %.7f %.7f\n", p[0], p[1], p[2], p[0], p[1], p[2]);
    ptt += line;
  }
  other.Write("woman.ptt", ptt);
  other.Write("face.glb", ReadWholeFile(this->Folder.File("run.glb")));
  const ProgramRun second = RunAnimation(other.Path(), "--batch");
  ASSERT_EQ(second.Status, 0) << second.Err;
  const Points read = ReadMeshPoints(other.File("animated_shape.vtk"));
  const Points hair = ReadMeshPoints(this->Folder.File("hair.vtk"));
  ASSERT_EQ(read.size(), rest.size() + hair.size());
  EXPECT_LT(LargestGap(read, rest), 1e-5);
}

// tests/gltf/make_parts_glb.py's face: a head of two primitives with two
// materials (one a texture, green above yellow, in front) on a turned node,
// and a hat on a moved and scaled one. The front of the head is pulled out.
TEST(GltfFace, EveryPartComesBackWithItsMaterialsAndStandsUpright)
{
  TemporaryFolder folder;
  const std::string make = "/usr/bin/python3 " ANIMATION_SOURCE_DIR
                           "/tests/gltf/make_parts_glb.py " +
                           folder.File("face.glb") + " > " + folder.File("parts.json");
  ASSERT_EQ(std::system(make.c_str()), 0);
  folder.Write("woman.ptt",
               "Face face.glb\nHair none\nSupportRadius 0.8\nFramesNumber 4\n"
               "SaveImages yes\nWindowSize 200 200\n"
               "0 0 1 0 0 1.3\n0 1 0 0 1 0\n0 -1 0 0 -1 0\n1 0 0 1 0 0\n-1 0 0 -1 0 0\n"
               "0 0 -1 0 0 -1\n");
  const ProgramRun run =
    RunAnimation(folder.Path(), "--batch --gltf run.glb --export-shapes shapes");
  ASSERT_EQ(run.Status, 0) << run.Err;

  // The frame shows the texture the right way up: its green above its yellow.
  const TwoTones tones = TwoTonesOf(ReadBmp(folder.File("image0000.bmp")));
  ASSERT_GT(tones.Green, 500);
  ASSERT_GT(tones.Yellow, 500);
  EXPECT_GT(tones.GreenRow, tones.YellowRow + 10);

  // The input's triangle wound against its normals is turned round.
  const auto primitives = PrimitivesOf(folder.File("run.glb"));
  ASSERT_EQ(primitives.size(), 3u);
  for (int p = 0; p < 2; ++p)
  {
    ASSERT_NE(primitives[p]->GetPointData()->GetNormals(), nullptr);
    ASSERT_GT(primitives[p]->GetNumberOfPolys(), 0);
    EXPECT_EQ(TrianglesAgainstNormals(primitives[p]), 0);
  }

  const std::string validate = "node " ANIMATION_SOURCE_DIR "/tests/gltf/validate.mjs " +
                               folder.File("run.glb") + " > " + folder.File("validation.json");
  EXPECT_EQ(std::system(validate.c_str()), 0) << ReadWholeFile(folder.File("validation.json"));
  // three.js through the file's camera shows what the first frame shows: the
  // camera went into glTF's frame with the face.
  const std::string view = "node " ANIMATION_SOURCE_DIR "/tests/gltf/browser_view.mjs " +
                           folder.File("run.glb") + " " + folder.File("image0000.bmp") +
                           " 0 61 89 171 0.85 > " + folder.File("view.json") + " 2>&1";
  EXPECT_EQ(std::system(view.c_str()), 0) << ReadWholeFile(folder.File("view.json"));
  const std::string blender =
    "blender --background --factory-startup --python-exit-code 1 --python " ANIMATION_SOURCE_DIR
    "/tests/gltf/blender_parts_check.py -- " +
    folder.File("run.glb") + " " + folder.File("shapes/default.glb") + " " +
    folder.File("parts.json") + " > " + folder.File("blender.txt") + " 2>&1";
  EXPECT_EQ(std::system(blender.c_str()), 0) << ReadWholeFile(folder.File("blender.txt"));
}
}

// A Y-up OBJ sphere whose material library gives it a texture, green above
// yellow (its t coordinate rises with y): the frames show it, and the glb
// carries it as the face's base colour texture, the sphere not turned. A
// texture outside the OBJ file's folder is not read.
TEST(ObjFace, MaterialTextureIsShownAndExported)
{
  TemporaryFolder folder;
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(24);
  sphere->SetPhiResolution(16);
  sphere->Update();
  vtkPolyData* mesh = sphere->GetOutput();
  std::string obj = "mtllib face.mtl\n";
  char line[200];
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    const double* p = mesh->GetPoint(i);
    std::snprintf(
      line, sizeof(line), "v %.9g %.9g %.9g\nvt 0.5 %.9g\n", p[0], p[1], p[2], (p[1] + 0.5));
    obj += line;
  }
  obj += "usemtl skin\n";
  vtkIdType count;
  const vtkIdType* ids;
  vtkCellArray* polys = mesh->GetPolys();
  for (polys->InitTraversal(); polys->GetNextCell(count, ids);)
  {
    obj += "f";
    for (vtkIdType k = 0; k < count; ++k)
    {
      obj += " " + std::to_string(ids[k] + 1) + "/" + std::to_string(ids[k] + 1);
    }
    obj += "\n";
  }
  folder.Write("face.obj", obj);
  folder.Write("face.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd skin.png\n");
  vtkNew<vtkImageData> image;
  image->SetDimensions(4, 4, 1);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
  for (int y = 0; y < 4; ++y)
  {
    for (int x = 0; x < 4; ++x)
    {
      // The toolkit's rows start at the bottom: the lower two yellow.
      const unsigned char colour[2][3] = { { 230, 220, 20 }, { 20, 200, 40 } };
      std::copy(colour[y / 2],
                colour[y / 2] + 3,
                static_cast<unsigned char*>(image->GetScalarPointer(x, y, 0)));
    }
  }
  vtkNew<vtkPNGWriter> png;
  png->SetInputData(image);
  png->SetFileName(folder.File("skin.png").c_str());
  png->Write();
  folder.Write("woman.ptt",
               "Face face.obj\nHair none\nFramesNumber 2\nSaveImages yes\n"
               "WindowSize 200 200\n0 0 0.5 0 0 0.6\n0 0.5 0 0 0.5 0\n");
  const ProgramRun run = RunAnimation(folder.Path(), "--batch --gltf run.glb");
  ASSERT_EQ(run.Status, 0) << run.Err;

  const TwoTones tones = TwoTonesOf(ReadBmp(folder.File("image0000.bmp")));
  ASSERT_GT(tones.Green, 500);
  ASSERT_GT(tones.Yellow, 500);
  EXPECT_GT(tones.GreenRow, tones.YellowRow + 10);

  // The toolkit's own glTF importer: one mesh, the sphere's points as they
  // are (Y up already), and the texture, green above yellow.
  vtkNew<vtkGLTFDocumentLoader> loader;
  ASSERT_TRUE(LoadGlb(loader, folder.File("run.glb")));
  const auto& model = *loader->GetInternalModel();
  ASSERT_EQ(model.Meshes.size(), 1u);
  const auto& primitive = model.Meshes[0].Primitives.at(0);
  ASSERT_EQ(primitive.Geometry->GetNumberOfPoints(), mesh->GetNumberOfPoints());
  double gap = 0;
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      gap = std::max(gap, std::fabs(primitive.Geometry->GetPoint(i)[c] - mesh->GetPoint(i)[c]));
    }
  }
  EXPECT_LT(gap, 1e-6);
  const auto& material = model.Materials.at(primitive.Material);
  const int texture = material.PbrMetallicRoughness.BaseColorTexture.Index;
  ASSERT_GE(texture, 0);
  vtkImageData* read = model.Images.at(model.Textures.at(texture).Source).ImageData;
  ASSERT_NE(read, nullptr);
  const RgbImage pixels = ImageFromToolkit(read);
  EXPECT_EQ(pixels.At(0, 0), (std::array<int, 3>{ 230, 220, 20 }));
  EXPECT_EQ(pixels.At(0, 3), (std::array<int, 3>{ 20, 200, 40 }));

  // Texture coordinates given per corner, two for a vertex across a seam (as
  // Blender writes them): the frame still shows the texture as the file maps
  // it, and the outputs keep the file's own vertices, where one point cannot
  // hold two coordinates, so the glb has no texture to map.
  std::string seams = "mtllib face.mtl\n";
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    const double* p = mesh->GetPoint(i);
    std::snprintf(line, sizeof(line), "v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
    seams += line;
  }
  seams += "usemtl skin\n";
  std::string corners;
  int corner = 0;
  for (polys->InitTraversal(); polys->GetNextCell(count, ids);)
  {
    corners += "f";
    for (vtkIdType k = 0; k < count; ++k)
    {
      std::snprintf(line,
                    sizeof(line),
                    "vt %.9g %.9g\n",
                    0.25 + 0.5 * (corner % 2),
                    mesh->GetPoint(ids[k])[1] + 0.5);
      seams += line;
      corners += " " + std::to_string(ids[k] + 1) + "/" + std::to_string(++corner);
    }
    corners += "\n";
  }
  folder.Write("face.obj", seams + corners);
  const ProgramRun seamed = RunAnimation(folder.Path(), "--batch --gltf seams.glb");
  ASSERT_EQ(seamed.Status, 0) << seamed.Err;
  const TwoTones seamedTones = TwoTonesOf(ReadBmp(folder.File("image0000.bmp")));
  EXPECT_GT(seamedTones.Green, 500);
  EXPECT_GT(seamedTones.Yellow, 500);
  vtkNew<vtkGLTFDocumentLoader> seamedLoader;
  ASSERT_TRUE(LoadGlb(seamedLoader, folder.File("seams.glb")));
  const auto& seamedModel = *seamedLoader->GetInternalModel();
  EXPECT_EQ(seamedModel.Meshes.at(0).Primitives.at(0).Geometry->GetNumberOfPoints(),
            mesh->GetNumberOfPoints());
  EXPECT_TRUE(seamedModel.Textures.empty());

  // A library that names its texture by an absolute path (or one with "..")
  // reaches outside the folder: the texture is left out.
  folder.Write("face.mtl", "newmtl skin\nKd 1 1 1\nmap_Kd " + folder.File("skin.png") + "\n");
  ASSERT_EQ(RunAnimation(folder.Path(), "--batch").Status, 0);
  EXPECT_EQ(TwoTonesOf(ReadBmp(folder.File("image0000.bmp"))).Green, 0);
}
