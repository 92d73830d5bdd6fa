// Bad input, end to end: the real executable in scene folders that users get
// wrong. Every run must end complete (status 0) or with a clear message on
// standard error and status 1: never a crash, a hang, a garbage mesh or a
// half-written file. Each test is one row of the table in docs/robustness.md.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace
{
const char* const NoControlPoints = "Solve: there are no control points to fit";
const char* const NotPositiveDefinite = "Solve: the interpolation matrix is not positive definite";
const char* const Farewell = "Thank you for using our application";
constexpr double Pi = 3.14159265358979323846;

// Bytes that no rule of the scene file can take for a keyword or a number:
// control characters (no line end or blank) and bytes above 127.
std::string Garbage(std::size_t size, unsigned seed)
{
  std::mt19937 random(seed);
  std::string bytes;
  while (bytes.size() < size)
  {
    const auto byte = static_cast<unsigned char>(random());
    if (byte >= 0x80 || byte < 0x09 || (byte > 0x0d && byte < 0x20))
    {
      bytes.push_back(static_cast<char>(byte));
    }
  }
  return bytes;
}

// Every byte value, pseudo-random, line ends and digits included.
std::string RandomBytes(std::size_t size, unsigned seed)
{
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes)
  {
    byte = static_cast<char>(random());
  }
  return bytes;
}

// Size of a 24-bit BMP file of the toolkit's writer: a 54-byte header and
// rows padded to four bytes.
std::uintmax_t BmpFileSize(int width, int height)
{
  return 54 + static_cast<std::uintmax_t>(height) * ((3 * width + 3) / 4 * 4);
}

class RobustnessTest : public ::testing::Test
{
protected:
  // Writes the small test scene; settings are extra scene-file lines.
  void WriteScene(const std::string& settings = "")
  {
    this->Scene = WriteTestScene(this->Folder.Path(), settings);
  }

  // Rewrites woman.ptt with the test scene's control points and the given
  // lines, before and after them.
  void WriteSceneFile(const std::string& before, const std::string& after = "")
  {
    std::string text = before;
    for (const ControlPair& pair : this->Scene.Controls)
    {
      text += ControlLine(pair.Source, pair.Target);
    }
    this->Folder.Write("woman.ptt", text + after);
  }

  ProgramRun Run(int timeoutSeconds = 120)
  {
    return RunAnimation(this->Folder.Path(), "--batch", timeoutSeconds);
  }

  bool Exists(const std::string& name) const
  {
    return std::filesystem::exists(this->Folder.File(name));
  }

  void MakeFolder(const std::string& name)
  {
    std::filesystem::remove(this->Folder.File(name));
    ASSERT_TRUE(std::filesystem::create_directory(this->Folder.File(name)));
  }

  // The run ended on its message, with status 1, before the farewell and
  // without writing the deformed mesh.
  void ExpectFailure(const ProgramRun& run, const std::string& message)
  {
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out.find(Farewell), std::string::npos) << run.Out;
    EXPECT_FALSE(std::filesystem::is_regular_file(this->Folder.File("animated_shape.vtk")));
  }

  // The run is complete and its mesh has the face's vertices.
  void ExpectComplete(const ProgramRun& run)
  {
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find(Farewell), std::string::npos) << run.Out;
    const auto face = ReadMeshPoints(this->Folder.File("woman.vtk"));
    const auto animated = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));
    EXPECT_GT(face.size(), 0u);
    EXPECT_EQ(animated.size(), face.size());
  }

  TemporaryFolder Folder;
  TestScene Scene;
};
}

// --- The scene file -------------------------------------------------------------

TEST_F(RobustnessTest, EmptySceneFileHasNoControlPointsToSolve)
{
  this->WriteScene();
  this->Folder.Write("woman.ptt", "");
  ProgramRun run = this->Run();
  this->ExpectFailure(run, NoControlPoints);
  EXPECT_NE(run.Out.find("Sorting time: "), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find("Constructing time"), std::string::npos) << run.Out;
}

TEST_F(RobustnessTest, BinaryGarbageSceneFileEndsWithAMessage)
{
  this->WriteScene();
  // Random bytes of every value hold no keyword and no line of six numbers.
  this->Folder.Write("woman.ptt", RandomBytes(64 * 1024, 11));
  ProgramRun run = this->Run();
  this->ExpectFailure(run, NoControlPoints);
}

