// The run's outputs, end to end: an output that is not a regular file or that
// names an input is refused before any work (the video, the glTF file, the
// expression shapes, the frames of a timeline alike); a write that fails is named with
// its cause, costs no other output and leaves no temporary file; a closed
// standard output does not stop the files from being finished.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace
{
class OutputGuardTest : public ::testing::Test
{
protected:
  void SetUp() override { WriteTestScene(this->Folder.Path(), "FramesNumber 4\n"); }

  // The shell command that runs the program in the scene folder, with its
  // standard error in the console folder.
  std::string Program(const std::string& arguments) const
  {
    return "'" ANIMATION_BINARY_DIR "/bin/animation' --batch " + arguments + " </dev/null 2>'" +
           this->Console.File("err") + "'";
  }

  int Shell(const std::string& command) const
  {
    return std::system(("cd '" + this->Folder.Path() + "' && " + command).c_str());
  }

  TemporaryFolder Folder;
  TemporaryFolder Console;
};

// A digest of each regular file of folder, by name; the console files that
// RunAnimation keeps there (".stdout", ".stderr") are left out.
std::map<std::string, size_t> FilesIn(const std::string& folder)
{
  std::map<std::string, size_t> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
  {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && !entry.is_symlink() && name[0] != '.')
    {
      files[name] = std::hash<std::string>()(ReadWholeFile(entry.path().string()));
    }
  }
  return files;
}

struct RefusedOutput
{
  const char* Setup;     // shell commands run in the scene folder first
  const char* Arguments; // of the program
  const char* Message;
};
}

TEST_F(OutputGuardTest, OutputThatIsNoRegularFileOrNamesAnInputIsRefusedBeforeAnyWork)
{
  const RefusedOutput cases[] = {
    { "mkdir animated_shape.vtk",
      "",
      "Cannot write animated_shape.vtk: it exists and is a folder, not a regular file" },
    { "mkfifo animated_shape.vtk",
      "",
      "Cannot write animated_shape.vtk: it exists and is a FIFO, not a regular file" },
    { "echo SaveImages yes >>woman.ptt && mkdir image0002.bmp",
      "",
      "Cannot write image0002.bmp: it exists and is a folder" },
    // Devices and links to them are made in the scene folder: a program that
    // replaced them must not harm the machine's own /dev/null or /dev/stdout.
    { "mknod null.ogv c 1 3 2>/dev/null || mkfifo null.ogv",
      "--movie null.ogv",
      "null.ogv: it exists and is a" },
    { "ln -s /dev/null sink.ogv",
      "--movie sink.ogv",
      "sink.ogv: it exists and is a symbolic link" },
    { "mkdir videos.ogv", "--movie videos.ogv", "it exists and is a folder" },
    { "ln -s woman.vtk face.ogv",
      "--movie face.ogv",
      "it is the face mesh woman.vtk, which the run reads or writes too" },
    { "ln -s woman.ptt link.ogv", "--movie link.ogv", "it is the scene file woman.ptt" },
    { "true", "--movie missing/run.ogv", "/missing/run.ogv: No such file or directory" },
    // The glTF file, checked as the video is.
    { "true", "--gltf woman.ptt", "Cannot write the glTF file " },
    { "true", "--gltf woman.vtk", "/woman.vtk: it is the face mesh woman.vtk" },
    { "true", "--gltf hair.bmp", "/hair.bmp: it is the hair texture hair.bmp" },
    { "true", "--gltf animated_shape.vtk", "it is animated_shape.vtk too" },
    { "true", "--movie run.ogv --gltf run.ogv", "it is the video " },
    { "mknod full.glb c 1 7 2>/dev/null || mkfifo full.glb",
      "--gltf full.glb",
      "Cannot write the glTF file " },
    { "ln -s /dev/null sink.glb", "--gltf sink.glb", "sink.glb: it exists and is a symbolic link" },
    { "true", "--gltf missing/run.glb", "/missing/run.glb: No such file or directory" },
    // The files of Expression lines are inputs too.
    { "echo 'Expression smile smile.ogv' >>woman.ptt && echo '# pairs' >smile.ogv",
      "--movie smile.ogv",
      "it is the file smile.ogv of expression smile" },
    { "echo 'Expression frown src.txt dst.txt' >>woman.ptt && touch src.txt dst.txt",
      "--gltf dst.txt",
      "it is the file dst.txt of expression frown" },
    // The expression shapes: NAME plus the face's extension in the folder.
    { "echo 'Expression woman smile.txt' >>woman.ptt",
      "--export-shapes .",
      "Cannot write the shape of expression woman, " },
    { "echo 'Expression hair smile.txt' >>woman.ptt",
      "--export-shapes .",
      "/hair.vtk: it is the hair mesh hair.vtk" },
    { "echo 'Expression animated_shape smile.txt' >>woman.ptt",
      "--export-shapes .",
      "/animated_shape.vtk: it is animated_shape.vtk too" },
    { "mkdir shapes", "--gltf shapes/default.vtk --export-shapes shapes", "it is the glTF file " },
    { "mkdir shapes && mkfifo shapes/default.vtk",
      "--export-shapes shapes",
      "/shapes/default.vtk: it exists and is a FIFO" },
    { "true", "--export-shapes woman.ptt", "Cannot write the expression shapes into " },
    { "true", "--export-shapes woman.ptt/shapes", "/woman.ptt/shapes: Not a directory" },
    // A frame of a timeline that is an input: frame 50 of 61, not of the
    // FramesNumber's 4.
    { "cp hair.bmp image0050.bmp && printf 'SaveImages yes\\nTexture image0050.bmp\\nKey 60 "
      "default 1\\n' >>woman.ptt",
      "",
      "Cannot write image0050.bmp: it is the hair texture image0050.bmp" },
  };
  for (const RefusedOutput& refused : cases)
  {
    SCOPED_TRACE(refused.Setup + std::string(" / ") + refused.Arguments);
    for (const auto& entry : std::filesystem::directory_iterator(this->Folder.Path()))
    {
      std::filesystem::remove_all(entry.path());
    }
    WriteTestScene(this->Folder.Path(), "FramesNumber 4\n");
    ASSERT_EQ(this->Shell(refused.Setup), 0);
    const std::map<std::string, size_t> before = FilesIn(this->Folder.Path());
    ProgramRun run = RunAnimation(this->Folder.Path(), std::string("--batch ") + refused.Arguments);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(refused.Message), std::string::npos) << run.Err;
    // Refused before anything was solved or written: every file is as it was.
    EXPECT_EQ(run.Out.find("Solving time"), std::string::npos) << run.Out;
    EXPECT_EQ(FilesIn(this->Folder.Path()), before);
    EXPECT_FALSE(std::filesystem::is_regular_file(this->Folder.File("animated_shape.vtk")));
    EXPECT_TRUE(this->Folder.PartialFiles().empty());
  }
}

