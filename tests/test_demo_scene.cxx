// make_demo_scene: the scene folder it writes, read back as the animation
// program reads it: the meshes through the toolkit's legacy reader, the
// images through its BMP reader, the scene file line by line through an
// 80-character buffer. The checks measure the files themselves (surface
// distances, spacing, coverage, camera projection), independently of the
// generator's own code.
#include "scene_file.h"

#include <vtkBMPReader.h>
#include <vtkCellArray.h>
#include <vtkCellType.h>
#include <vtkDataArray.h>
#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>
#include <vtkStaticCellLocator.h>
#include <vtkStaticPointLocator.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

const double CameraPosition[3] = { 2.11247, -5.16695, 7.36478 };
const double CameraFocalPoint[3] = { 0.145534, 0.631591, 7.68539 };
const double CameraViewUp[3] = { 0.00928477, -0.0520647, 0.998601 };
const double ClippingRange[2] = { 0.168546, 16.8546 };
const double SupportRadius = 0.5;
const std::string DemoFolder = ANIMATION_BINARY_DIR "/demo";
const char* const SceneFiles[] = { "woman.ptt",
                                   "woman.vtk",
                                   "hair.vtk",
                                   "hair.bmp",
                                   "background.bmp" };

using Vector = std::array<double, 3>;

double Dot(const Vector& a, const Vector& b)
{
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Distance(const Vector& a, const Vector& b)
{
  Vector d = { a[0] - b[0], a[1] - b[1], a[2] - b[2] };
  return std::sqrt(Dot(d, d));
}

Vector Normalised(Vector v)
{
  double n = std::sqrt(Dot(v, v));
  return { v[0] / n, v[1] / n, v[2] / n };
}

// Runs the generator with the given options into folder; its exit status.
int Generate(const std::string& folder, const std::string& options = "")
{
  std::string command = "'" ANIMATION_BINARY_DIR "/bin/make_demo_scene' --out '" + folder + "' " +
                        options + " >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return status == -1 ? -1 : WEXITSTATUS(status);
}

vtkSmartPointer<vtkPolyData> ReadMesh(const std::string& path)
{
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  vtkSmartPointer<vtkPolyData> mesh = reader->GetOutput();
  return mesh;
}

// The scene file as the program reads it: pieces of at most 79 characters.
struct Scene
{
  std::vector<std::string> Lines;
  int FramesNumber = 10;
  int LoopCount = 1;
  std::string Texture;
  std::string Background;
  bool SaveImages = false;
  std::vector<Vector> Sources;
  std::vector<Vector> Targets;
};

Scene ReadScene(const std::string& path)
{
  Scene scene;
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file)
  {
    return scene;
  }
  char line[80];
  while (std::fgets(line, sizeof line, file))
  {
    scene.Lines.push_back(line);
    char word[80];
    float v[6];
    if (std::sscanf(line, "FramesNumber %d", &scene.FramesNumber) == 1 ||
        std::sscanf(line, "LoopCount %d", &scene.LoopCount) == 1)
    {
      continue;
    }
    if (std::sscanf(line, "Texture %79s", word) == 1)
    {
      scene.Texture = word;
    }
    else if (std::sscanf(line, "BackgroundImage %79s", word) == 1)
    {
      scene.Background = word;
    }
    else if (std::sscanf(line, "SaveImages %79s", word) == 1)
    {
      scene.SaveImages = scene.SaveImages || std::string(word) == "yes";
    }
    else if (std::sscanf(line, "%f %f %f %f %f %f", v, v + 1, v + 2, v + 3, v + 4, v + 5) == 6)
    {
      scene.Sources.push_back({ v[0], v[1], v[2] });
      scene.Targets.push_back({ v[3], v[4], v[5] });
    }
  }
  std::fclose(file);
  return scene;
}

bool IsAnchor(const Scene& scene, size_t i)
{
  return scene.Sources[i] == scene.Targets[i];
}

// Smallest distance between two control-point sources.
double SmallestSpacing(const Scene& scene)
{
  double smallest = 1e300;
  for (size_t i = 0; i < scene.Sources.size(); ++i)
  {
    for (size_t j = i + 1; j < scene.Sources.size(); ++j)
    {
      smallest = std::min(smallest, Distance(scene.Sources[i], scene.Sources[j]));
    }
  }
  return smallest;
}