TEST_F(RobustnessTest, BinaryGarbageLinesAreSkipped)
{
  this->WriteScene();
  const std::string garbage = Garbage(2000, 5);
  this->WriteSceneFile(garbage + "\n" + "FramesNumber 3\n" + garbage + "\n", garbage);
  ProgramRun run = this->Run();
  this->ExpectComplete(run);
  EXPECT_NE(run.Out.find("\n3 frames generated in "), std::string::npos) << run.Out;
}

TEST_F(RobustnessTest, TenThousandCharacterLinesAreReadWhole)
{
  this->WriteScene();
  // A comment and a texture name of 10,000 characters: the comment is
  // skipped, the texture does not exist and is left out with a message that
  // shows its name cut, the run survives.
  this->WriteSceneFile("#" + std::string(9999, 'x') + "\nTexture " + std::string(9992, 'a') +
                       "\nFramesNumber 2\n");
  ProgramRun run = this->Run();
  this->ExpectComplete(run);
  EXPECT_NE(run.Out.find("\n2 frames generated in "), std::string::npos) << run.Out;
  // The name is shown cut, its length told, so that a long one cannot flood
  // the console.
  EXPECT_NE(run.Err.find("Cannot use the hair texture: " + std::string(60, 'a') +
                         "[... 9902 characters ...]" + std::string(30, 'a') +
                         " cannot be opened: File name too long"),
            std::string::npos)
    << run.Err.substr(0, 300);
  EXPECT_LT(run.Err.size(), 1000u);
}

TEST_F(RobustnessTest, TenThousandCharacterLineOfNumbersIsOneControlPoint)
{
  this->WriteScene();
  // "0.25 0.25 ...": its first six numbers make one control point, far from
  // the face; the rest is named as ignored.
  std::string numbers;
  while (numbers.size() < 10000)
  {
    numbers += "0.25 ";
  }
  this->WriteSceneFile("", numbers.substr(0, 10000) + "\n");
  ProgramRun run = this->Run();
  this->ExpectComplete(run);
  const std::string line = std::to_string(this->Scene.Controls.size() + 1);
  EXPECT_NE(run.Err.find("Warning: woman.ptt line " + line + ": the text \"0.25 0.25 0.25"),
            std::string::npos)
    << run.Err;
  EXPECT_NE(run.Err.find("Warning: 1 control point lies farther than SupportRadius 0.5 from every "
                         "point of the face mesh and moves nothing (the first is control point " +
                         line + ", source 0.25 0.25 0.25)"),
            std::string::npos)
    << run.Err;
}

TEST_F(RobustnessTest, InfiniteNumbersEndTheRunBeforeSolving)
{
  const std::vector<std::pair<std::string, std::string>> cases = {
    { "0.1 0.2 0.3 inf 0.2 0.3\n", "holds a number that is not finite" },
    { "-inf 0.2 0.3 0.1 0.2 0.3\n", "holds a number that is not finite" },
    { "0.1 0.2 0.3 0.1 1e39 0.3\n", "holds a number that is not finite" },
    { "0.1 -1e400 0.3 0.1 0.2 0.3\n", "holds a number that is not finite" },
    { "BackgroundColor inf 0 0\n", "BackgroundColor on line 2 is not a finite colour" },
  };
  for (const auto& [line, message] : cases)
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), line);
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 1) << line;
    EXPECT_NE(run.Err.find(message), std::string::npos) << line << run.Err;
    EXPECT_NE(run.Err.find("Very-very bad!"), std::string::npos) << line;
    EXPECT_EQ(run.Out.find("Tree build time"), std::string::npos) << line;
    EXPECT_FALSE(std::filesystem::exists(folder.File("animated_shape.vtk"))) << line;
  }
}

// --- Control points ---------------------------------------------------------------