TEST_F(OutputGuardTest, FileSizeLimitIsAWriteErrorThatCostsNoOtherOutput)
{
  // 100 KiB take the video (about 10 KiB) but not the mesh (about 300 KiB).
  ASSERT_TRUE(std::filesystem::create_directory(this->Console.File("videos")));
  const std::string video = this->Console.File("videos/run.ogv");
  const int status =
    this->Shell("ulimit -f 100 && " + this->Program("--movie '" + video + "' >/dev/null"));
  const std::string err = ReadWholeFile(this->Console.File("err"));
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_EQ(WEXITSTATUS(status), 1) << err;
  EXPECT_NE(err.find("Cannot write animated_shape.vtk: File too large"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(this->Folder.File("animated_shape.vtk")));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
  ASSERT_TRUE(std::filesystem::exists(video)) << err;
  EXPECT_EQ(ReadWholeFile(video).compare(0, 4, "OggS"), 0);
}

TEST_F(OutputGuardTest, ClosedStandardOutputDoesNotStopTheFiles)
{
  // head leaves after the banner's first line; every later line meets a
  // closed pipe.
  const int status = this->Shell("{ " + this->Program("--movie run.ogv") + "; echo $? >'" +
                                 this->Console.File("status") + "'; } | head -1 >/dev/null");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(ReadWholeFile(this->Console.File("status")), "0\n")
    << ReadWholeFile(this->Console.File("err"));
  EXPECT_EQ(ReadMeshPoints(this->Folder.File("animated_shape.vtk")).size(),
            ReadMeshPoints(this->Folder.File("woman.vtk")).size());
  EXPECT_TRUE(std::filesystem::exists(this->Folder.File("run.ogv")));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(OutputGuardTest, FramesOfAnEarlierLongerRunAreNamed)
{
  WriteTestScene(this->Folder.Path(), "FramesNumber 4\nSaveImages yes\n");
  for (const char* earlier : { "image0009.bmp", "image0010.bmp", "image0011.bmp" })
  {
    this->Folder.Write(earlier, "an earlier frame");
  }
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("Warning: 3 frames of an earlier, longer run (image0009.bmp to "
                         "image0011.bmp) stay in the folder beside this run's 4"),
            std::string::npos)
    << run.Err;
}
