// Scenes other than the demo, end to end, as a new user makes them: a mesh
// away from the fixed camera, in other units, from other tools, with long
// lines and typos in the scene file, in a folder of its own.
#include "image_compare.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <vtkOBJWriter.h>
#include <vtkPLYWriter.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkSTLWriter.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>
#include <vtkTransform.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkUnstructuredGrid.h>
#include <vtkUnstructuredGridWriter.h>
#include <vtkWriter.h>
#include <vtkXMLPolyDataWriter.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
using Points = std::vector<std::array<double, 3>>;

// A unit sphere at the origin: far below and in front of the fixed camera's
// focal point, so that the fixed camera sees none of it.
vtkSmartPointer<vtkPolyData> UnitSphere()
{
  auto sphere = vtkSmartPointer<vtkSphereSource>::New();
  sphere->SetRadius(1.0);
  sphere->SetThetaResolution(24);
  sphere->SetPhiResolution(24);
  sphere->Update();
  return sphere->GetOutput();
}

template<typename Writer>
void Write(vtkDataObject* data, const std::string& path)
{
  auto writer = vtkSmartPointer<Writer>::New();
  writer->SetInputData(data);
  writer->SetFileName(path.c_str());
  writer->Write();
}

// Every fourth vertex of face is a control point; those at the front (y <
// -0.8) move 0.1 further towards -y, the others hold the surface.
std::string ControlLines(const Points& face)
{
  std::string lines;
  for (size_t id = 0; id < face.size(); id += 4)
  {
    const auto& p = face[id];
    lines += ControlLine(p, { p[0], p[1] + (p[1] < -0.8 ? -0.1 : 0.0), p[2] });
  }
  return lines;
}

// Fraction of the pixels of a frame whose colour differs from the corner's,
// the background's.
double ShareNotBackground(const RgbImage& frame)
{
  const auto background = frame.At(0, 0);
  int differing = 0;
  for (int y = 0; y < frame.Height; ++y)
  {
    for (int x = 0; x < frame.Width; ++x)
    {
      const auto pixel = frame.At(x, y);
      int gap = 0;
      for (int c = 0; c < 3; ++c)
      {
        gap = std::max(gap, std::abs(pixel[c] - background[c]));
      }
      differing += gap > 30;
    }
  }
  return static_cast<double>(differing) / (frame.Width * frame.Height);
}

// The points sorted, so that meshes whose readers number them differently compare.
Points Sorted(Points points)
{
  std::sort(points.begin(), points.end());
  return points;
}

double LargestGap(const Points& a, const Points& b)
{
  double gap = 0;
  for (size_t i = 0; i < a.size(); ++i)
  {
    for (int k = 0; k < 3; ++k)
    {
      gap = std::max(gap, std::fabs(a[i][k] - b[i][k]));
    }
  }
  return gap;
}

// A face the shape of a head seen from the front: a sphere flattened along y,
// the direction the fixed camera looks in, and lengthened along z, without
// colours or normals; resolution points around and from pole to pole.
vtkSmartPointer<vtkPolyData> FlatFace(int resolution = 24)
{
  auto sphere = vtkSmartPointer<vtkSphereSource>::New();
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution);
  auto shape = vtkSmartPointer<vtkTransform>::New();
  shape->Scale(1.0, 0.35, 1.3);
  auto flatten = vtkSmartPointer<vtkTransformPolyDataFilter>::New();
  flatten->SetInputConnection(sphere->GetOutputPort());
  flatten->SetTransform(shape);
  flatten->Update();
  vtkSmartPointer<vtkPolyData> face = flatten->GetOutput();
  face->GetPointData()->SetNormals(nullptr);
  return face;
}

// The face with smooth point normals of its own.
vtkSmartPointer<vtkPolyData> WithNormals(vtkPolyData* face)
{
  auto normals = vtkSmartPointer<vtkPolyDataNormals>::New();
  normals->SetInputData(face);
  normals->SplittingOff();
  normals->Update();
  return normals->GetOutput();
}