TEST_F(RobustnessTest, HundredThousandControlPointsFinishInSeconds)
{
  this->WriteScene();
  // 100,000 points on a tube of radius 1 around the line through the face's
  // centre along x, 40 to a ring and rings 0.16 apart: about 30 neighbours
  // within the radius 0.5 each. Every target is its source moved by t, so the
  // spline is the translation t: the last frame (blend 1/2) shows every face
  // vertex moved by t/2: within 0.5 of a control point by the fit, beyond by
  // its affine part, which is all of it.
  const std::array<double, 3> centre = { 0.145534, 0.631591, 7.68539 };
  const std::array<double, 3> t = { 0.02, -0.05, 0.03 };
  const int perRing = 40;
  const int rings = 2500;
  std::string text = "FramesNumber 2\n";
  for (int ring = 0; ring < rings; ++ring)
  {
    for (int k = 0; k < perRing; ++k)
    {
      const double angle = 2 * Pi * (k + 0.5 * (ring % 2)) / perRing;
      const std::array<double, 3> source = { centre[0] - 200 + 0.16 * ring,
                                             centre[1] + std::cos(angle),
                                             centre[2] + std::sin(angle) };
      text += ControlLine(source, { source[0] + t[0], source[1] + t[1], source[2] + t[2] });
    }
  }
  this->Folder.Write("woman.ptt", text);

  const auto start = std::chrono::steady_clock::now();
  ProgramRun run = this->Run(600);
  const double seconds =
    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "100,000 control points: the whole run took " << seconds << " s" << std::endl;
  this->ExpectComplete(run);
  EXPECT_NE(run.Out.find("Size of matrix A is (100000*100000)"), std::string::npos) << run.Out;

  const auto face = ReadMeshPoints(this->Folder.File("woman.vtk"));
  const auto animated = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));
  ASSERT_EQ(animated.size(), face.size());
  for (std::size_t id = 0; id < face.size(); ++id)
  {
    for (int k = 0; k < 3; ++k)
    {
      EXPECT_NEAR(animated[id][k], face[id][k] + 0.5 * t[k], 1e-3) << "vertex " << id;
    }
  }
}

TEST_F(RobustnessTest, FailedFactorisationNamesItsCause)
{
  this->WriteScene();
  const ControlPair& first = this->Scene.Controls.front();
  const std::string duplicateOf =
    " and " + std::to_string(this->Scene.Controls.size() + 1) + " share the source position ";
  // The same pair twice, and one source with two targets.
  const std::array<double, 3> elsewhere = { first.Target[0] + 0.1,
                                            first.Target[1],
                                            first.Target[2] };
  for (const std::string& extra :
       { ControlLine(first.Source, first.Target), ControlLine(first.Source, elsewhere) })
  {
    this->WriteSceneFile("", extra);
    ProgramRun run = this->Run();
    this->ExpectFailure(run, std::string(NotPositiveDefinite) + ": control points 1" + duplicateOf);
    EXPECT_NE(run.Out.find("Matrix is not positive  Iflag =1"), std::string::npos) << run.Out;
  }
  // A radius a million times the face: every basis value rounds to 1.
  this->WriteSceneFile("SupportRadius 1e6\n");
  this->ExpectFailure(this->Run(),
                      std::string(NotPositiveDefinite) +
                        ": the SupportRadius 1e+06 is so large beside the spacing of the "
                        "control points");
}

TEST_F(RobustnessTest, ControlPointFarAwayIsNamedAndMovesNothing)
{
  this->WriteScene();
  this->WriteSceneFile("", ControlLine({ 1e5, 0.0, 0.0 }, { 1e5, 0.0, 0.01 }));
  ProgramRun run = this->Run();
  this->ExpectComplete(run);
  EXPECT_NE(run.Err.find("moves nothing (the first is control point " +
                         std::to_string(this->Scene.Controls.size() + 1) + ", source 100000 0 0)"),
            std::string::npos)
    << run.Err;
}

TEST_F(RobustnessTest, FewerThanFourControlPointsOrPointsInOnePlaneDeformTheFace)
{
  this->WriteScene();
  this->Folder.Write("woman.ptt",
                     "0 0 7 0 0 7.1\n"
                     "1 0 7 1 0 7\n"
                     "0 1 8 0 1 8\n");
  this->ExpectComplete(this->Run());

  std::string text;
  for (int i = 0; i < 10; ++i)
  {
    for (int j = 0; j < 10; ++j)
    {
      const std::array<double, 3> source = { 0.3 * i, 0.3 * j, 7.5 };
      text += ControlLine(source, { source[0], source[1], source[2] + 0.1 * (i == 5) });
    }
  }
  this->Folder.Write("woman.ptt", text);
  this->ExpectComplete(this->Run());
}

// --- Settings ---------------------------------------------------------------------

