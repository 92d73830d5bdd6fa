// The real executable, run in a temporary folder as a user runs it: its
// console, its exit status and the files it leaves.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>

namespace
{
class AnimationRunTest : public ::testing::Test
{
protected:
  TemporaryFolder Folder;
};
}

TEST_F(AnimationRunTest, MissingSceneFileEndsWithVeryVeryBadAndNamesFileAndFolder)
{
  ProgramRun run = RunAnimation(this->Folder.Path());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, Banner);
  EXPECT_NE(run.Err.find("ERROR: In "), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("vtkDatReader ("), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("): Not correct FileName\n\n"), std::string::npos) << run.Err;
  // The failure message is the last thing printed, then the file and folder.
  const std::string last =
    "Very-very bad!\nThere is no readable scene file woman.ptt in the folder " +
    std::filesystem::canonical(this->Folder.Path()).string() + "\n";
  ASSERT_GE(run.Err.size(), last.size()) << run.Err;
  EXPECT_EQ(run.Err.substr(run.Err.size() - last.size()), last);
}

TEST_F(AnimationRunTest, FolderInPlaceOfTheSceneFileIsNotReadable)
{
  ASSERT_EQ(std::system(("mkdir '" + this->Folder.File("woman.ptt") + "'").c_str()), 0);
  ProgramRun run = RunAnimation(this->Folder.Path());
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Very-very bad!"), std::string::npos) << run.Err;
}

TEST_F(AnimationRunTest, NumberThatIsNotFiniteEndsTheRunBeforeAnyTiming)
{
  this->Folder.Write("woman.ptt", "FramesNumber 4\n0 0 0 0 0 0\n1 1 nan 1 1 1\n");
  ProgramRun run = RunAnimation(this->Folder.Path());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, Banner);
  EXPECT_NE(run.Err.find("Control point on line 3 holds a number that is not finite"),
            std::string::npos)
    << run.Err;
  EXPECT_NE(run.Err.find("Very-very bad!"), std::string::npos);
}

TEST_F(AnimationRunTest, HelpPrintsUsageAndSucceeds)
{
  ProgramRun run = RunAnimation(this->Folder.Path(), "--help");
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out.rfind("Usage: animation", 0), 0u) << run.Out;
  EXPECT_NE(run.Out.find("--batch"), std::string::npos);
  EXPECT_EQ(run.Err, "");
}

TEST_F(AnimationRunTest, WrongArgumentIsNamedInAUsageError)
{
  this->Folder.Write("woman.ptt", "0 0 0 0 0 0\n");
  const std::pair<const char*, const char*> cases[] = {
    { "--bathc", "animation: unknown option '--bathc'\n" },
    { "--fps", "animation: --fps needs a value\n" },
    { "--fps 0",
      "animation: --fps takes a whole number of frames per second from 1 to 1000, not '0'\n" },
    { "one two", "animation: more than one folder: 'one' and 'two'\n" },
    { "--fps 30", "animation: --fps sets the frame rate of the video: it needs --movie FILE\n" },
    { "--movie run.avi",
      "animation: --movie writes .mp4 (H.264), .webm (VP9) or .ogv (Theora), chosen by the "
      "extension: 'run.avi' has none of them\n" },
    { "--edit --batch", "animation: --batch and --edit exclude each other\n" },
    { "--edit --gltf run.glb",
      "animation: --edit opens the control-point editor: it takes no output options\n" },
  };
  for (const auto& [arguments, error] : cases)
  {
    ProgramRun run = RunAnimation(this->Folder.Path(), arguments);
    EXPECT_EQ(run.Status, 2) << arguments;
    EXPECT_EQ(run.Out, "") << arguments;
    EXPECT_EQ(run.Err.rfind(std::string(error) + "\nUsage: animation", 0), 0u) << run.Err;
  }
}

// --- Complete runs on a small scene ---------------------------------------------

namespace
{
std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
  {
    lines.push_back(line);
  }
  return lines;
}

// A number in the stream's default format: general notation, six digits.
const std::string Number = "(-?[0-9.]+(e[-+][0-9]+)?|inf)";

