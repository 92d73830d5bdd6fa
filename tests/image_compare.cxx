#include "image_compare.h"

#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPNGReader.h>
#include <vtkPNGWriter.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

ImageDifference CompareImages(const RgbImage& image, const RgbImage& reference, int tolerance)
{
  ImageDifference difference;
  difference.SameSize = image.Width == reference.Width && image.Height == reference.Height &&
                        image.Pixels.size() == reference.Pixels.size() && !image.Pixels.empty();
  if (!difference.SameSize)
  {
    return difference;
  }
  std::size_t differing = 0;
  for (std::size_t pixel = 0; pixel < image.Pixels.size(); pixel += 3)
  {
    int largest = 0;
    for (std::size_t channel = pixel; channel < pixel + 3; ++channel)
    {
      largest = std::max(largest, std::abs(image.Pixels[channel] - reference.Pixels[channel]));
    }
    difference.Largest = std::max(difference.Largest, largest);
    differing += largest > tolerance;
  }
  difference.Differing = static_cast<double>(differing) / (image.Pixels.size() / 3);
  return difference;
}

RgbImage ReadPng(const std::string& path)
{
  vtkNew<vtkPNGReader> reader;
  if (!reader->CanReadFile(path.c_str()))
  {
    return RgbImage();
  }
  reader->SetFileName(path.c_str());
  reader->Update();
  return ImageFromToolkit(reader->GetOutput());
}

void WritePng(const RgbImage& image, const std::string& path)
{
  vtkNew<vtkImageData> data;
  data->SetDimensions(image.Width, image.Height, 1);
  data->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
  std::memcpy(data->GetScalarPointer(), image.Pixels.data(), image.Pixels.size());
  vtkNew<vtkPNGWriter> writer;
  writer->SetInputData(data);
  writer->SetFileName(path.c_str());
  writer->Write();
}
