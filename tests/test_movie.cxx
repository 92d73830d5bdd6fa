// The video and the interrupted run, end to end: --movie writes every
// rendered frame into an Ogg Theora file whose header and packets are read
// back here, and SIGINT or SIGTERM in the frame loop ends the run after the
// frame in hand with a readable mesh and a video that plays.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

namespace
{
// What an Ogg Theora file says about its video.
struct TheoraVideo
{
  bool Valid = false;
  int Width = 0; // picture size, in pixels
  int Height = 0;
  int RateNumerator = 0; // frames per second as a fraction
  int RateDenominator = 0;
  int Frames = 0; // video packets after the three header packets
};

std::uint32_t BigEndian(const std::string& bytes, std::size_t at, int count)
{
  std::uint32_t value = 0;
  for (int k = 0; k < count; ++k)
  {
    value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
  }
  return value;
}

// Splits the Ogg pages into packets (RFC 3533: a packet is a run of lacing
// values that ends with one below 255) and reads the identification header
// of the Theora stream (Xiph.org's Theora format document, section 6.2).
// Every packet that does not have its top bit set is one frame.
TheoraVideo ReadTheora(const std::string& bytes)
{
  TheoraVideo video;
  std::string packet;
  int headers = 0;
  std::size_t at = 0;
  while (at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0)
  {
    const int segments = static_cast<unsigned char>(bytes[at + 26]);
    std::size_t data = at + 27 + segments;
    for (int s = 0; s < segments && data <= bytes.size(); ++s)
    {
      const int lacing = static_cast<unsigned char>(bytes[at + 27 + s]);
      packet += bytes.substr(data, lacing);
      data += lacing;
      if (lacing == 255)
      {
        continue;
      }
      if (!packet.empty() && (packet[0] & 0x80))
      {
        if (static_cast<unsigned char>(packet[0]) == 0x80 && packet.size() >= 30 &&
            packet.compare(1, 6, "theora") == 0)
        {
          video.Width = static_cast<int>(BigEndian(packet, 14, 3));
          video.Height = static_cast<int>(BigEndian(packet, 17, 3));
          video.RateNumerator = static_cast<int>(BigEndian(packet, 22, 4));
          video.RateDenominator = static_cast<int>(BigEndian(packet, 26, 4));
        }
        ++headers;
      }
      else
      {
        ++video.Frames;
      }
      packet.clear();
    }
    at = data;
  }
  video.Valid = at == bytes.size() && headers == 3 && packet.empty();
  return video;
}

const std::string Interrupted = "Interrupted by ";

class MovieTest : public ::testing::Test
{
protected:
  TemporaryFolder Folder;
};
}

TEST_F(MovieTest, VideoHoldsEveryFrameAtTheWindowSizeAndRate)
{
  // Eight frames; an odd window size, which the video's 16-pixel blocks pad.
  const std::string scene = this->Folder.File("scene");
  std::filesystem::create_directory(scene);
  WriteTestScene(scene, "FramesNumber 4\nLoopCount 2\nWindowSize 203 150\n");
  std::filesystem::create_directory(this->Folder.File("videos"));
  // The path is relative to the folder the program starts in.
  ProgramRun run = RunAnimation(scene, "--batch --movie ../videos/run.ogv --fps 12");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_NE(run.Out.find("8 frames generated in "), std::string::npos) << run.Out;

  const std::string path = this->Folder.File("videos/run.ogv");
  const TheoraVideo video = ReadTheora(ReadWholeFile(path));
  EXPECT_TRUE(video.Valid);
  EXPECT_EQ(video.Width, 203);
  EXPECT_EQ(video.Height, 150);
  EXPECT_EQ(video.RateNumerator, 12);
  EXPECT_EQ(video.RateDenominator, 1);
  EXPECT_EQ(video.Frames, 8);
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  EXPECT_FALSE(std::filesystem::exists(scene + "/image0000.bmp"));
}

TEST_F(MovieTest, VideoThatCannotBeWrittenFailsTheRun)
{
  WriteTestScene(this->Folder.Path(), "FramesNumber 3\n");
  ProgramRun run = RunAnimation(this->Folder.Path(), "--batch --movie no/such/folder/run.ogv");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot write the video " + this->Folder.File("no/such/folder/run.ogv")),
            std::string::npos)
    << run.Err;
  EXPECT_FALSE(std::filesystem::exists(this->Folder.File("animated_shape.vtk")));
}

class InterruptTest : public ::testing::TestWithParam<int>
{
protected:
  TemporaryFolder Folder;
};

TEST_P(InterruptTest, SignalInTheFrameLoopEndsAfterTheFrameInHand)
{
  const int signal = GetParam();
  WriteTestScene(this->Folder.Path(), "FramesNumber 500\nLoopCount 2\nSaveImages yes\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0)
  {
    if (chdir(this->Folder.Path().c_str()) != 0)
    {
      _exit(127);
    }
    const int out = open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execl(ANIMATION_BINARY_DIR "/bin/animation",
          "animation",
          "--batch",
          "--movie",
          "run.ogv",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Into the loop: a few frames are saved.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!std::filesystem::exists(this->Folder.File("image0003.bmp")) &&
         std::chrono::steady_clock::now() < deadline && waitpid(child, nullptr, WNOHANG) == 0)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, signal);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const std::string err = ReadWholeFile(this->Folder.File(".stderr"));
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << err;

  std::smatch said;
  ASSERT_TRUE(std::regex_search(
    err,
    said,
    std::regex(Interrupted + "SIG(INT|TERM) after frame ([0-9]+) of 1000: animated_shape.vtk")))
    << err;
  const int frames = std::stoi(said[2]);
  EXPECT_GE(frames, 4);
  EXPECT_LT(frames, 1000);
  // Every rendered frame was saved and went into the video, and no more.
  char last[32];
  std::snprintf(last, sizeof(last), "image%.4d.bmp", frames - 1);
  EXPECT_TRUE(std::filesystem::exists(this->Folder.File(last))) << last;
  std::snprintf(last, sizeof(last), "image%.4d.bmp", frames);
  EXPECT_FALSE(std::filesystem::exists(this->Folder.File(last))) << last;
  const TheoraVideo video = ReadTheora(ReadWholeFile(this->Folder.File("run.ogv")));
  EXPECT_TRUE(video.Valid);
  EXPECT_EQ(video.Frames, frames);
  EXPECT_EQ(ReadMeshPoints(this->Folder.File("animated_shape.vtk")).size(),
            ReadMeshPoints(this->Folder.File("woman.vtk")).size());
  for (const auto& entry : std::filesystem::directory_iterator(this->Folder.Path()))
  {
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  }
  const std::string out = ReadWholeFile(this->Folder.File(".stdout"));
  EXPECT_NE(out.find(std::to_string(frames) + " frames generated in "), std::string::npos) << out;
  EXPECT_EQ(out.find("Thank you for using our application"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(SigintAndSigterm,
                         InterruptTest,
                         ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info)
                         { return info.param == SIGINT ? "Sigint" : "Sigterm"; });