// Largest distance from a source to the surface of the mesh.
double FarthestSourceFromSurface(const Scene& scene, vtkPolyData* mesh)
{
  vtkNew<vtkStaticCellLocator> locator;
  locator->SetDataSet(mesh);
  locator->BuildLocator();
  double farthest = 0.0;
  for (const Vector& source : scene.Sources)
  {
    double closest[3], distance2;
    vtkIdType cell;
    int sub;
    locator->FindClosestPoint(source.data(), closest, cell, sub, distance2);
    farthest = std::max(farthest, std::sqrt(distance2));
  }
  return farthest;
}

// Largest distance from a mesh vertex to its nearest control-point source.
double FarthestVertexFromControls(const Scene& scene, vtkPolyData* mesh)
{
  vtkNew<vtkPoints> sources;
  for (const Vector& source : scene.Sources)
  {
    sources->InsertNextPoint(source.data());
  }
  vtkNew<vtkPolyData> cloud;
  cloud->SetPoints(sources);
  vtkNew<vtkStaticPointLocator> locator;
  locator->SetDataSet(cloud);
  locator->BuildLocator();
  double farthest = 0.0;
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    double p[3];
    mesh->GetPoint(i, p);
    Vector vertex = { p[0], p[1], p[2] };
    vtkIdType nearest = locator->FindClosestPoint(p);
    farthest = std::max(farthest, Distance(vertex, scene.Sources[nearest]));
  }
  return farthest;
}

// The fixed camera of the program: depth along the view direction and
// normalised window coordinates (-1 to 1 across the square window, with the
// toolkit's default view angle of 30 degrees).
class Camera
{
public:
  Camera()
  {
    this->Direction = Normalised({ CameraFocalPoint[0] - CameraPosition[0],
                                   CameraFocalPoint[1] - CameraPosition[1],
                                   CameraFocalPoint[2] - CameraPosition[2] });
    Vector up = { CameraViewUp[0], CameraViewUp[1], CameraViewUp[2] };
    double along = Dot(up, this->Direction);
    this->Up = Normalised({ up[0] - along * this->Direction[0],
                            up[1] - along * this->Direction[1],
                            up[2] - along * this->Direction[2] });
    const Vector& d = this->Direction;
    this->Right = { d[1] * this->Up[2] - d[2] * this->Up[1],
                    d[2] * this->Up[0] - d[0] * this->Up[2],
                    d[0] * this->Up[1] - d[1] * this->Up[0] };
  }

  double Depth(const Vector& p) const { return Dot(this->Offset(p), this->Direction); }
  double WindowX(const Vector& p) const { return this->Window(p, this->Right); }
  double WindowY(const Vector& p) const { return this->Window(p, this->Up); }

private:
  Vector Offset(const Vector& p) const
  {
    return { p[0] - CameraPosition[0], p[1] - CameraPosition[1], p[2] - CameraPosition[2] };
  }
  double Window(const Vector& p, const Vector& axis) const
  {
    const double halfAngle = 15.0 * 3.14159265358979323846 / 180.0;
    return Dot(this->Offset(p), axis) / (this->Depth(p) * std::tan(halfAngle));
  }

  Vector Direction, Up, Right;
};

Vector PointOf(vtkPolyData* mesh, vtkIdType i)
{
  double p[3];
  mesh->GetPoint(i, p);
  return { p[0], p[1], p[2] };
}

Vector Centroid(vtkPolyData* mesh)
{
  Vector c = { 0.0, 0.0, 0.0 };
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    Vector p = PointOf(mesh, i);
    for (int k = 0; k < 3; ++k)
    {
      c[k] += p[k] / mesh->GetNumberOfPoints();
    }
  }
  return c;
}

