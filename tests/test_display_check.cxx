// A run that cannot open its window, end to end: without DISPLAY, with a
// DISPLAY on which no X server answers, and with a server that has no OpenGL
// (GLX) for the toolkit. Each ends before the first render with a message
// that names the display and status 1, keeping the banner: no crash, no core,
// no output file.
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
const std::string WayOut = "run under xvfb-run on a machine without a screen\n";

// A display number from first up with no X server and no lock of one. The
// tests search from numbers of their own, below those of xvfb-run -a, so
// that one's server is not taken for another's missing one.
std::string FreeDisplay(int first)
{
  for (int number = first;; ++number)
  {
    const std::string n = std::to_string(number);
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + n) &&
        !std::filesystem::exists("/tmp/.X" + n + "-lock"))
    {
      return ":" + n;
    }
  }
}

// Sets DISPLAY (or unsets it, for an empty value) for the programs that the
// test starts, and restores it at the end.
class DisplaySetting
{
public:
  explicit DisplaySetting(const std::string& value)
  {
    const char* earlier = std::getenv("DISPLAY");
    this->Had = earlier != nullptr;
    this->Earlier = earlier ? earlier : "";
    if (value.empty())
    {
      unsetenv("DISPLAY");
    }
    else
    {
      setenv("DISPLAY", value.c_str(), 1);
    }
  }
  ~DisplaySetting()
  {
    if (this->Had)
    {
      setenv("DISPLAY", this->Earlier.c_str(), 1);
    }
    else
    {
      unsetenv("DISPLAY");
    }
  }

private:
  bool Had;
  std::string Earlier;
};

class DisplayCheckTest : public ::testing::Test
{
protected:
  void SetUp() override { WriteTestScene(this->Folder.Path(), "SaveImages yes\n"); }

  void ExpectRefusal(const ProgramRun& run, const std::string& message)
  {
    EXPECT_EQ(run.Status, 1) << run.Err;
    // The scene file may be read while the OpenGL context is tried; nothing
    // is solved.
    EXPECT_EQ(run.Out.substr(0, Banner.size()), Banner);
    EXPECT_EQ(run.Out.find("Solving time"), std::string::npos) << run.Out;
    EXPECT_EQ(run.Err, message);
    EXPECT_FALSE(std::filesystem::exists(this->Folder.File("animated_shape.vtk")));
    EXPECT_FALSE(std::filesystem::exists(this->Folder.File("image0000.bmp")));
    EXPECT_FALSE(std::filesystem::exists(this->Folder.File("core")));
  }

  TemporaryFolder Folder;
};
}

TEST_F(DisplayCheckTest, NoDisplayIsNamedBeforeAnyWork)
{
  DisplaySetting none("");
  ExpectRefusal(RunAnimation(this->Folder.Path(), "--batch"),
                "Cannot open a window: DISPLAY is not set, so there is no screen to draw on; " +
                  WayOut);
}

TEST_F(DisplayCheckTest, DisplayWithoutServerIsNamed)
{
  const std::string display = FreeDisplay(60);
  DisplaySetting nowhere(display);
  ExpectRefusal(RunAnimation(this->Folder.Path(), "--batch"),
                "Cannot open a window on display " + display + ": no X server answers there; " +
                  WayOut);
}

TEST_F(DisplayCheckTest, ServerWithoutOpenGlIsNamed)
{
  if (std::system("command -v Xvfb >/dev/null") != 0)
  {
    GTEST_SKIP() << "Xvfb is not installed";
  }
  const std::string display = FreeDisplay(80);
  const pid_t server = fork();
  ASSERT_GE(server, 0);
  if (server == 0)
  {
    execlp("Xvfb",
           "Xvfb",
           display.c_str(),
           "-extension",
           "GLX",
           "-nolisten",
           "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
  for (int wait = 0; wait < 500 && !std::filesystem::exists(socket); ++wait)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ProgramRun run;
  {
    DisplaySetting noOpenGl(display);
    run = RunAnimation(this->Folder.Path(), "--batch");
  }
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  ExpectRefusal(run,
                "Cannot open a window on display " + display +
                  ": its X server cannot give the toolkit an OpenGL context (it may lack the GLX "
                  "extension); " +
                  WayOut);
}

TEST_F(DisplayCheckTest, ResourceLimitIsNamedInsteadOfTheDisplay)
{
  if (!std::getenv("DISPLAY"))
  {
    GTEST_SKIP() << "no display";
  }
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers' runtime opens files of its own (its check of a virtual
  // call reads the process's memory map), so five descriptors test it, not
  // the program.
  GTEST_SKIP() << "the sanitizers need more than five open files";
#endif
  // Five open files leave the toolkit none for its connection to the server.
  const std::string command = "cd '" + this->Folder.Path() +
                              "' && exec </dev/null >.stdout 2>.stderr && ulimit -n 5 && exec '" +
                              ANIMATION_BINARY_DIR "/bin/animation' --batch";
  const int status = std::system(command.c_str());
  ProgramRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadWholeFile(this->Folder.File(".stdout"));
  run.Err = ReadWholeFile(this->Folder.File(".stderr"));
  // Xlib says on its own that it could not read the authorization file.
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, Banner);
  EXPECT_NE(run.Err.find("Cannot open a window on display " + std::string(std::getenv("DISPLAY")) +
                         ": the process's resource limits may be the cause, not the display: at "
                         "most 5 files may be open (ulimit -n); raise them, or " +
                         WayOut),
            std::string::npos)
    << run.Err;
}

TEST_F(DisplayCheckTest, ServerThatDiesMidRunIsNamedAndLeavesNoTemporaryFile)
{
  if (std::system("command -v Xvfb >/dev/null") != 0)
  {
    GTEST_SKIP() << "Xvfb is not installed";
  }
  WriteTestScene(this->Folder.Path(), "SaveImages yes\nFramesNumber 500\nLoopCount 4\n");
  const std::string display = FreeDisplay(120);
  const pid_t server = fork();
  ASSERT_GE(server, 0);
  if (server == 0)
  {
    execlp("Xvfb", "Xvfb", display.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
  for (int wait = 0; wait < 500 && !std::filesystem::exists(socket); ++wait)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  DisplaySetting dying(display);
  const pid_t program = fork();
  ASSERT_GE(program, 0);
  if (program == 0)
  {
    const std::string command = "cd '" + this->Folder.Path() + "' && exec '" +
                                ANIMATION_BINARY_DIR "/bin/animation' --batch --movie run.ogv "
                                                     "</dev/null >.stdout 2>.stderr";
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // The server goes once the frames are being made.
  for (int wait = 0; wait < 3000 && !std::filesystem::exists(this->Folder.File("image0002.bmp"));
       ++wait)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  int status = 0;
  waitpid(program, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadWholeFile(this->Folder.File(".stderr"))
              .find("The X server of display " + display + " went away during the run"),
            std::string::npos)
    << ReadWholeFile(this->Folder.File(".stderr"));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(this->Folder.File("run.ogv")));
  std::filesystem::remove(socket);
}