// The face as a Y-up file holds it: (x, y, z) of Z up is (x, z, -y) there.
vtkSmartPointer<vtkPolyData> TurnedToYUp(vtkPolyData* face)
{
  auto turned = vtkSmartPointer<vtkPolyData>::New();
  turned->DeepCopy(face);
  vtkPoints* points = turned->GetPoints();
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    points->SetPoint(id, p[0], p[2], -p[1]);
  }
  return turned;
}

Points PointsOf(vtkPolyData* mesh)
{
  Points points(mesh->GetNumberOfPoints());
  for (vtkIdType id = 0; id < mesh->GetNumberOfPoints(); ++id)
  {
    mesh->GetPoint(id, points[id].data());
  }
  return points;
}

// Every eighth vertex of face holds the surface: frame 0 shows the face as it is.
std::string AnchorLines(const Points& face)
{
  std::string lines;
  for (size_t id = 0; id < face.size(); id += 8)
  {
    lines += ControlLine(face[id], face[id]);
  }
  return lines;
}

double Grey(const std::array<int, 3>& pixel)
{
  return (pixel[0] + pixel[1] + pixel[2]) / 3.0;
}

// The mean over the pixels of the difference of their grey levels.
double MeanGreyDifference(const RgbImage& a, const RgbImage& b)
{
  double sum = 0;
  for (int y = 0; y < a.Height; ++y)
  {
    for (int x = 0; x < a.Width; ++x)
    {
      sum += std::fabs(Grey(a.At(x, y)) - Grey(b.At(x, y)));
    }
  }
  return sum / (a.Width * a.Height);
}

double SharePureWhite(const RgbImage& frame)
{
  int white = 0;
  for (int y = 0; y < frame.Height; ++y)
  {
    for (int x = 0; x < frame.Width; ++x)
    {
      white += frame.At(x, y) == std::array<int, 3>{ 255, 255, 255 };
    }
  }
  return static_cast<double>(white) / (frame.Width * frame.Height);
}

class UserSceneTest : public ::testing::Test
{
protected:
  // The unit sphere as the face (in the file face), no hair, the given
  // settings and the sphere's control lines.
  void WriteSphereScene(const std::string& settings, const std::string& face = "woman.vtk")
  {
    Write<vtkPolyDataWriter>(UnitSphere(), this->Folder.File("woman.vtk"));
    this->Folder.Write("woman.ptt",
                       settings + "Hair none.vtk\n" +
                         ControlLines(ReadMeshPoints(this->Folder.File("woman.vtk"))));
    if (face != "woman.vtk")
    {
      std::filesystem::remove(this->Folder.File("woman.vtk"));
    }
  }

  // Frame 0 of the face written by write into the file name, without hair,
  // held by anchors, with the given settings.
  RgbImage RenderFace(vtkPolyData* face,
                      const std::string& name,
                      void (*write)(vtkDataObject*, const std::string&),
                      const std::string& settings = "")
  {
    write(face, this->Folder.File(name));
    this->Folder.Write("woman.ptt",
                       "SaveImages yes\nFramesNumber 1\nHair none\nFace " + name + "\n" + settings +
                         AnchorLines(PointsOf(face)));
    const ProgramRun run = this->Run();
    EXPECT_EQ(run.Status, 0) << name << run.Err;
    EXPECT_EQ(run.Err.find("hair"), std::string::npos) << run.Err;
    return ReadBmp(this->Folder.File("image0000.bmp"));
  }

  ProgramRun Run(const std::string& arguments = "--batch")
  {
    return RunAnimation(this->Folder.Path(), arguments);
  }

  TemporaryFolder Folder;
};
}