TEST_F(RobustnessTest, HugeFramesNumberOrLoopCountIsRefusedBeforeSolving)
{
  for (const char* settings : { "FramesNumber 2147483647\n",
                                "LoopCount 2147483647\n",
                                "FramesNumber 1000001\n",
                                "FramesNumber 2147483647\nLoopCount 2147483647\n" })
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), settings);
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 1) << settings;
    EXPECT_NE(run.Err.find("frames; a run may have at most 1000000"), std::string::npos)
      << settings << run.Err;
    EXPECT_EQ(run.Out.find("Solving time"), std::string::npos) << settings;
    EXPECT_FALSE(std::filesystem::exists(folder.File("animated_shape.vtk"))) << settings;
  }
}

TEST_F(RobustnessTest, TimelineBeyondItsLimitsIsRefusedBeforeSolving)
{
  // The Texture line is line 1 of the test scene; the settings follow it.
  const std::pair<const char*, const char*> cases[] = {
    { "Key 1000000 default 1\n", "woman.ptt line 2: Key needs a frame from 0 to 999999" },
    { "Key 0 default 0\nKey 5 default 1e39\n",
      "woman.ptt line 3: the weight of default, 1e39, is beyond the single-precision range" },
    // The free-space check counts the timeline's 1000000 frames (12 TB), not
    // FramesNumber's 4.
    { "FramesNumber 4\nWindowSize 2000 2000\nSaveImages yes\nKey 999999 default 1\n",
      "Not enough free space: the 1000000 frames of 2000 x 2000 pixels would take about" },
  };
  for (const auto& [settings, message] : cases)
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), settings);
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 1) << settings;
    EXPECT_NE(run.Err.find(message), std::string::npos) << settings << run.Err;
    EXPECT_EQ(run.Out.find("Solving time"), std::string::npos) << settings;
    EXPECT_FALSE(std::filesystem::exists(folder.File("image0000.bmp"))) << settings;
    EXPECT_FALSE(std::filesystem::exists(folder.File("animated_shape.vtk"))) << settings;
  }
}

TEST_F(RobustnessTest, MostNegativeCountsRenderOnlyFrameZero)
{
  this->WriteScene("FramesNumber -2147483648\nLoopCount -2147483648\nSaveImages yes\n");
  ProgramRun run = this->Run();
  this->ExpectComplete(run);
  EXPECT_NE(run.Out.find("\n1 frames generated in "), std::string::npos) << run.Out;
  EXPECT_TRUE(this->Exists("image0000.bmp"));
  EXPECT_FALSE(this->Exists("image0001.bmp"));
}

TEST_F(RobustnessTest, HugeWindowSizeIsRefusedBeforeAnyWindow)
{
  for (const char* size : { "2147483647 2147483647", "-2147483648 300", "300 16385" })
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), std::string("WindowSize ") + size + "\n");
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 1) << size;
    EXPECT_NE(run.Err.find(std::string("WindowSize ") + size +
                           " is out of range: width and height must be 1 to 16384 pixels"),
              std::string::npos)
      << run.Err;
    EXPECT_EQ(run.Out.find("Transform time"), std::string::npos) << size;
  }
}

// --- Meshes and images ------------------------------------------------------------

namespace
{
const std::string MeshHeader = "# vtk DataFile Version 3.0\nmesh\nASCII\nDATASET POLYDATA\n";

// Meshes the toolkit's reader takes without an error, each with the reason
// the program gives: fewer points than declared, and a cell that names a
// point the mesh does not have.
const std::vector<std::pair<std::string, std::string>> IncompleteMeshes = {
  { MeshHeader + "POINTS 100000 float\n0 0 7 1 0 7 0 1 7\nPOLYGONS 1 4\n3 0 1 2\n",
    "it declares 100000 points, more than its 40 remaining bytes can hold" },
  { MeshHeader + "POINTS 3 float\n0 0 7 1 0 7 0 1 7\nPOLYGONS 1 4\n3 0 1 200000\n",
    "it has a cell that names a point it does not have" },
};
}

TEST_F(RobustnessTest, IncompleteFaceMeshIsFatal)
{
  this->WriteScene();
  for (const auto& [mesh, reason] : IncompleteMeshes)
  {
    this->Folder.Write("woman.vtk", mesh);
    ProgramRun run = this->Run();
    this->ExpectFailure(run, "Cannot read the face mesh woman.vtk: " + reason);
    EXPECT_EQ(run.Out.find("Transform time"), std::string::npos);
  }
}

