// The rewrite of a scene file's control-point lines: every other line kept
// in place, and the file replaced whole or not at all.
#include "control_point_lines.h"
#include "program_error.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
const std::string Scene = "# the brows\n"
                          "FramesNumber 4\n"
                          "1 2 3 1 2 3.5 # left brow\n"
                          "SupportRadius 0.5\n"
                          "  4 5 6 4 5 6\n"
                          "\n"
                          "# the chin\n"
                          "7 8 9 7 8 9\n"
                          "Hair none";

EditedPair Pair(int line, double s0, double t2, bool changed)
{
  EditedPair pair;
  pair.Source[0] = s0;
  pair.Source[1] = 0;
  pair.Source[2] = 0;
  pair.Target[0] = s0;
  pair.Target[1] = 0;
  pair.Target[2] = t2;
  pair.Line = line;
  pair.Changed = changed;
  return pair;
}
}

TEST(ControlPointLines, FindsTheLinesThatTheReaderTakesAsPairs)
{
  EXPECT_EQ(ControlPointLineNumbers(Scene, PairSeparators::Blanks), (std::vector<int>{ 3, 5, 8 }));
  EXPECT_EQ(ControlPointLineNumbers("1,2,3,4,5,6\n", PairSeparators::Blanks), std::vector<int>{});
}

// The second pair is moved, the third deleted, one added; the radius changes.
TEST(ControlPointLines, RewritesOnlyThePairsAndTheRadius)
{
  const std::vector<EditedPair> pairs = { Pair(3, 1, 0, false),
                                          Pair(5, 4, 0.25, true),
                                          Pair(0, 10, 11, true) };
  std::vector<int> lines;
  const std::string text =
    RewriteControlPointLines(Scene, PairSeparators::Blanks, pairs, 0.75, lines);
  EXPECT_EQ(text,
            "# the brows\n"
            "FramesNumber 4\n"
            "1 2 3 1 2 3.5 # left brow\n"
            "SupportRadius 0.75\n"
            "4 0 0 4 0 0.25\n"
            "\n"
            "# the chin\n"
            "10 0 0 10 0 11\n"
            "Hair none");
  EXPECT_EQ(lines, (std::vector<int>{ 3, 5, 8 }));
}

TEST(ControlPointLines, KeepsTheCommentOfAMovedPairAndAddsARadiusLineWhenThereIsNone)
{
  const std::string scene = "FramesNumber 4\r\n1 2 3 1 2 3 # nose\n";
  std::vector<int> lines;
  const std::string text = RewriteControlPointLines(
    scene, PairSeparators::Blanks, { Pair(2, 1, 9, true), Pair(0, 2, 0, true) }, 2, lines);
  EXPECT_EQ(text,
            "FramesNumber 4\r\n"
            "SupportRadius 2\r\n"
            "1 0 0 1 0 9 # nose\n"
            "2 0 0 2 0 0\r\n");
  EXPECT_EQ(lines, (std::vector<int>{ 3, 4 }));
}

// A moved pair keeps the columns after its numbers (a label), and new lines
// take the file's separators and line ends.
TEST(ControlPointLines, WritesTheSeparatorsLabelsAndLineEndsOfAnExpressionFile)
{
  const std::string csv = "sx,sy,sz,tx,ty,tz\r\n1,2,3,1,2,3,nose\r\n4,5,6,4,5,6,chin\r\n";
  std::vector<int> lines;
  const std::string text = RewriteControlPointLines(
    csv, PairSeparators::BlanksOrCommas, { Pair(3, 4, 1, true), Pair(0, 5, 2, true) }, 0, lines);
  EXPECT_EQ(text, "sx,sy,sz,tx,ty,tz\r\n4,0,0,4,0,1,chin\r\n5,0,0,5,0,2\r\n");
  EXPECT_EQ(lines, (std::vector<int>{ 2, 3 }));

  const std::string semicolons = "1;2;3;1;2;3\n";
  EXPECT_EQ(RewriteControlPointLines(
              semicolons, PairSeparators::BlanksOrCommas, { Pair(1, 4, 1, true) }, 0, lines),
            "4;0;0;4;0;1\n");
}

// A file changed by another program since the editor read it, or a link in
// its place, is left exactly as it is, and no temporary file remains.
TEST(ControlPointLines, ReplacesNothingButTheFileThatWasRead)
{
  TemporaryFolder folder;
  const std::string path = folder.Write("woman.ptt", Scene + "\n# added by hand\n");
  EXPECT_THROW(ReplaceSceneFile(path, Scene, "1 1 1 1 1 1\n"), program_error);
  EXPECT_EQ(ReadWholeFile(path), Scene + "\n# added by hand\n");

  const std::string real = folder.Write("real.ptt", Scene);
  const std::string link = folder.File("link.ptt");
  std::filesystem::create_symlink(real, link);
  EXPECT_THROW(ReplaceSceneFile(link, Scene, "1 1 1 1 1 1\n"), program_error);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(real), Scene);

  // The saved file keeps the permissions of the one it replaces.
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  ReplaceSceneFile(path, Scene + "\n# added by hand\n", "1 1 1 1 1 1\n");
  EXPECT_EQ(ReadWholeFile(path), "1 1 1 1 1 1\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(folder.PartialFiles().empty());
}