// The demo scene that the build writes (the demo target runs the generator).
class DemoSceneTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    Face = ReadMesh(File("woman.vtk"));
    Hair = ReadMesh(File("hair.vtk"));
    Demo = new Scene(ReadScene(File("woman.ptt")));
  }

  static void TearDownTestSuite()
  {
    delete Demo;
    Face = nullptr;
    Hair = nullptr;
  }

  static std::string File(const std::string& name) { return DemoFolder + "/" + name; }

  static vtkSmartPointer<vtkPolyData> Face;
  static vtkSmartPointer<vtkPolyData> Hair;
  static Scene* Demo;
};

vtkSmartPointer<vtkPolyData> DemoSceneTest::Face;
vtkSmartPointer<vtkPolyData> DemoSceneTest::Hair;
Scene* DemoSceneTest::Demo = nullptr;

void ExpectClosedTriangleMesh(vtkPolyData* mesh)
{
  ASSERT_GT(mesh->GetNumberOfPoints(), 0);
  EXPECT_EQ(mesh->GetNumberOfVerts(), 0);
  EXPECT_EQ(mesh->GetNumberOfLines(), 0);
  EXPECT_EQ(mesh->GetNumberOfStrips(), 0);
  EXPECT_EQ(mesh->GetNumberOfPolys(), mesh->GetNumberOfCells());
  for (vtkIdType i = 0; i < mesh->GetNumberOfCells(); ++i)
  {
    ASSERT_EQ(mesh->GetCellType(i), VTK_TRIANGLE) << "cell " << i;
  }
  // Closed genus-0 surface: Euler's formula V - E + F = 2 with E = 3F/2.
  EXPECT_EQ(2 * mesh->GetNumberOfPoints() - mesh->GetNumberOfPolys(), 4);
}

void ExpectOutwardUnitNormals(vtkPolyData* mesh)
{
  vtkDataArray* normals = mesh->GetPointData()->GetNormals();
  ASSERT_NE(normals, nullptr);
  ASSERT_EQ(normals->GetNumberOfTuples(), mesh->GetNumberOfPoints());
  Vector centre = Centroid(mesh);
  vtkIdType outward = 0;
  for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
  {
    double* n = normals->GetTuple3(i);
    Vector normal = { n[0], n[1], n[2] };
    ASSERT_NEAR(Dot(normal, normal), 1.0, 1e-3) << "normal " << i;
    Vector p = PointOf(mesh, i);
    Vector out = { p[0] - centre[0], p[1] - centre[1], p[2] - centre[2] };
    outward += Dot(normal, out) > 0.0;
  }
  EXPECT_GT(outward, 0.8 * mesh->GetNumberOfPoints());
}

TEST_F(DemoSceneTest, BuildWritesEveryFileOfTheScene)
{
  for (const char* name : SceneFiles)
  {
    EXPECT_FALSE(ReadWholeFile(File(name)).empty()) << name;
  }
}

TEST_F(DemoSceneTest, MeshesAreClosedTriangleSurfaces)
{
  ExpectClosedTriangleMesh(Face);
  ExpectClosedTriangleMesh(Hair);
}

TEST_F(DemoSceneTest, FaceHasADemoSizedPointCount)
{
  EXPECT_GE(Face->GetNumberOfPoints(), 20000);
  EXPECT_LE(Face->GetNumberOfPoints(), 60000);
}

TEST_F(DemoSceneTest, MeshesCarryOutwardUnitNormals)
{
  ExpectOutwardUnitNormals(Face);
  ExpectOutwardUnitNormals(Hair);
}

TEST_F(DemoSceneTest, FaceCarriesAColourForEveryPoint)
{
  vtkDataArray* colours = Face->GetPointData()->GetScalars();
  ASSERT_NE(colours, nullptr);
  EXPECT_EQ(colours->GetDataType(), VTK_UNSIGNED_CHAR);
  EXPECT_EQ(colours->GetNumberOfComponents(), 3);
  EXPECT_EQ(colours->GetNumberOfTuples(), Face->GetNumberOfPoints());
  EXPECT_EQ(Hair->GetPointData()->GetScalars(), nullptr);
}

TEST_F(DemoSceneTest, HeadLiesWithinTheClippingRangeOfTheCamera)
{
  Camera camera;
  for (vtkPolyData* mesh : { Face.Get(), Hair.Get() })
  {
    for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
    {
      double depth = camera.Depth(PointOf(mesh, i));
      ASSERT_GT(depth, ClippingRange[0]);
      ASSERT_LT(depth, ClippingRange[1]);
    }
  }
}

