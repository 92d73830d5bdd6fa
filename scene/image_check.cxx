#include "image_check.h"

#include "named_file.h"
#include "scene_folder.h"

#include <vtkBMPReader.h>
#include <vtkImageData.h>
#include <vtkPointData.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace
{
// Offset of the first pixel row: the 32-bit little-endian number at byte 10
// of the file header; -1 when the header is short.
std::int64_t PixelOffset(const char* name)
{
  unsigned char header[14];
  std::ifstream in(name, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof(header)))
  {
    return -1;
  }
  return header[10] | header[11] << 8 | header[12] << 16 | std::int64_t(header[13]) << 24;
}
}

bool ReadCheckedImage(vtkAlgorithm* source, std::string& why)
{
  vtkBMPReader* reader = vtkBMPReader::SafeDownCast(source);
  const char* name = reader ? reader->GetFileName() : nullptr;
  if (!name)
  {
    why = "no BMP file is named";
    return false;
  }
  std::string problem;
  if (!IsAcceptableNamedFile(name, MaximumDataFileBytes, "an image", problem))
  {
    why = ShownName(name) + " " + problem;
    return false;
  }
  if (!reader->CanReadFile(name))
  {
    why = ShownName(name) + " is not a Windows BMP file";
    return false;
  }
  reader->UpdateInformation();
  int extent[6];
  reader->GetDataExtent(extent);
  const std::int64_t width = std::int64_t(extent[1]) - extent[0] + 1;
  const std::int64_t height = std::int64_t(extent[3]) - extent[2] + 1;
  const int depth = reader->GetDepth();
  if (width < 1 || width > MaximumImageSide || height < 1 || height > MaximumImageSide ||
      (depth != 8 && depth != 24))
  {
    why = ShownName(name) + " is not an 8- or 24-bit image of 1 to " +
          std::to_string(MaximumImageSide) + " pixels a side";
    return false;
  }
  // Rows of pixels are padded to a multiple of four bytes.
  const std::int64_t rowBytes = (width * depth / 8 + 3) / 4 * 4;
  const std::int64_t offset = PixelOffset(name);
  std::error_code error;
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(name, error));
  if (error || offset < 0 || size < offset + height * rowBytes)
  {
    why = ShownName(name) + " holds fewer pixels than its header announces";
    return false;
  }
  reader->Update();
  vtkImageData* image = reader->GetOutput();
  if (reader->GetErrorCode() != 0 || !image->GetPointData()->GetScalars() ||
      image->GetNumberOfPoints() != width * height)
  {
    why = ShownName(name) + " could not be read";
    return false;
  }
  return true;
}