TEST_F(UserSceneTest, SphereAtTheOriginShowsOnFrameZero)
{
  this->WriteSphereScene("SaveImages yes\nFramesNumber 2\n");
  ProgramRun run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err.find("camera"), std::string::npos) << run.Err;
  RgbImage frame = ReadBmp(this->Folder.File("image0000.bmp"));
  ASSERT_EQ(frame.Width, 300);
  // The whole sphere is in view, in the middle, filling most of the window's
  // height (its box, widened by the largest control-point move, fills 90%),
  // and not cut by the window's edges.
  EXPECT_NE(frame.At(150, 150), frame.At(0, 0));
  int rows = 0;
  for (int y = 0; y < frame.Height; ++y)
  {
    rows += frame.At(150, y) != frame.At(0, 0);
  }
  EXPECT_GT(rows, 0.7 * frame.Height);
  for (int k = 0; k < 300; ++k)
  {
    ASSERT_EQ(frame.At(k, 0), frame.At(0, 0)) << k;
    ASSERT_EQ(frame.At(k, 299), frame.At(0, 0)) << k;
    ASSERT_EQ(frame.At(0, k), frame.At(0, 0)) << k;
    ASSERT_EQ(frame.At(299, k), frame.At(0, 0)) << k;
  }

  // The camera keywords place the camera as written: looking at the sphere
  // from 6 units along -y, it fills about two thirds of the window's height.
  this->WriteSphereScene("SaveImages yes\nFramesNumber 2\n"
                         "CameraPosition 0 -6 0\nCameraFocalPoint 0 0 0\nCameraViewUp 0 0 1\n");
  run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  frame = ReadBmp(this->Folder.File("image0000.bmp"));
  int top = 0, bottom = frame.Height;
  for (int y = 0; y < frame.Height; ++y)
  {
    if (frame.At(150, y) != frame.At(0, 0))
    {
      top = std::max(top, y);
      bottom = std::min(bottom, y);
    }
  }
  // A sphere of radius 1 at distance 6 under a 30 degree view angle.
  const double expected = frame.Height * std::tan(std::asin(1.0 / 6)) / std::tan(M_PI / 12);
  EXPECT_NEAR(top - bottom + 1, expected, 4);
}

TEST_F(UserSceneTest, SceneScaledByAHundredWithSupportRadiusFiftyGivesTheMeshScaled)
{
  TestScene scene = WriteTestScene(this->Folder.Path(), "");
  ProgramRun run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  const Points face = ReadMeshPoints(this->Folder.File("woman.vtk"));
  const Points metres = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));

  // The same scene in centimetres.
  TemporaryFolder centimetres;
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  reader->SetFileName(this->Folder.File("woman.vtk").c_str());
  reader->Update();
  vtkPoints* points = reader->GetOutput()->GetPoints();
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    points->SetPoint(id, 100 * p[0], 100 * p[1], 100 * p[2]);
  }
  Write<vtkPolyDataWriter>(reader->GetOutput(), centimetres.File("woman.vtk"));
  std::string ptt = "SupportRadius 50\n";
  char line[200];
  for (const ControlPair& pair : scene.Controls)
  {
    const auto& s = pair.Source;
    const auto& t = pair.Target;
    std::snprintf(line,
                  sizeof(line),
                  "%.4f %.4f %.4f %.4f %.4f %.4f\n",
                  100 * s[0],
                  100 * s[1],
                  100 * s[2],
                  100 * t[0],
                  100 * t[1],
                  100 * t[2]);
    ptt += line;
  }
  centimetres.Write("woman.ptt", ptt);
  run = RunAnimation(centimetres.Path(), "--batch");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err.find("SupportRadius 50 is"), std::string::npos) << run.Err;
  const Points scaled = ReadMeshPoints(centimetres.File("animated_shape.vtk"));

  ASSERT_EQ(scaled.size(), metres.size());
  double moved = 0, gap = 0;
  for (size_t id = 0; id < scaled.size(); ++id)
  {
    for (int k = 0; k < 3; ++k)
    {
      moved = std::max(moved, std::fabs(metres[id][k] - face[id][k]));
      gap = std::max(gap, std::fabs(scaled[id][k] - 100 * metres[id][k]));
    }
  }
  // The face moves by up to 0.15 * 0.9; in centimetres by 100 times that,
  // to float precision.
  EXPECT_GT(moved, 0.1);
  EXPECT_LT(gap, 2e-3);

  // The radius of a scene in metres, in centimetres: named, with the reason.
  std::ofstream(centimetres.File("woman.ptt"), std::ios::app) << "SupportRadius 0.5\n";
  run = RunAnimation(centimetres.Path(), "--batch");
  EXPECT_NE(run.Err.find("Warning: SupportRadius 0.5 is less than 1/200 of the size of the face "
                         "mesh (bounding-box diagonal 346."),
            std::string::npos)
    << run.Err;
}