class CompleteRunTest : public ::testing::Test
{
protected:
  ProgramRun RunScene(const std::string& settings, const std::string& arguments = "--batch")
  {
    this->Scene = WriteTestScene(this->Folder.Path(), settings);
    return RunAnimation(this->Folder.Path(), arguments);
  }

  bool Exists(const std::string& name) const
  {
    return std::filesystem::exists(this->Folder.File(name));
  }

  // Largest distance between the vertices of animated_shape.vtk and the face
  // moved by blend times the source-to-target displacement at the control
  // points (which are face vertices), and by nothing far from the points.
  void ExpectMeshAtBlend(double blend)
  {
    auto face = ReadMeshPoints(this->Folder.File("woman.vtk"));
    auto animated = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));
    ASSERT_EQ(animated.size(), face.size());
    int checked = 0;
    for (const ControlPair& pair : this->Scene.Controls)
    {
      for (size_t id = 0; id < face.size(); ++id)
      {
        // The scene file rounds the sources to six decimals.
        double gap = 0;
        for (int k = 0; k < 3; ++k)
        {
          gap = std::max(gap, std::fabs(face[id][k] - pair.Source[k]));
        }
        if (gap > 1e-5)
        {
          continue;
        }
        for (int k = 0; k < 3; ++k)
        {
          double expected = face[id][k] - blend * (pair.Source[k] - pair.Target[k]);
          EXPECT_NEAR(animated[id][k], expected, 2e-4) << "vertex " << id;
        }
        ++checked;
      }
    }
    EXPECT_GT(checked, 100);
  }

  TemporaryFolder Folder;
  TestScene Scene;
};
}

TEST_F(CompleteRunTest, ConsoleShowsEveryStageInOrder)
{
  ProgramRun run = this->RunScene("FramesNumber 5\nLoopCount 2\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::vector<std::string> patterns = {
    "Animation",
    "Information:",
    "Version 0\\.2 ",
    "Time precission on this computer is 0\\.001 sec\\.",
    "",
    "Tree build time: " + Number + " sec\\.",
    "Sorting time: " + Number + " sec\\.",
    "Constructing time: " + Number + " sec\\., \\([0-9]+ relocations\\)\\.",
    "Size of matrix A is \\(([0-9]+)\\*\\1\\): [0-9]+ bytes \\([0-9]+ MiB\\) <= [0-9]+ bytes "
    "\\([0-9]+ MiB\\) if stored as full matrix\\.",
    "Solving time: " + Number + " sec\\.",
    "Solving time: " + Number + " sec\\. ",
    "Transform time: " + Number + " sec\\.",
    "10 frames generated in " + Number + " sec\\., " + Number + " sec\\. per frame\\.",
    "Average speed: " + Number + "\\.",
    "Thank you for using our application",
  };
  std::vector<std::string> lines = Lines(run.Out);
  ASSERT_EQ(lines.size(), patterns.size()) << run.Out;
  for (size_t i = 0; i < patterns.size(); ++i)
  {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i])))
      << "line " << i + 1 << ": \"" << lines[i] << "\"";
  }
  EXPECT_EQ(run.Err, "");
}

TEST_F(CompleteRunTest, LastMeshHoldsTheLastFramesBlend)
{
  // Frames 0..9 of FramesNumber 5 end on the way up again, at 0.2.
  ProgramRun run = this->RunScene("FramesNumber 5\nLoopCount 2\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  this->ExpectMeshAtBlend(0.2);
  EXPECT_FALSE(this->Exists("image0000.bmp"));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(CompleteRunTest, DefaultsEndAtNineTenths)
{
  ProgramRun run = this->RunScene("");
  ASSERT_EQ(run.Status, 0) << run.Err;
  this->ExpectMeshAtBlend(0.9);
  EXPECT_NE(run.Out.find("\n10 frames generated in "), std::string::npos);
}

TEST_F(CompleteRunTest, SingleFrameSweepNeverDividesByZero)
{
  ProgramRun run = this->RunScene("FramesNumber 1\nLoopCount 4\nSaveImages yes\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\n4 frames generated in "), std::string::npos) << run.Out;
  this->ExpectMeshAtBlend(0.0);
  EXPECT_TRUE(this->Exists("image0003.bmp"));
}

TEST_F(CompleteRunTest, NoLoopRendersOnlyFrameZero)
{
  ProgramRun run = this->RunScene("FramesNumber 1\nLoopCount 1\nSaveImages yes\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\n1 frames generated in "), std::string::npos) << run.Out;
  // Frame 0 alone takes no loop time: the speed is bounded, not infinite.
  EXPECT_EQ(run.Out.find("inf"), std::string::npos) << run.Out;
  EXPECT_TRUE(this->Exists("image0000.bmp"));
  EXPECT_FALSE(this->Exists("image0001.bmp"));
}

