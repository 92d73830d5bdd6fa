// WriteAtomically: the output file is whole or absent, whatever the write
// does, and it is written only through a file the program created itself.
// The writer under test is a plain function that writes some text into the
// descriptor it is given and reports success or an errno.
#include "atomic_write.h"
#include "program_error.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <regex>
#include <string>

namespace
{
class AtomicWriteTest : public ::testing::Test
{
protected:
  // A writer that writes text into its descriptor, remembers the temporary
  // file's name, and answers error.
  std::function<int(int)> Writer(const std::string& text, int error = 0)
  {
    return [this, text, error](int descriptor)
    {
      this->Temporaries = this->Folder.PartialFiles();
      return error != 0 ? error : WriteAll(descriptor, text.data(), text.size());
    };
  }

  // The message WriteAtomically throws, or "" when it succeeds.
  std::string Failure(const std::string& path, const std::function<int(int)>& write)
  {
    try
    {
      WriteAtomically(path, write);
    }
    catch (const program_error& failure)
    {
      return failure.what();
    }
    return "";
  }

  TemporaryFolder Folder;
  std::vector<std::string> Temporaries;
};
}

TEST_F(AtomicWriteTest, WriteGoesToAUniqueTemporaryNameInTheSameFolderAndIsRenamedIntoPlace)
{
  const std::string path = this->Folder.Write("mesh.vtk", "earlier");
  EXPECT_EQ(this->Failure(path, this->Writer("new")), "");
  ASSERT_EQ(this->Temporaries.size(), 1u);
  EXPECT_TRUE(
    std::regex_match(this->Temporaries[0], std::regex("mesh\\.vtk\\.[A-Za-z0-9]{6}\\.partial")))
    << this->Temporaries[0];
  EXPECT_EQ(ReadWholeFile(path), "new");
  EXPECT_TRUE(this->Folder.PartialFiles().empty());

  // Two files of one name open at once, as two runs in one folder have them,
  // never share a temporary file.
  TemporaryFile first = CreateTemporaryFile(path);
  TemporaryFile second = CreateTemporaryFile(path);
  EXPECT_NE(first.Path, second.Path);
  DiscardTemporaryFile(first);
  DiscardTemporaryFile(second);
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(AtomicWriteTest, PlantedLinkAtTheOldTemporaryNameIsNeverFollowed)
{
  const std::string victim = this->Folder.Write("victim", "someone else's file");
  const std::string path = this->Folder.File("animated_shape.vtk");
  std::filesystem::create_symlink(victim, path + ".partial");
  EXPECT_EQ(this->Failure(path, this->Writer("the mesh")), "");
  EXPECT_EQ(ReadWholeFile(victim), "someone else's file");
  EXPECT_EQ(ReadWholeFile(path), "the mesh");
  EXPECT_FALSE(std::filesystem::is_symlink(path));
}

TEST_F(AtomicWriteTest, FailedWriteKeepsTheEarlierFileRemovesTheTemporaryAndSaysWhy)
{
  const std::string path = this->Folder.Write("mesh.vtk", "earlier");
  EXPECT_EQ(this->Failure(path, this->Writer("half a me", ENOSPC)),
            "Cannot write " + path + ": No space left on device");
  EXPECT_EQ(ReadWholeFile(path), "earlier");
  EXPECT_TRUE(this->Folder.PartialFiles().empty());

  const std::string frame = this->Folder.File("frame.bmp");
  EXPECT_NE(this->Failure(frame, this->Writer("half a fra", EFBIG)).find("File too large"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(frame));
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(AtomicWriteTest, FolderInPlaceOfTheFileIsLeftAlone)
{
  const std::string path = this->Folder.File("mesh.vtk");
  ASSERT_TRUE(std::filesystem::create_directory(path));
  this->Folder.Write("mesh.vtk/inside", "kept");
  EXPECT_EQ(this->Failure(path, this->Writer("new")), "Cannot write " + path + ": Is a directory");
  EXPECT_EQ(ReadWholeFile(path + "/inside"), "kept");
  EXPECT_TRUE(this->Folder.PartialFiles().empty());
}

TEST_F(AtomicWriteTest, NameInAMissingFolderFails)
{
  const std::string path = this->Folder.File("missing/mesh.vtk");
  EXPECT_EQ(this->Failure(path, this->Writer("new")),
            "Cannot write " + path + ": No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(this->Folder.File("missing")));
}
