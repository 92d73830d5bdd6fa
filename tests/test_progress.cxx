// The progress line: its text, and the real executable with standard error
// on a pseudo-terminal (the line shows and is cleared) and on a file (nothing
// shows). Standard output is the same either way.
#include "progress.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

TEST(ProgressTextTest, ShowsStagePercentageAndTimeLeft)
{
  EXPECT_EQ(progress_text("Ordering the control points", 0, 200, 1.0),
            "Ordering the control points: 0%");
  // A quarter in 3 s leaves three quarters at the same rate: 9 s.
  EXPECT_EQ(progress_text("Rendering the frames", 50, 200, 3.0),
            "Rendering the frames: 25% (about 9 s left)");
  EXPECT_EQ(progress_text("Factorising the matrix", 1, 3, 100.0),
            "Factorising the matrix: 33% (about 3 min left)");
  EXPECT_EQ(progress_text("Rendering the frames", 200, 200, 8.0), "Rendering the frames: 100%");
}

namespace
{
// 150 frames: the frame loop lasts well over the second after which a
// stage's line appears.
const char* const LongLoop = "FramesNumber 150\nLoopCount 1\nSaveImages yes\n";

const std::string Report = "150 frames generated in ";
}

TEST(ProgressRunTest, LineShowsOnATerminalAndIsCleared)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), LongLoop);
  // script gives the program a pseudo-terminal and copies what reaches it,
  // here standard error alone, into the typescript.
  const std::string command = "cd '" + folder.Path() +
                              "' && script -qec \"'" ANIMATION_BINARY_DIR
                              "/bin/animation' --batch >stdout.txt\" typescript.txt >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string terminal = ReadWholeFile(folder.File("typescript.txt"));
  const std::string out = ReadWholeFile(folder.File("stdout.txt"));

  EXPECT_TRUE(std::regex_search(
    terminal, std::regex("\rRendering the frames: [0-9]+% \\(about [0-9]+ s left\\)\x1b\\[K")))
    << terminal;
  // The last thing written is the erasing of the line.
  const std::size_t cleared = terminal.rfind("\r\x1b[K");
  ASSERT_NE(cleared, std::string::npos) << terminal;
  EXPECT_EQ(terminal.find("Rendering", cleared), std::string::npos) << terminal;
  EXPECT_NE(out.find(Report), std::string::npos) << out;
  EXPECT_EQ(out.find('\r'), std::string::npos) << out;
  EXPECT_EQ(out.find('%'), std::string::npos) << out;
}

TEST(ProgressRunTest, NothingShowsWithoutATerminal)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), LongLoop);
  ProgramRun run = RunAnimation(folder.Path(), "--batch");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_NE(run.Out.find(Report), std::string::npos) << run.Out;
}