TEST_F(DemoSceneTest, HeadFillsMostOfTheWindowWithoutLeavingIt)
{
  // Only the neck may run out of the window, at its bottom edge.
  Camera camera;
  double left = 1e300, right = -1e300, top = -1e300, bottom = 1e300;
  for (vtkPolyData* mesh : { Face.Get(), Hair.Get() })
  {
    for (vtkIdType i = 0; i < mesh->GetNumberOfPoints(); ++i)
    {
      Vector p = PointOf(mesh, i);
      left = std::min(left, camera.WindowX(p));
      right = std::max(right, camera.WindowX(p));
      top = std::max(top, camera.WindowY(p));
      bottom = std::min(bottom, camera.WindowY(p));
    }
  }
  EXPECT_GT(left, -1.0);
  EXPECT_LT(right, 1.0);
  EXPECT_LT(top, 1.0);
  EXPECT_GT(top, 0.6);
  EXPECT_GT(right - left, 0.8);
  // The head reaches near the top; whatever lies below the window is neck.
  EXPECT_LT(bottom, -0.9);
}

TEST_F(DemoSceneTest, FaceLooksTowardsTheCameraWithTheHairBehind)
{
  Camera camera;
  EXPECT_GT(camera.Depth(Centroid(Hair)), camera.Depth(Centroid(Face)));
}

TEST_F(DemoSceneTest, SupportRadiusIsAboutAFifthOfTheHead)
{
  // Chin to crown: the crown is the top of the face mesh; the chin is the
  // lowest point of the front of the face, the part within 0.4 units of the
  // nearest point (the tip of the nose) in depth, which leaves out the neck.
  Camera camera;
  double nearest = 1e300;
  for (vtkIdType i = 0; i < Face->GetNumberOfPoints(); ++i)
  {
    nearest = std::min(nearest, camera.Depth(PointOf(Face, i)));
  }
  double chin = 1e300, crown = -1e300;
  for (vtkIdType i = 0; i < Face->GetNumberOfPoints(); ++i)
  {
    Vector p = PointOf(Face, i);
    crown = std::max(crown, p[2]);
    if (camera.Depth(p) < nearest + 0.4)
    {
      chin = std::min(chin, p[2]);
    }
  }
  double height = crown - chin;
  EXPECT_GT(SupportRadius / height, 0.17);
  EXPECT_LT(SupportRadius / height, 0.25);
}

TEST_F(DemoSceneTest, SceneFileNamesTheImagesOfTheFolder)
{
  ASSERT_FALSE(Demo->Texture.empty());
  ASSERT_FALSE(Demo->Background.empty());
  const std::pair<std::string, int> images[] = { { Demo->Texture, 256 },
                                                 { Demo->Background, 512 } };
  for (const auto& image : images)
  {
    vtkNew<vtkBMPReader> reader;
    reader->SetFileName(File(image.first).c_str());
    reader->Update();
    int* dims = reader->GetOutput()->GetDimensions();
    EXPECT_EQ(dims[0], image.second) << image.first;
    EXPECT_EQ(dims[1], image.second) << image.first;
    EXPECT_EQ(reader->GetOutput()->GetNumberOfScalarComponents(), 3) << image.first;
  }
}

TEST_F(DemoSceneTest, EveryLineIsWhole)
{
  ASSERT_FALSE(Demo->Lines.empty());
  for (const std::string& line : Demo->Lines)
  {
    EXPECT_EQ(line.back(), '\n') << line;
  }
}

TEST_F(DemoSceneTest, CommentsCannotBeMistakenForSettings)
{
  const char* keywords[] = { "FramesNumber", "LoopCount",       "Texture",      "BackgroundImage",
                             "SaveImages",   "WindowSize",      "RotateX",      "RotateY",
                             "RotateZ",      "BackgroundColor", "DiffuseColor", "SpecularColor" };
  size_t settings = 0, comments = 0;
  for (const std::string& line : Demo->Lines)
  {
    bool keyword = false;
    for (const char* k : keywords)
    {
      keyword = keyword || line.compare(0, std::string(k).size(), k) == 0;
    }
    float v[6];
    bool numbers =
      std::sscanf(line.c_str(), "%f %f %f %f %f %f", v, v + 1, v + 2, v + 3, v + 4, v + 5) == 6;
    bool comment = line[0] == '#';
    EXPECT_TRUE(keyword || numbers || comment) << line;
    settings += keyword;
    comments += comment;
  }
  EXPECT_GE(settings, 6u);
  EXPECT_GE(comments, 5u);
}