TEST_F(UserSceneTest, TwelveDecimalControlLinesGiveWhatTheirSixDecimalFormGives)
{
  const TestScene scene = WriteTestScene(this->Folder.Path(), "");
  ASSERT_EQ(this->Run().Status, 0);
  const std::string sixDecimals = ReadWholeFile(this->Folder.File("animated_shape.vtk"));

  // Every number gets six more zeros: lines of about 90 characters that
  // hold the same values.
  std::string text = "Texture hair.bmp\n";
  size_t longest = 0;
  char line[200];
  for (const ControlPair& pair : scene.Controls)
  {
    const auto& s = pair.Source;
    const auto& t = pair.Target;
    std::snprintf(line,
                  sizeof(line),
                  "%.6f000000 %.6f000000 %.6f000000 %.6f000000 %.6f000000 %.6f000000\n",
                  s[0],
                  s[1],
                  s[2],
                  t[0],
                  t[1],
                  t[2]);
    longest = std::max(longest, std::strlen(line));
    text += line;
  }
  ASSERT_GT(longest, 85u);
  this->Folder.Write("woman.ptt", text);
  std::filesystem::remove(this->Folder.File("animated_shape.vtk"));
  ProgramRun run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(ReadWholeFile(this->Folder.File("animated_shape.vtk")), sixDecimals);
}

TEST_F(UserSceneTest, EachMeshFormatLoadsTheSameFace)
{
  this->WriteSphereScene("");
  ASSERT_EQ(this->Run().Status, 0);
  const Points expected = Sorted(ReadMeshPoints(this->Folder.File("animated_shape.vtk")));
  ASSERT_GT(expected.size(), 500u);

  vtkSmartPointer<vtkPolyData> sphere = UnitSphere();
  const std::vector<std::pair<std::string, void (*)(vtkDataObject*, const std::string&)>>
    formats = {
      { "face.vtp", Write<vtkXMLPolyDataWriter> },
      { "face.ply", Write<vtkPLYWriter> },
      { "face.obj", Write<vtkOBJWriter> },
      { "FACE.STL", Write<vtkSTLWriter> },
    };
  for (const auto& [name, write] : formats)
  {
    this->WriteSphereScene("Face " + name + "\n", name);
    write(sphere, this->Folder.File(name));
    ProgramRun run = this->Run();
    ASSERT_EQ(run.Status, 0) << name << run.Err;
    const Points animated = Sorted(ReadMeshPoints(this->Folder.File("animated_shape.vtk")));
    ASSERT_EQ(animated.size(), expected.size()) << name;
    EXPECT_LT(LargestGap(animated, expected), 1e-5) << name;
  }

  // Another format, and a legacy file of another data set: the message names
  // what is accepted.
  const std::string accepted =
    "accepted are legacy VTK polydata (.vtk), VTK XML polydata (.vtp), "
    "PLY (.ply), Wavefront OBJ (.obj), STL (.stl) and glTF (.glb, .gltf)";
  this->WriteSphereScene("Face face.off\n", "face.off");
  this->Folder.Write("face.off", "OFF\n0 0 0\n");
  ProgramRun run = this->Run();
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh face.off: its extension names no accepted "
                         "format; " +
                         accepted + "\n"),
            std::string::npos)
    << run.Err;

  this->WriteSphereScene("Face grid.vtk\n", "grid.vtk");
  auto grid = vtkSmartPointer<vtkUnstructuredGrid>::New();
  grid->SetPoints(sphere->GetPoints());
  Write<vtkUnstructuredGridWriter>(grid, this->Folder.File("grid.vtk"));
  run = this->Run();
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh grid.vtk: it holds an unstructured grid, not "
                         "polydata; " +
                         accepted + "\n"),
            std::string::npos)
    << run.Err;
}

