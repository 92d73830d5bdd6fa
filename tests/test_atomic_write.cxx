// WriteAtomically: the output file is whole or absent, whatever the write
// does. The writer under test is a plain function that writes some text to
// the name it is given and reports success or failure.
#include "atomic_write.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{
class AtomicWriteTest : public ::testing::Test
{
protected:
  // A writer that writes text to the name it gets, remembers that name, and
  // answers succeed.
  std::function<bool(const char*)> Writer(const std::string& text, bool succeed)
  {
    return [this, text, succeed](const char* path)
    {
      this->WrittenTo = path;
      std::ofstream out(path, std::ios::binary);
      out << text;
      return succeed && static_cast<bool>(out);
    };
  }

  bool Exists(const std::string& name) const
  {
    return std::filesystem::exists(this->Folder.File(name));
  }

  TemporaryFolder Folder;
  std::string WrittenTo;
};
}

TEST_F(AtomicWriteTest, WriteGoesToATemporaryNameInTheSameFolderAndIsRenamedIntoPlace)
{
  const std::string path = this->Folder.Write("mesh.vtk", "earlier");
  EXPECT_TRUE(WriteAtomically(path, this->Writer("new", true)));
  EXPECT_EQ(this->WrittenTo, path + ".partial");
  EXPECT_EQ(ReadWholeFile(path), "new");
  EXPECT_FALSE(this->Exists("mesh.vtk.partial"));
}

TEST_F(AtomicWriteTest, FailedWriteKeepsTheEarlierFileAndRemovesTheTemporary)
{
  const std::string path = this->Folder.Write("mesh.vtk", "earlier");
  EXPECT_FALSE(WriteAtomically(path, this->Writer("half a me", false)));
  EXPECT_EQ(ReadWholeFile(path), "earlier");
  EXPECT_FALSE(this->Exists("mesh.vtk.partial"));
}

TEST_F(AtomicWriteTest, FailedFirstWriteLeavesNoFile)
{
  const std::string path = this->Folder.File("frame.bmp");
  EXPECT_FALSE(WriteAtomically(path, this->Writer("half a fra", false)));
  EXPECT_FALSE(this->Exists("frame.bmp"));
  EXPECT_FALSE(this->Exists("frame.bmp.partial"));
}

TEST_F(AtomicWriteTest, FolderInPlaceOfTheFileIsLeftAlone)
{
  const std::string path = this->Folder.File("mesh.vtk");
  ASSERT_TRUE(std::filesystem::create_directory(path));
  this->Folder.Write("mesh.vtk/inside", "kept");
  EXPECT_FALSE(WriteAtomically(path, this->Writer("new", true)));
  EXPECT_EQ(ReadWholeFile(path + "/inside"), "kept");
  EXPECT_FALSE(this->Exists("mesh.vtk.partial"));
}

TEST_F(AtomicWriteTest, NameInAMissingFolderFails)
{
  const std::string path = this->Folder.File("missing/mesh.vtk");
  EXPECT_FALSE(WriteAtomically(path, this->Writer("new", true)));
  EXPECT_FALSE(this->Exists("missing"));
}