TEST_F(DemoSceneTest, DemoDoesNotSaveFrames)
{
  EXPECT_FALSE(Demo->SaveImages);
}

TEST_F(DemoSceneTest, AnimationEndsNearTheFullExpression)
{
  // The blend factor is a triangle wave of period 2(F - 1) rising by 1/F a
  // frame; the last frame is F * LoopCount - 1.
  int f = Demo->FramesNumber;
  int frames = f * Demo->LoopCount;
  ASSERT_GE(f, 2);
  EXPECT_GE(frames, 60);
  EXPECT_LE(frames, 400);
  int m = (frames - 1) % (2 * (f - 1));
  double blend = (m <= f - 1 ? m : 2 * (f - 1) - m) / static_cast<double>(f);
  EXPECT_GT(blend, 0.8);
}

TEST_F(DemoSceneTest, ExpressionHasFiftyToThreeHundredMovingPairs)
{
  size_t moving = 0;
  for (size_t i = 0; i < Demo->Sources.size(); ++i)
  {
    moving += !IsAnchor(*Demo, i);
  }
  EXPECT_GE(moving, 50u);
  EXPECT_LE(moving, 300u);
  EXPECT_GT(Demo->Sources.size() - moving, 50u);
  EXPECT_LT(Demo->Sources.size(), 1500u);
}

TEST_F(DemoSceneTest, AnchorsHaveZeroDisplacement)
{
  // The pairs after the anchors' heading repeat the source as the target;
  // the pairs before it move.
  bool anchors = false;
  size_t counted = 0;
  for (const std::string& line : Demo->Lines)
  {
    anchors = anchors || line == "# Control points: anchors.\n";
    float v[6];
    if (line[0] != '#' &&
        std::sscanf(line.c_str(), "%f %f %f %f %f %f", v, v + 1, v + 2, v + 3, v + 4, v + 5) == 6)
    {
      bool still = v[0] == v[3] && v[1] == v[4] && v[2] == v[5];
      EXPECT_EQ(still, anchors) << line;
      counted += anchors;
    }
  }
  EXPECT_GT(counted, 50u);
}

TEST_F(DemoSceneTest, ControlPointsLieOnTheFaceSurface)
{
  ASSERT_FALSE(Demo->Sources.empty());
  EXPECT_LT(FarthestSourceFromSurface(*Demo, Face), 1e-4);
}

TEST_F(DemoSceneTest, MovesStayWellBelowTheSupportRadius)
{
  double largest = 0.0;
  for (size_t i = 0; i < Demo->Sources.size(); ++i)
  {
    largest = std::max(largest, Distance(Demo->Sources[i], Demo->Targets[i]));
  }
  EXPECT_LE(largest, 0.2);
  // Large enough to be seen: a tenth of a unit is a few pixels.
  EXPECT_GE(largest, 0.1);
}

TEST_F(DemoSceneTest, ControlPointsKeepTheirDistance)
{
  EXPECT_GE(SmallestSpacing(*Demo), 0.05);
}

TEST_F(DemoSceneTest, EveryFaceVertexHasAControlPointWithinReach)
{
  EXPECT_LT(FarthestVertexFromControls(*Demo, Face), SupportRadius);
}