TEST_F(UserSceneTest, WarningsNameTheirLineNumbersAndLeaveTheConsoleAlone)
{
  this->WriteSphereScene("FramesNumber 3\nFrameNumber 4\nWindowSize 600x600\n"
                         "Polynomial maybe\nKernel cubic\nSmoothing -1\nUpAxis x\n");
  ProgramRun run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* warning :
       { "line 4: Polynomial takes \"yes\" or \"no\"; \"maybe\" changes nothing\n",
         "line 5: Kernel takes \"quadratic\" or \"wendland\"; \"cubic\" changes nothing\n",
         "line 6: Smoothing takes a finite number of 0 or more; \"Smoothing -1\" changes "
         "nothing\n",
         "line 7: UpAxis takes \"y\" or \"z\"; \"x\" changes nothing\n" })
  {
    EXPECT_NE(run.Err.find(std::string("Warning: woman.ptt ") + warning), std::string::npos)
      << warning << run.Err;
  }
  EXPECT_NE(run.Err.find("Warning: woman.ptt line 2: ignored, it is neither a setting nor a "
                         "control point: \"FrameNumber 4\"\n"),
            std::string::npos)
    << run.Err;
  EXPECT_NE(run.Err.find("Warning: woman.ptt line 3: ignored, it is neither a setting nor a "
                         "control point: \"WindowSize 600x600\"\n"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(run.Out.find("Warning"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\n3 frames generated in "), std::string::npos) << run.Out;
}

TEST_F(UserSceneTest, FolderArgumentWorksFromAnotherWorkingFolder)
{
  WriteTestScene(this->Folder.Path(), "SaveImages yes\nFramesNumber 2\n");
  TemporaryFolder elsewhere;
  const std::string relative =
    std::filesystem::relative(this->Folder.Path(), elsewhere.Path()).string();
  ProgramRun run = RunAnimation(elsewhere.Path(), "--batch '" + relative + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(std::filesystem::exists(this->Folder.File("animated_shape.vtk")));
  EXPECT_TRUE(std::filesystem::exists(this->Folder.File("image0001.bmp")));
  // The working folder holds only the console captures of the test's runner.
  for (const auto& entry : std::filesystem::directory_iterator(elsewhere.Path()))
  {
    EXPECT_EQ(entry.path().filename().string()[0], '.') << entry.path();
  }

  for (const std::string& folder : { elsewhere.File("nowhere"), this->Folder.File("woman.vtk") })
  {
    run = RunAnimation(elsewhere.Path(), "--batch '" + folder + "'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err,
              "The scene folder '" + folder + "' " +
                (folder == elsewhere.File("nowhere") ? "does not exist" : "is not a folder") +
                "\n");
  }
}

TEST_F(UserSceneTest, FaceWithoutColoursOrNormalsRendersSmoothAndIsNotBlownOut)
{
  vtkSmartPointer<vtkPolyData> face = FlatFace();
  for (const RgbImage& image : { this->RenderFace(face, "face.ply", Write<vtkPLYWriter>),
                                 this->RenderFace(face, "face.vtk", Write<vtkPolyDataWriter>) })
  {
    ASSERT_EQ(image.Width, 300);
    EXPECT_GT(ShareNotBackground(image), 0.3);
    EXPECT_LT(SharePureWhite(image), 0.05);
  }

  // A coarse triangle soup without normals shades as the same face with smooth normals (drawn
  // flat, its facets would differ by more than 4 grey levels on average).
  face = FlatFace(12);
  const RgbImage stl = this->RenderFace(face, "face.stl", Write<vtkSTLWriter>);
  const RgbImage smooth =
    this->RenderFace(WithNormals(face), "face.vtp", Write<vtkXMLPolyDataWriter>);
  EXPECT_LT(MeanGreyDifference(stl, smooth), 2.0);
}

TEST_F(UserSceneTest, YUpObjShowsTheFrontViewOfTheZUpPly)
{
  vtkSmartPointer<vtkPolyData> face = FlatFace();
  // A nose on the front (toward -y) and a chin below, so that a view from
  // below or behind differs.
  vtkPoints* points = face->GetPoints();
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    const double nose = std::exp(-(p[0] * p[0] + p[2] * p[2]) / 0.05);
    points->SetPoint(id, p[0], p[1] - 0.4 * nose, p[2] < 0 ? 1.2 * p[2] : p[2]);
  }
  const RgbImage ply = this->RenderFace(face, "face.ply", Write<vtkPLYWriter>);
  const RgbImage obj = this->RenderFace(TurnedToYUp(face), "face.obj", Write<vtkOBJWriter>);
  EXPECT_LT(MeanGreyDifference(ply, obj), 2.0);

  // Taken as Z up, the same file is seen from below.
  const RgbImage below =
    this->RenderFace(TurnedToYUp(face), "face.obj", Write<vtkOBJWriter>, "UpAxis z\n");
  EXPECT_GT(MeanGreyDifference(ply, below), 10.0);
}

namespace
{
// Pixels of the control points' green spheres.
int GreenPixels(const RgbImage& frame)
{
  int green = 0;
  for (int y = 0; y < frame.Height; ++y)
  {
    for (int x = 0; x < frame.Width; ++x)
    {
      const auto pixel = frame.At(x, y);
      green += pixel[1] > pixel[0] + 60 && pixel[1] > pixel[2] + 60;
    }
  }
  return green;
}
}

TEST_F(UserSceneTest, ControlPointsAreDrawnWhenAskedAndWarnedAboutOffTheSurface)
{
  this->WriteSphereScene("SaveImages yes\nFramesNumber 2\n");
  ProgramRun run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(GreenPixels(ReadBmp(this->Folder.File("image0001.bmp"))), 0);

  this->WriteSphereScene("SaveImages yes\nFramesNumber 2\nShowControlPoints yes\n");
  run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err.find("off the face's surface"), std::string::npos) << run.Err;
  // About a hundred control points on the side in view, each a few pixels
  // wide.
  EXPECT_GT(GreenPixels(ReadBmp(this->Folder.File("image0001.bmp"))), 200);

  // The same control points 0.1 away from the sphere, within its radius
  // 0.5: they are off the surface by more than a tenth of it.
  std::string lines = "Hair none\n";
  for (const auto& p : ReadMeshPoints(this->Folder.File("woman.vtk")))
  {
    const std::array<double, 3> off = { 1.1 * p[0], 1.1 * p[1], 1.1 * p[2] };
    lines += ControlLine(off, off);
  }
  this->Folder.Write("woman.ptt", lines);
  run = this->Run();
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("control points lie off the face's surface by more than 0.05"),
            std::string::npos)
    << run.Err;
}

TEST_F(UserSceneTest, KeyCShowsTheControlPointsInTheWindow)
{
  this->WriteSphereScene("FramesNumber 2\n");
  // On an X server of its own, the program waits in its window after the
  // report; a second process takes the window's picture, presses c, takes
  // it again and presses q.
  this->Folder.Write("press-c.sh",
                     WindowScript("import -window \"$window\" hidden.png\n"
                                  "xdotool key --window \"$window\" c\n"
                                  "sleep 1\n"
                                  "import -window \"$window\" shown.png\n"
                                  "xdotool key --window \"$window\" q\n"));
  const std::string command =
    "cd '" + this->Folder.Path() + "' && xvfb-run -a bash press-c.sh >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadWholeFile(this->Folder.File("console.txt"));
  EXPECT_EQ(GreenPixels(ReadPng(this->Folder.File("hidden.png"))), 0);
  EXPECT_GT(GreenPixels(ReadPng(this->Folder.File("shown.png"))), 200);
}
