// The video and the interrupted run, end to end: --movie writes every
// rendered frame into the format its extension names, which FFmpeg's
// libraries read back here (codec, size, rate, frame count, the last frame
// against the saved BMP) and Chromium plays; a write that fails fails the
// run; and SIGINT or SIGTERM in the frame loop ends the run after the frame
// in hand with a readable mesh and a video that plays.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"
#include "video_probe.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace
{
const std::string Interrupted = "Interrupted by ";

struct FormatCase
{
  const char* File; // the video's name
  int WindowWidth;  // the scene's WindowSize
  int WindowHeight;
  const char* Codec; // FFmpeg's name of the codec in the file
  int VideoWidth;    // the size of the decoded frames
  int VideoHeight;
};

// The file's top-level MP4 boxes, in order (ISO/IEC 14496-12, 4.2: a 32-bit
// big-endian size, then the four-letter type; size 1 means a 64-bit size
// follows the type).
std::vector<std::string> Mp4Boxes(const std::string& bytes)
{
  std::vector<std::string> boxes;
  std::size_t at = 0;
  while (at + 8 <= bytes.size())
  {
    std::uint64_t size = 0;
    for (int k = 0; k < 4; ++k)
    {
      size = size << 8 | static_cast<unsigned char>(bytes[at + k]);
    }
    if (size == 1 && at + 16 <= bytes.size())
    {
      size = 0;
      for (int k = 8; k < 16; ++k)
      {
        size = size << 8 | static_cast<unsigned char>(bytes[at + k]);
      }
    }
    boxes.push_back(bytes.substr(at + 4, 4));
    if (size < 8)
    {
      break;
    }
    at += size;
  }
  return boxes;
}

// Mean absolute difference of the picture's RGB components between the
// saved frame (bottom row first) and the decoded one (top row first, maybe
// wider and taller by the padding).
double MeanDifference(const RgbImage& saved, const std::vector<unsigned char>& decoded, int width)
{
  double sum = 0;
  for (int y = 0; y < saved.Height; ++y)
  {
    for (int x = 0; x < saved.Width; ++x)
    {
      const std::array<int, 3> pixel = saved.At(x, saved.Height - 1 - y);
      for (int c = 0; c < 3; ++c)
      {
        sum += std::abs(pixel[c] - decoded[3 * (static_cast<std::size_t>(y) * width + x) + c]);
      }
    }
  }
  return sum / (3.0 * saved.Width * saved.Height);
}

const FormatCase Formats[] = {
  { "run.webm", 200, 160, "vp9", 200, 160 },
  // 4:2:0 H.264 has even sizes: one column and one row are added.
  { "run.mp4", 201, 161, "h264", 202, 162 },
  { "run.ogv", 203, 150, "theora", 203, 150 },
};

class VideoFormatTest : public ::testing::TestWithParam<FormatCase>
{
protected:
  TemporaryFolder Folder;
};
}

TEST_P(VideoFormatTest, VideoHoldsEveryRenderedFrameAtTheWindowSizeAndRate)
{
  // Twelve frames at 20 per second, saved as BMP too.
  const FormatCase& format = GetParam();
  const std::string scene = this->Folder.File("scene");
  std::filesystem::create_directory(scene);
  WriteTestScene(scene,
                 "FramesNumber 6\nLoopCount 2\nSaveImages yes\nWindowSize " +
                   std::to_string(format.WindowWidth) + " " + std::to_string(format.WindowHeight) +
                   "\n");
  std::filesystem::create_directory(this->Folder.File("videos"));
  // The path is relative to the folder the program starts in.
  ProgramRun run =
    RunAnimation(scene, std::string("--batch --movie ../videos/") + format.File + " --fps 20");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_NE(run.Out.find("12 frames generated in "), std::string::npos) << run.Out;

  const std::string path = this->Folder.File(std::string("videos/") + format.File);
  const VideoProbe video = ProbeVideo(path);
  ASSERT_TRUE(video.Opened) << path;
  EXPECT_EQ(video.Codec, format.Codec);
  EXPECT_EQ(video.PixelFormat, "yuv420p");
  EXPECT_EQ(video.Width, format.VideoWidth);
  EXPECT_EQ(video.Height, format.VideoHeight);
  EXPECT_DOUBLE_EQ(video.FramesPerSecond, 20.0);
  EXPECT_EQ(video.Frames, 12);
  EXPECT_NEAR(video.Seconds, 12 / 20.0, 0.5 / 20);
  EXPECT_EQ(video.DecodeErrors, 0);
  // Key frames are marked as such in the container: no warning while
  // reading, as ffprobe would print it.
  EXPECT_EQ(video.MislabelledKeys, 0);
  EXPECT_EQ(video.Warnings, "");
  // The last frame is the last BMP, the right way up, within the losses of
  // 4:2:0 and the codec: about 2 levels of 255 on average, where the frame
  // of the other extreme of the blend (image0005.bmp) differs by 4.2 and
  // the last one upside down by 11.
  const RgbImage saved = ReadBmp(scene + "/image0011.bmp");
  ASSERT_EQ(saved.Width, format.WindowWidth);
  EXPECT_LT(MeanDifference(saved, video.LastFrame, video.Width), 3.0);
  // The video alone: no temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(this->Folder.File("videos")),
                          std::filesystem::directory_iterator()),
            1);
  if (std::string(format.Codec) == "h264")
  {
    // The index before the frames, so that playback can start at once.
    const std::vector<std::string> boxes = Mp4Boxes(ReadWholeFile(path));
    const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
    const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
    EXPECT_TRUE(moov < mdat && mdat != boxes.end()) << ::testing::PrintToString(boxes);
  }
}