// A glTF face of one triangle, its node transformed by transform (JSON
// members of a node, "scale" or "matrix"), with its buffer in face.bin.
void WriteGltfTriangle(const TemporaryFolder& folder, const std::string& transform)
{
  const float corners[9] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  folder.Write("face.bin", std::string(reinterpret_cast<const char*>(corners), sizeof(corners)));
  folder.Write("face.gltf",
               "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
               "\"nodes\":[{\"mesh\":0," +
                 transform +
                 "}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}],"
                 "\"buffers\":[{\"uri\":\"face.bin\",\"byteLength\":36}],"
                 "\"bufferViews\":[{\"buffer\":0,\"byteLength\":36}],"
                 "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,"
                 "\"type\":\"VEC3\",\"min\":[0,0,0],\"max\":[1,1,0]}]}");
}

TEST_F(RobustnessTest, FaceBeyondTheSinglePrecisionRangeIsRefusedBeforeAnyOutput)
{
  // Squared distances of such points overflow single precision: the run
  // wrote "inf inf inf" in animated_shape.vtk and inf in the glTF file's JSON.
  const std::pair<const char*, const char*> faces[] = {
    { "woman.vtk",
      "woman.vtk: its point 1 (1e+30 0 0) lies beyond the coordinate range -1e+18 to 1e+18" },
    { "face.gltf", "face.gltf: its point 1 (1e+30 0 0) lies beyond the coordinate range" },
    { "face.gltf", "face.gltf: it holds a coordinate that is not finite" },
  };
  const char* const transforms[] = { "",
                                     "\"scale\":[1e30,1,1]",
                                     "\"matrix\":[1e300,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]" };
  for (int k = 0; k < 3; ++k)
  {
    SCOPED_TRACE(transforms[k]);
    this->WriteScene(std::string("Face ") + faces[k].first + "\n");
    this->Folder.Write("woman.vtk",
                       MeshHeader + "POINTS 3 float\n0 0 0 1e30 0 0 0 1 0\n" +
                         "POLYGONS 1 4\n3 0 1 2\n");
    WriteGltfTriangle(this->Folder, transforms[k]);
    ProgramRun run = RunAnimation(this->Folder.Path(), "--batch --gltf out.glb");
    this->ExpectFailure(run, std::string("Cannot read the face mesh ") + faces[k].second);
    EXPECT_FALSE(this->Exists("out.glb"));
  }
}