TEST_F(CompleteRunTest, EveryFrameIsSavedAtTheWindowSize)
{
  ProgramRun run =
    this->RunScene("FramesNumber 3\nLoopCount 2\nSaveImages yes\nWindowSize 160 120\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (int frame = 0; frame < 6; ++frame)
  {
    char name[32];
    std::snprintf(name, sizeof(name), "image%.4d.bmp", frame);
    RgbImage image = ReadBmp(this->Folder.File(name));
    EXPECT_EQ(image.Width, 160) << name;
    EXPECT_EQ(image.Height, 120) << name;
  }
  EXPECT_FALSE(this->Exists("image0006.bmp"));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(CompleteRunTest, FrameZeroShowsTheUndeformedFaceAndLaterFramesMoveIt)
{
  ProgramRun run = this->RunScene("FramesNumber 2\nLoopCount 2\nSaveImages yes\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  // Blend factors 0, 0.5, 0, 0.5: equal blends render equal frames.
  RgbImage first = ReadBmp(this->Folder.File("image0000.bmp"));
  RgbImage second = ReadBmp(this->Folder.File("image0001.bmp"));
  RgbImage third = ReadBmp(this->Folder.File("image0002.bmp"));
  ASSERT_EQ(first.Width, 300);
  EXPECT_EQ(first.Pixels, third.Pixels);
  EXPECT_NE(first.Pixels, second.Pixels);
}

TEST_F(CompleteRunTest, BackgroundImageIsBehindTheFace)
{
  ProgramRun run = this->RunScene("BackgroundImage studio.bmp\nSaveImages yes\nFramesNumber 2\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  RgbImage frame = ReadBmp(this->Folder.File("image0000.bmp"));
  ASSERT_EQ(frame.Width, 300);
  const auto green = this->Scene.BackgroundImageColour;
  auto isBackground = [&green](std::array<int, 3> pixel)
  {
    for (int k = 0; k < 3; ++k)
    {
      if (std::abs(pixel[k] - green[k]) > 3)
      {
        return false;
      }
    }
    return true;
  };
  // The corners show the image, the middle shows the face in front of it.
  EXPECT_TRUE(isBackground(frame.At(2, 2)));
  EXPECT_TRUE(isBackground(frame.At(297, 297)));
  EXPECT_FALSE(isBackground(frame.At(150, 130)));
}

TEST_F(CompleteRunTest, WithoutBackgroundImageTheSceneColourShows)
{
  ProgramRun run = this->RunScene("BackgroundColor 1 0 0\nSaveImages yes\nFramesNumber 2\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  RgbImage frame = ReadBmp(this->Folder.File("image0000.bmp"));
  ASSERT_EQ(frame.Width, 300);
  EXPECT_EQ(frame.At(2, 2), (std::array<int, 3>{ 255, 0, 0 }));
}

// --- Failures of the scene -------------------------------------------------------

TEST_F(CompleteRunTest, MissingFaceMeshIsFatalBeforeAnyOutput)
{
  this->Scene = WriteTestScene(this->Folder.Path(), "SaveImages yes\n");
  std::filesystem::remove(this->Folder.File("woman.vtk"));
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh woman.vtk"), std::string::npos) << run.Err;
  EXPECT_EQ(run.Out.find("Transform time"), std::string::npos);
  EXPECT_EQ(run.Out.find("Thank you"), std::string::npos);
  EXPECT_FALSE(this->Exists("image0000.bmp"));
  EXPECT_FALSE(this->Exists("animated_shape.vtk"));
}

TEST_F(CompleteRunTest, FaceMeshWithoutPointsIsFatal)
{
  this->Scene = WriteTestScene(this->Folder.Path(), "");
  this->Folder.Write("woman.vtk",
                     "# vtk DataFile Version 3.0\nempty\nASCII\nDATASET POLYDATA\n"
                     "POINTS 0 float\n");
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh woman.vtk"), std::string::npos) << run.Err;
  EXPECT_FALSE(this->Exists("animated_shape.vtk"));
}

TEST_F(CompleteRunTest, GarbageFaceMeshIsFatal)
{
  this->Scene = WriteTestScene(this->Folder.Path(), "");
  this->Folder.Write("woman.vtk", std::string("\x7f\x01garbage\0\xff", 11));
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot read the face mesh woman.vtk"), std::string::npos) << run.Err;
}

TEST_F(CompleteRunTest, MissingHairTextureAndBackgroundAreNotFatal)
{
  this->Scene = WriteTestScene(this->Folder.Path(), "BackgroundImage studio.bmp\n");
  std::filesystem::remove(this->Folder.File("hair.vtk"));
  std::filesystem::remove(this->Folder.File("hair.bmp"));
  std::filesystem::remove(this->Folder.File("studio.bmp"));
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("Thank you for using our application"), std::string::npos);
  // One line of the program's own for each, without the toolkit's raw error.
  EXPECT_NE(run.Err.find("Cannot use the hair mesh hair.vtk: the file does not exist; the head is "
                         "drawn without hair\n"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(run.Err.find("ERROR: In "), std::string::npos) << run.Err;
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 3) << run.Err;
  EXPECT_TRUE(this->Exists("animated_shape.vtk"));
}

TEST_F(CompleteRunTest, WindowSizeOutOfRangeIsFatalBeforeAnyWindow)
{
  for (const char* size : { "0 300", "300 -2", "16385 10", "300 100000" })
  {
    TemporaryFolder folder;
    WriteTestScene(folder.Path(), std::string("WindowSize ") + size + "\n");
    ProgramRun run = RunAnimation(folder.Path(), "--batch");
    EXPECT_EQ(run.Status, 1) << size;
    EXPECT_NE(run.Err.find("is out of range: width and height must be 1 to 16384 pixels"),
              std::string::npos)
      << run.Err;
    EXPECT_EQ(run.Out.find("Transform time"), std::string::npos) << size;
    EXPECT_FALSE(std::filesystem::exists(folder.File("animated_shape.vtk")));
  }
}

TEST_F(CompleteRunTest, NegativeCountsRenderOnlyFrameZero)
{
  ProgramRun run = this->RunScene("FramesNumber -3\nLoopCount -4\nSaveImages yes\n");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\n1 frames generated in "), std::string::npos) << run.Out;
  EXPECT_FALSE(this->Exists("image0001.bmp"));
  this->ExpectMeshAtBlend(0.0);
}

TEST_F(CompleteRunTest, TooManyFramesAreRefusedBeforeSolving)
{
  ProgramRun run = this->RunScene("FramesNumber 2000000000\nLoopCount 3\n");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("FramesNumber 2000000000 times LoopCount 3 makes 6000000000 frames; a "
                         "run may have at most 1000000"),
            std::string::npos)
    << run.Err;
  EXPECT_EQ(run.Out.find("Solving time"), std::string::npos);
}

// --- The interactive phase ----------------------------------------------------

TEST_F(CompleteRunTest, PressingQInTheWindowEndsTheRun)
{
  this->Scene = WriteTestScene(this->Folder.Path(), "FramesNumber 3\n");
  // On an X server of its own, the program waits in its window after the
  // report; a second process finds the window and presses q in it.
  this->Folder.Write("press-q.sh", WindowScript("xdotool key --window \"$window\" q\n"));
  const std::string command = "cd '" + this->Folder.Path() + "' && xvfb-run -a bash press-q.sh";
  int status = std::system(command.c_str());
  std::string console = ReadWholeFile(this->Folder.File("console.txt"));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << console;
  const std::string last = "Thank you for using our application\n";
  ASSERT_GE(console.size(), last.size()) << console;
  EXPECT_EQ(console.substr(console.size() - last.size()), last);
  EXPECT_TRUE(this->Exists("animated_shape.vtk"));
}
