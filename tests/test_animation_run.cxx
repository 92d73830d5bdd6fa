// The real executable, run in a temporary folder as a user runs it: its
// console, its exit status and the files it leaves.
#include "run_program.h"
#include "scene_file.h"

#include <gtest/gtest.h>

namespace
{
const std::string Banner = "Animation\n"
                           "Information:\n"
                           "Version 0.2 \n"
                           "Time precission on this computer is 0.001 sec.\n"
                           "\n";

class AnimationRunTest : public ::testing::Test
{
protected:
  TemporaryFolder Folder;
};
}

TEST_F(AnimationRunTest, MissingSceneFileEndsWithVeryVeryBad)
{
  ProgramRun run = RunAnimation(this->Folder.Path());
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, Banner);
  EXPECT_NE(run.Err.find("ERROR: In "), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("vtkDatReader ("), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("): Not correct FileName\n\n"), std::string::npos) << run.Err;
  // The failure message is the last thing printed.
  const std::string last = "Very-very bad!\n";
  ASSERT_GE(run.Err.size(), last.size());
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

TEST_F(AnimationRunTest, UnknownArgumentIsAUsageError)
{
  this->Folder.Write("woman.ptt", "0 0 0 0 0 0\n");
  for (const char* arguments : { "--fast", "extra", "--batch --batch", "--help x" })
  {
    ProgramRun run = RunAnimation(this->Folder.Path(), arguments);
    EXPECT_EQ(run.Status, 2) << arguments;
    EXPECT_EQ(run.Out, "") << arguments;
    EXPECT_EQ(run.Err.rfind("Usage: animation", 0), 0u) << arguments;
  }
}