TEST_F(RobustnessTest, DeformationBeyondTheSinglePrecisionRangeIsRefusedBeforeAnyFrame)
{
  // Four control points that scale space by 1e30 fit a field whose
  // polynomial part moves every face point by about 1e30 at weight 1; at
  // weight 1e10 the face would leave the single-precision range.
  this->WriteScene("SaveImages yes\nExpression blow blow.txt\nKey 0 blow 0\nKey 3 blow 1e10\n");
  this->Folder.Write("blow.txt", "0 0 0 0 0 0\n1 0 0 1e30 0 0\n0 1 0 0 1e30 0\n0 0 1 0 0 1e30\n");
  ProgramRun run =
    RunAnimation(this->Folder.Path(), "--batch --gltf out.glb --export-shapes shapes");
  this->ExpectFailure(run, "would be moved beyond the single-precision range of the deformed mesh");
  EXPECT_NE(run.Err.find("expression blow at weight 1e+10 moves a coordinate of it by"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(run.Out.find("Transform time"), std::string::npos) << run.Out;
  EXPECT_FALSE(this->Exists("image0000.bmp"));
  EXPECT_FALSE(this->Exists("out.glb"));
  EXPECT_FALSE(this->Exists("shapes"));
}

TEST_F(RobustnessTest, CorruptHairMeshIsLeftOutWithAMessage)
{
  this->WriteScene("BackgroundColor 1 0 0\nSaveImages yes\nFramesNumber 2\n");
  // Above the face, to its left, the hair shows in front of the scene's colour.
  const std::array<int, 3> red = { 255, 0, 0 };
  ASSERT_EQ(this->Run().Status, 0);
  ASSERT_NE(ReadBmp(this->Folder.File("image0001.bmp")).At(120, 239), red);
  std::vector<std::pair<std::string, std::string>> meshes = IncompleteMeshes;
  meshes.push_back({ RandomBytes(4096, 3), "the file is missing, unreadable or incomplete" });
  for (const auto& [mesh, reason] : meshes)
  {
    this->Folder.Write("hair.vtk", mesh);
    ProgramRun run = this->Run();
    this->ExpectComplete(run);
    EXPECT_NE(run.Err.find("Cannot use the hair mesh hair.vtk: " + reason +
                           "; the head is drawn without hair"),
              std::string::npos)
      << run.Err;
    EXPECT_EQ(ReadBmp(this->Folder.File("image0001.bmp")).At(120, 239), red);
  }
}

namespace
{
// Bad versions of a BMP image, each with the reason the program gives: bytes
// of every value, a header whose pixels are missing, and a header that
// announces an image of 30000 x 30000 pixels.
std::vector<std::pair<std::string, std::string>> BadImages(const std::string& image)
{
  std::string huge = image.substr(0, 54);
  huge[18] = huge[22] = static_cast<char>(0x30);
  huge[19] = huge[23] = static_cast<char>(0x75);
  return { { RandomBytes(4096, 4), " is not a Windows BMP file" },
           { image.substr(0, 60), " holds fewer pixels than its header announces" },
           { huge, " is not an 8- or 24-bit image of 1 to 16384 pixels a side" } };
}
}

TEST_F(RobustnessTest, CorruptTextureImageIsLeftOutWithAMessage)
{
  this->WriteScene("SaveImages yes\nFramesNumber 2\n");
  for (const auto& [bytes, reason] : BadImages(ReadWholeFile(this->Folder.File("hair.bmp"))))
  {
    this->Folder.Write("hair.bmp", bytes);
    ProgramRun run = this->Run();
    this->ExpectComplete(run);
    EXPECT_NE(run.Err.find("Cannot use the hair texture: hair.bmp" + reason +
                           "; the hair is drawn without it"),
              std::string::npos)
      << run.Err;
    EXPECT_EQ(ReadBmp(this->Folder.File("image0001.bmp")).Width, 300);
  }
}

TEST_F(RobustnessTest, CorruptBackgroundImageIsLeftOutWithAMessage)
{
  this->WriteScene("BackgroundImage studio.bmp\nBackgroundColor 1 0 0\nSaveImages yes\n"
                   "FramesNumber 2\n");
  for (const auto& [bytes, reason] : BadImages(ReadWholeFile(this->Folder.File("studio.bmp"))))
  {
    this->Folder.Write("studio.bmp", bytes);
    ProgramRun run = this->Run();
    this->ExpectComplete(run);
    EXPECT_NE(run.Err.find("Cannot use the background image: studio.bmp" + reason +
                           "; the window shows the background colour instead"),
              std::string::npos)
      << run.Err;
    // The corner shows the scene's colour where the image would have been.
    EXPECT_EQ(ReadBmp(this->Folder.File("image0001.bmp")).At(2, 2),
              (std::array<int, 3>{ 255, 0, 0 }));
  }
}

TEST_F(RobustnessTest, FolderInPlaceOfTheFaceMeshIsFatal)
{
  this->WriteScene();
  this->MakeFolder("woman.vtk");
  ProgramRun run = this->Run();
  this->ExpectFailure(run, "Cannot read the face mesh woman.vtk");
  EXPECT_EQ(run.Out.find("Transform time"), std::string::npos);
}

TEST_F(RobustnessTest, FolderInPlaceOfTheHairMeshOrAnImageIsSkipped)
{
  for (const char* name : { "hair.vtk", "hair.bmp", "studio.bmp" })
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), "BackgroundImage studio.bmp\n");
    std::filesystem::remove(folder.File(name));
    std::filesystem::create_directory(folder.File(name));
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 0) << name << run.Err;
    EXPECT_NE(run.Out.find(Farewell), std::string::npos) << name;
    if (std::string(name) != "hair.vtk")
    {
      EXPECT_NE(run.Err.find(std::string(name) + " is a folder, not a regular file"),
                std::string::npos)
        << run.Err;
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.File("animated_shape.vtk"))) << name;
  }
}

// --- Output files -----------------------------------------------------------------