INSTANTIATE_TEST_SUITE_P(
  WebmMp4Ogv,
  VideoFormatTest,
  ::testing::ValuesIn(Formats),
  [](const ::testing::TestParamInfo<FormatCase>& info)
  { return std::filesystem::path(info.param.File).extension().string().substr(1); });

TEST(BrowserTest, ChromiumPlaysTheWebmAndTheMp4)
{
  // The two formats that browsers play, each at the size of its case above.
  TemporaryFolder folder;
  std::string files;
  for (const FormatCase& format : { Formats[0], Formats[1] })
  {
    const std::string scene = folder.File(format.Codec);
    std::filesystem::create_directory(scene);
    WriteTestScene(scene,
                   "FramesNumber 6\nLoopCount 2\nWindowSize " + std::to_string(format.WindowWidth) +
                     " " + std::to_string(format.WindowHeight) + "\n");
    ProgramRun run = RunAnimation(scene, std::string("--batch --fps 20 --movie ") + format.File);
    ASSERT_EQ(run.Status, 0) << run.Err;
    files += " '" + scene + "/" + format.File + "'";
  }
  const std::string report = folder.File("played");
  const std::string command = "node '" ANIMATION_SOURCE_DIR "/tests/browser/play-video.mjs'" +
                              files + " >'" + report + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string played = ReadWholeFile(report);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << played;

  // play-video.mjs prints what the page measured, one line of JSON a file.
  const std::regex line("\\{\"file\":\"[^\"]*/([a-z0-9]+)/run\\.[a-z0-9]+\",\"width\":([0-9]+),"
                        "\"height\":([0-9]+),\"duration\":([0-9.]+),\"brightest\":([0-9]+)\\}");
  int checked = 0;
  for (std::sregex_iterator said(played.begin(), played.end(), line), end; said != end; ++said)
  {
    const FormatCase& format = (*said)[1] == Formats[0].Codec ? Formats[0] : Formats[1];
    EXPECT_EQ(std::stoi((*said)[2]), format.VideoWidth) << format.File;
    EXPECT_EQ(std::stoi((*said)[3]), format.VideoHeight) << format.File;
    EXPECT_NEAR(std::stod((*said)[4]), 12 / 20.0, 0.5 / 20) << format.File;
    // A frame drawn onto a canvas is not black: the scene's background is blue.
    EXPECT_GT(std::stoi((*said)[5]), 64) << format.File;
    ++checked;
  }
  EXPECT_EQ(checked, 2) << played;
}

TEST(MovieWriteTest, VideoThatCannotBeWrittenFailsTheRun)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "FramesNumber 3\n");
  ProgramRun run = RunAnimation(folder.Path(), "--batch --movie no/such/folder/run.mp4");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot write the video " + folder.File("no/such/folder/run.mp4")),
            std::string::npos)
    << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("animated_shape.vtk")));
}

TEST(MovieWriteTest, FailedWriteFailsTheRunAndLeavesNoVideo)
{
  // A file size limit of 2 KiB makes write() fail with EFBIG once the
  // video passes it, in the frame loop: the MP4 muxer writes each frame as
  // the encoder gives it. (SIGXFSZ, ignored, would otherwise end the run.)
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "FramesNumber 60\n");
  struct rlimit earlier;
  getrlimit(RLIMIT_FSIZE, &earlier);
  struct rlimit limit = earlier;
  limit.rlim_cur = 2048;
  setrlimit(RLIMIT_FSIZE, &limit);
  const sighandler_t earlierHandler = std::signal(SIGXFSZ, SIG_IGN);
  ProgramRun run = RunAnimation(folder.Path(), "--batch --movie run.mp4");
  std::signal(SIGXFSZ, earlierHandler);
  setrlimit(RLIMIT_FSIZE, &earlier);

  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Cannot write a frame into the video " + folder.File("run.mp4") +
                         ": File too large"),
            std::string::npos)
    << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("run.mp4")));
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
  {
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  }
  EXPECT_EQ(run.Out.find("frames generated in "), std::string::npos) << run.Out;
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
          "run.mp4",
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
  const VideoProbe video = ProbeVideo(this->Folder.File("run.mp4"));
  EXPECT_EQ(video.Warnings, "");
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
