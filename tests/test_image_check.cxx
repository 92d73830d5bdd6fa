// ReadCheckedImage: a BMP image is read only when it is whole, and every
// other file is refused with a reason that names it.
#include "image_check.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <vtkBMPReader.h>
#include <vtkBMPWriter.h>
#include <vtkImageData.h>
#include <vtkSmartPointer.h>

#include <filesystem>
#include <string>

namespace
{
class ImageCheckTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // A 5 x 3 image: rows of 15 bytes padded to 16.
    auto image = vtkSmartPointer<vtkImageData>::New();
    image->SetDimensions(5, 3, 1);
    image->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
    auto* pixel = static_cast<unsigned char*>(image->GetScalarPointer());
    for (int k = 0; k < 5 * 3 * 3; ++k)
    {
      pixel[k] = static_cast<unsigned char>(k);
    }
    auto writer = vtkSmartPointer<vtkBMPWriter>::New();
    writer->SetInputData(image);
    writer->SetFileName(this->Folder.File("whole.bmp").c_str());
    writer->Write();
    this->Whole = ReadWholeFile(this->Folder.File("whole.bmp"));
  }

  // Checks the file name in the folder; why receives the reason.
  bool Check(const std::string& name, std::string& why)
  {
    this->Path = this->Folder.File(name);
    this->Reader->SetFileName(this->Path.c_str());
    return ReadCheckedImage(this->Reader, why);
  }

  TemporaryFolder Folder;
  std::string Whole;
  std::string Path;
  vtkSmartPointer<vtkBMPReader> Reader = vtkSmartPointer<vtkBMPReader>::New();
};
}

TEST_F(ImageCheckTest, WholeImageIsRead)
{
  ASSERT_EQ(this->Whole.size(), 54u + 3 * 16);
  std::string why;
  EXPECT_TRUE(this->Check("whole.bmp", why)) << why;
  int dimensions[3];
  this->Reader->GetOutput()->GetDimensions(dimensions);
  EXPECT_EQ(dimensions[0], 5);
  EXPECT_EQ(dimensions[1], 3);
}

TEST_F(ImageCheckTest, MissingFileAndFolderAreRefused)
{
  std::string why;
  EXPECT_FALSE(this->Check("missing.bmp", why));
  EXPECT_EQ(why, this->Path + " does not exist");
  std::filesystem::create_directory(this->Folder.File("folder.bmp"));
  EXPECT_FALSE(this->Check("folder.bmp", why));
  EXPECT_EQ(why, this->Path + " is a folder, not a regular file");
}

TEST_F(ImageCheckTest, FileThatIsNotABmpIsRefused)
{
  this->Folder.Write("text.bmp", "BM but then nothing of a bitmap header at all, just text");
  std::string why;
  EXPECT_FALSE(this->Check("text.bmp", why));
  EXPECT_EQ(why, this->Path + " is not a Windows BMP file");
}

TEST_F(ImageCheckTest, ImageMissingItsLastByteIsRefused)
{
  this->Folder.Write("short.bmp", this->Whole.substr(0, this->Whole.size() - 1));
  std::string why;
  EXPECT_FALSE(this->Check("short.bmp", why));
  EXPECT_EQ(why, this->Path + " holds fewer pixels than its header announces");
}

TEST_F(ImageCheckTest, ImageLargerThanTheLimitIsRefused)
{
  // Width 16385 (0x4001) in the 32-bit field at byte 18.
  std::string wide = this->Whole;
  wide[18] = 0x01;
  wide[19] = 0x40;
  this->Folder.Write("wide.bmp", wide);
  std::string why;
  EXPECT_FALSE(this->Check("wide.bmp", why));
  EXPECT_EQ(why, this->Path + " is not an 8- or 24-bit image of 1 to 16384 pixels a side");
}

TEST_F(ImageCheckTest, SourceThatIsNotABmpReaderIsRefused)
{
  std::string why;
  EXPECT_FALSE(ReadCheckedImage(nullptr, why));
  EXPECT_EQ(why, "no BMP file is named");
}