TEST_F(RobustnessTest, UnwritableWorkingFolderFailsTheRunAndKeepsTheEarlierMesh)
{
  // The scene sits in a folder of its own, which the program may read but
  // not write; its console goes to the folder above.
  const std::string work = this->Folder.File("work");
  ASSERT_TRUE(std::filesystem::create_directory(work));
  WriteTestScene(work, "SaveImages yes\n");
  const std::string earlier = "an earlier animated_shape.vtk\n";
  std::ofstream(work + "/animated_shape.vtk") << earlier;
  const std::string program = "'" ANIMATION_BINARY_DIR "/bin/animation' --batch";
  const std::string console =
    " >'" + this->Folder.File("out") + "' 2>'" + this->Folder.File("err") + "' </dev/null";
  std::string command;
  if (geteuid() == 0)
  {
    // Permissions do not stop root: the folder is mounted read-only instead,
    // in a mount namespace of the program's own.
    command = "unshare -m sh -c \"mount --bind '" + work + "' '" + work +
              "' && mount -o remount,ro,bind '" + work + "' && cd '" + work + "' && exec " +
              program + console + "\"";
  }
  else
  {
    ASSERT_EQ(chmod(work.c_str(), 0555), 0);
    command = "cd '" + work + "' && exec " + program + console;
  }
  const int status = std::system(command.c_str());
  chmod(work.c_str(), 0755);
  const std::string err = ReadWholeFile(this->Folder.File("err"));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << err;
  EXPECT_NE(err.find(std::string("Cannot write image0000.bmp: ") +
                     (geteuid() == 0 ? "Read-only file system" : "Permission denied")),
            std::string::npos)
    << err;
  EXPECT_EQ(ReadWholeFile(this->Folder.File("out")).find(Farewell), std::string::npos);
  EXPECT_EQ(ReadWholeFile(work + "/animated_shape.vtk"), earlier);
  EXPECT_FALSE(std::filesystem::exists(work + "/image0000.bmp"));
}

TEST_F(RobustnessTest, RunKilledMidWriteLeavesOnlyCompleteFrames)
{
  // Large frames take long enough to write that the kill below, sent as soon
  // as a frame's temporary file shows, usually lands in the middle of a write.
  this->WriteScene("SaveImages yes\nFramesNumber 50\nLoopCount 4\nWindowSize 1200 1000\n");
  this->Folder.Write(
    "kill-mid-write.sh",
    "'" ANIMATION_BINARY_DIR "/bin/animation' --batch >console.txt 2>&1 </dev/null &\n"
    "pid=$!\n"
    "while [ ! -e image0002.bmp ] && kill -0 $pid 2>/dev/null; do sleep 0.01; done\n"
    "while kill -0 $pid 2>/dev/null; do\n"
    "  if [ -n \"$(find . -maxdepth 1 -name '*.partial')\" ]; then kill -9 $pid; break; fi\n"
    "done\n"
    "wait $pid\n");
  const int status =
    std::system(("cd '" + this->Folder.Path() + "' && bash kill-mid-write.sh").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  // bash reports a child killed by SIGKILL as 128 + 9.
  ASSERT_EQ(WEXITSTATUS(status), 128 + SIGKILL) << ReadWholeFile(this->Folder.File("console.txt"));

  int complete = 0;
  const std::regex frameName("image[0-9]{4}\\.bmp");
  for (const auto& entry : std::filesystem::directory_iterator(this->Folder.Path()))
  {
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, frameName))
    {
      continue;
    }
    EXPECT_EQ(entry.file_size(), BmpFileSize(1200, 1000)) << name;
    RgbImage image = ReadBmp(entry.path().string());
    EXPECT_EQ(image.Width, 1200) << name;
    EXPECT_EQ(image.Height, 1000) << name;
    ++complete;
  }
  EXPECT_GE(complete, 3);
  EXPECT_FALSE(this->Exists("animated_shape.vtk"));
}

// --- Files a scene names, cost in proportion to the input, memory limits --------

