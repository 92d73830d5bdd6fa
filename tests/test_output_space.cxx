// Room for the frames and the video, end to end: in a folder on a small file
// system the run stops before it writes anything, naming the bytes it needs
// and the bytes free. The small file system is a tmpfs mounted in a mount
// namespace of the program's own, which takes root.
#include "output_space.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

TEST(OutputSpaceTest, FrameBytesAreTheBmpWritersFileSize)
{
  // A 54-byte header and rows of 3 * width bytes padded to four.
  EXPECT_EQ(FrameFileBytes(300, 300), 54u + 300u * 900u);
  EXPECT_EQ(FrameFileBytes(203, 150), 54u + 150u * 612u);
}

namespace
{
class SmallFolderTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (geteuid() != 0)
    {
      GTEST_SKIP() << "mounting a small file system takes root";
    }
    // The scene is written beside the mount point and copied in once the
    // 4 MiB file system is mounted there.
    WriteTestScene(this->Folder.File(""), "");
    std::filesystem::create_directory(this->Folder.File("small"));
  }

  // Runs the program in the small folder with the scene-file lines settings
  // and the arguments; returns its status and leaves the folder's listing
  // in "listing" and its console in "out" and "err" beside it.
  int RunInSmallFolder(const std::string& settings, const std::string& arguments)
  {
    this->Folder.Write("settings", settings);
    const std::string small = this->Folder.File("small");
    const std::string script =
      "mount -t tmpfs -o size=4m tmpfs '" + small + "' && cd '" + small +
      "' && cp ../woman.vtk ../hair.vtk ../hair.bmp ../studio.bmp . && cat ../settings "
      "../woman.ptt >woman.ptt && '" ANIMATION_BINARY_DIR "/bin/animation' --batch " +
      arguments + " >../out 2>../err </dev/null; status=$?; ls -A >../listing; exit $status";
    this->Folder.Write("run.sh", script);
    const int status = std::system(("unshare -m sh '" + this->Folder.File("run.sh") + "'").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The folder holds the scene and nothing the run wrote.
  void ExpectNothingWritten()
  {
    EXPECT_EQ(ReadWholeFile(this->Folder.File("listing")),
              "hair.bmp\nhair.vtk\nstudio.bmp\nwoman.ptt\nwoman.vtk\n");
    EXPECT_EQ(ReadWholeFile(this->Folder.File("out")).find("Solving time"), std::string::npos);
  }

  TemporaryFolder Folder;
};
}

TEST_F(SmallFolderTest, FramesThatDoNotFitAreRefusedBeforeTheFirst)
{
  // 20 frames of 300 x 300 take 20 * 270054 bytes, 5.2 MiB.
  EXPECT_EQ(this->RunInSmallFolder("FramesNumber 20\nSaveImages yes\n", ""), 1);
  const std::string err = ReadWholeFile(this->Folder.File("err"));
  EXPECT_TRUE(std::regex_search(
    err,
    std::regex("^Not enough free space: the 20 frames of 300 x 300 pixels would take about "
               "5\\.2 MiB, but .*/small has only [0-4]\\.[0-9] MiB free;")))
    << err;
  this->ExpectNothingWritten();
}

TEST_F(SmallFolderTest, VideoThatDoesNotFitIsRefusedBeforeTheFirstFrame)
{
  EXPECT_EQ(this->RunInSmallFolder("FramesNumber 1000\n", "--movie run.ogv"), 1);
  const std::string err = ReadWholeFile(this->Folder.File("err"));
  EXPECT_TRUE(std::regex_search(
    err,
    std::regex("^Not enough free space: the video .*/small/run\\.ogv would take about [0-9.]+ MiB, "
               "but .*/small has only [0-4]\\.[0-9] MiB free;")))
    << err;
  this->ExpectNothingWritten();
}