TEST_F(DemoSceneTest, MovementFadesOutTowardsTheAnchors)
{
  // Each moving pair lies farther from the nearest anchor than it moves (with
  // a margin): between a moving point and a still one the skin stretches,
  // it does not fold over, so nothing tears at the edge of the movement.
  size_t checked = 0;
  for (size_t i = 0; i < Demo->Sources.size(); ++i)
  {
    if (IsAnchor(*Demo, i))
    {
      continue;
    }
    double nearest = 1e300;
    for (size_t j = 0; j < Demo->Sources.size(); ++j)
    {
      if (IsAnchor(*Demo, j))
      {
        nearest = std::min(nearest, Distance(Demo->Sources[i], Demo->Sources[j]));
      }
    }
    EXPECT_LT(Distance(Demo->Sources[i], Demo->Targets[i]), 0.75 * nearest) << "pair " << i;
    ++checked;
  }
  EXPECT_GT(checked, 0u);
}

TEST(DemoSceneGenerator, SameOptionsWriteTheSameBytes)
{
  // A fresh run against the build's own run of the same generator.
  TemporaryFolder folder;
  ASSERT_EQ(Generate(folder.Path()), 0);
  for (const char* name : SceneFiles)
  {
    std::string written = ReadWholeFile(folder.File(name));
    EXPECT_FALSE(written.empty()) << name;
    EXPECT_TRUE(written == ReadWholeFile(DemoFolder + "/" + name)) << name;
  }
}

TEST(DemoSceneGenerator, SaveImagesOptionAddsTheSetting)
{
  TemporaryFolder folder;
  ASSERT_EQ(Generate(folder.Path(), "--save-images"), 0);
  EXPECT_TRUE(ReadScene(folder.File("woman.ptt")).SaveImages);
}

TEST(DemoSceneGenerator, BadOptionsAreRefused)
{
  TemporaryFolder folder;
  EXPECT_NE(Generate(folder.Path(), "--points many"), 0);
  EXPECT_NE(Generate(folder.Path(), "--controls -3"), 0);
  EXPECT_NE(Generate(folder.Path(), "--colour blue"), 0);
  EXPECT_TRUE(ReadWholeFile(folder.File("woman.ptt")).empty());
}

TEST(DemoSceneGenerator, BenchmarkVariantHasTheRequestedSizes)
{
  TemporaryFolder folder;
  ASSERT_EQ(Generate(folder.Path(), "--points 100000 --controls 5000"), 0);
  vtkSmartPointer<vtkPolyData> face = ReadMesh(folder.File("woman.vtk"));
  ExpectClosedTriangleMesh(face);
  EXPECT_NEAR(face->GetNumberOfPoints(), 100000, 2000);
  EXPECT_NE(face->GetPointData()->GetNormals(), nullptr);
  Scene scene = ReadScene(folder.File("woman.ptt"));
  ASSERT_EQ(scene.Sources.size(), 5000u);
  for (const std::string& line : scene.Lines)
  {
    EXPECT_LT(line.size(), 79u) << line;
  }
  EXPECT_LT(FarthestSourceFromSurface(scene, face), 1e-4);
  EXPECT_LT(FarthestVertexFromControls(scene, face), SupportRadius);
  double largest = 0.0;
  size_t moving = 0;
  for (size_t i = 0; i < scene.Sources.size(); ++i)
  {
    largest = std::max(largest, Distance(scene.Sources[i], scene.Targets[i]));
    moving += !IsAnchor(scene, i);
  }
  EXPECT_LE(largest, 0.2);
  EXPECT_GT(moving, 0u);
  EXPECT_LT(moving, scene.Sources.size());
  // Spread evenly: as close as the count demands, never piled up.
  EXPECT_GE(SmallestSpacing(scene), 0.02);
}

TEST(DemoSceneGenerator, SmallVariantHasTheRequestedSizes)
{
  TemporaryFolder folder;
  ASSERT_EQ(Generate(folder.Path(), "--points 20000 --controls 400"), 0);
  vtkSmartPointer<vtkPolyData> face = ReadMesh(folder.File("woman.vtk"));
  EXPECT_NEAR(face->GetNumberOfPoints(), 20000, 400);
  Scene scene = ReadScene(folder.File("woman.ptt"));
  ASSERT_EQ(scene.Sources.size(), 400u);
  // Some 20 square units of surface hold 400 points about 0.2 apart.
  EXPECT_GE(SmallestSpacing(scene), 0.15);
  EXPECT_LT(FarthestVertexFromControls(scene, face), SupportRadius);
}

} // namespace