TEST_F(RobustnessTest, FifosAndDevicesAsNamedFilesEndTheRunWithinSecondsNamingTheFile)
{
  struct Case
  {
    std::string Line;    // the scene-file line that names the file
    std::string Message; // what standard error must hold
    int Status;
  };
  const Case cases[] = {
    { "Expression smile pipe.txt", "Expression file pipe.txt is a FIFO, not a regular file", 1 },
    { "Expression smile zero.txt",
      "Expression file zero.txt is a character device, not a regular file",
      1 },
    { "Expression smile random.mrk.json zero.txt",
      "Expression file random.mrk.json is a character device, not a regular file",
      1 },
    { "Face pipe.vtk",
      "Cannot read the face mesh pipe.vtk: the file is a FIFO, not a regular file",
      1 },
    { "Hair zero.vtk",
      "Cannot use the hair mesh zero.vtk: the file is a character device, not a regular file",
      0 },
    { "Texture pipe.bmp",
      "Cannot use the hair texture: pipe.bmp is a FIFO, not a regular file",
      0 },
  };
  for (const Case& named : cases)
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), named.Line + "\nFramesNumber 2\n");
    ASSERT_EQ(mkfifo(folder.File("pipe.txt").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(folder.File("pipe.vtk").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(folder.File("pipe.bmp").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder.File("zero.txt"));
    std::filesystem::create_symlink("/dev/zero", folder.File("zero.vtk"));
    std::filesystem::create_symlink("/dev/urandom", folder.File("random.mrk.json"));
    const ProgramRun run = RunAnimation(folder.Path(), "--batch", 30);
    EXPECT_EQ(run.Status, named.Status) << named.Line << "\n" << run.Err;
    EXPECT_NE(run.Err.find(named.Message), std::string::npos) << run.Err;
  }
}

TEST_F(RobustnessTest, SparseFaceFileIsRefusedNamingItsDeclaredSize)
{
  this->WriteScene();
  // 4.8 GB declared, a few kilobytes on the disk.
  std::filesystem::resize_file(this->Folder.File("woman.vtk"), 4800000000);
  const ProgramRun run = this->Run(30);
  this->ExpectFailure(run,
                      "Cannot read the face mesh woman.vtk: the file holds 4800000000 bytes, more "
                      "than a mesh may (1073741824)");
}

TEST_F(RobustnessTest, MillionsOfShortLinesAreReadInSecondsAndTheirWarningsCounted)
{
  this->WriteScene();
  // A million junk lines, each warned about, between a million Texture
  // lines, each of which once built a texture pipeline of its own.
  std::string lines;
  for (int k = 0; k < 1000000; ++k)
  {
    lines += "x\nTexture hair.bmp\n";
  }
  this->WriteSceneFile("FramesNumber 2\n" + lines);
  const ProgramRun run = this->Run(60);
  this->ExpectComplete(run);
  std::size_t shown = 0;
  for (std::size_t at = run.Err.find("Warning: woman.ptt line "); at != std::string::npos;
       at = run.Err.find("Warning: woman.ptt line ", at + 1))
  {
    ++shown;
  }
  EXPECT_EQ(shown, 20u);
  EXPECT_NE(run.Err.find("Warning: woman.ptt line 40: ignored, it is neither a setting nor a "
                         "control point: \"x\"\nWarning: woman.ptt: 999980 more warnings about "
                         "its lines are not shown\n"),
            std::string::npos)
    << run.Err.substr(0, 3000);
  EXPECT_EQ(run.Err.find("hair texture"), std::string::npos) << run.Err.substr(0, 3000);
}

TEST_F(RobustnessTest, ThousandsOfCoincidentTrianglesGetAveragedNormals)
{
  this->WriteScene();
  std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  for (int k = 0; k < 5000; ++k)
  {
    obj += "f 1 2 3\n";
  }
  this->Folder.Write("triangles.obj", obj);
  this->WriteSceneFile("Face triangles.obj\nFramesNumber 2\n");
  const ProgramRun run = this->Run(120);
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("The face mesh has points shared by about 5000 faces each: copies of one "
                         "face are drawn once, and the normals are averaged without splitting "
                         "them at creases"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(ReadMeshPoints(this->Folder.File("animated_shape.vtk")).size(), 3u);
}

TEST_F(RobustnessTest, AddressSpaceLimitsEndTheRunWithAMessageNotACrash)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer cannot reserve its shadow memory under the address-space limit";
#endif
  this->WriteScene("FramesNumber 2\n");
  for (const int mebibytes : { 300, 350, 400, 450, 500, 600 })
  {
    const std::string command = "cd '" + this->Folder.Path() + "' && ulimit -v " +
                                std::to_string(mebibytes * 1024) +
                                " && exec '" ANIMATION_BINARY_DIR "/bin/animation' --batch "
                                "</dev/null >/dev/null 2>console.txt";
    const int status = std::system(command.c_str());
    const std::string console = ReadWholeFile(this->Folder.File("console.txt"));
    ASSERT_TRUE(WIFEXITED(status)) << mebibytes << " MiB: " << console;
    if (WEXITSTATUS(status) != 0)
    {
      EXPECT_EQ(WEXITSTATUS(status), 1) << mebibytes << " MiB: " << console;
      EXPECT_TRUE(console.find("Out of memory: ") != std::string::npos ||
                  console.find("(ulimit -v); raise them") != std::string::npos)
        << mebibytes << " MiB: " << console;
      EXPECT_EQ(console.find("std::bad_alloc"), std::string::npos) << console;
    }
  }
}
