#include "file_growth_progress.h"

#include "progress.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkUnsignedCharArray.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace
{
// Values sampled from each array to measure its printed length.
constexpr vtkIdType SampleSize = 512;

// Printed bytes of array: its value count times the mean length of an
// evenly spread sample. Colours of unsigned chars are printed scaled to 0..1.
std::int64_t ArrayTextBytes(vtkDataArray* array)
{
  if (!array)
  {
    return 0;
  }
  const vtkIdType values = array->GetNumberOfValues();
  if (values == 0)
  {
    return 0;
  }
  const double scale = vtkUnsignedCharArray::SafeDownCast(array) ? 1.0 / 255.0 : 1.0;
  const vtkIdType samples = std::min(values, SampleSize);
  std::int64_t sampled = 0;
  for (vtkIdType k = 0; k < samples; ++k)
  {
    const vtkIdType index = k * (values / samples);
    const int components = array->GetNumberOfComponents();
    char text[64];
    sampled += std::snprintf(text,
                             sizeof(text),
                             "%g ",
                             array->GetComponent(index / components, index % components) * scale);
  }
  return static_cast<std::int64_t>(static_cast<double>(sampled) / samples * values);
}

std::int64_t CellsTextBytes(vtkCellArray* cells)
{
  return cells ? ArrayTextBytes(cells->GetOffsetsArray()) +
                   ArrayTextBytes(cells->GetConnectivityArray())
               : 0;
}

std::int64_t AttributesTextBytes(vtkFieldData* data)
{
  std::int64_t bytes = 0;
  for (int i = 0; i < data->GetNumberOfArrays(); ++i)
  {
    bytes += ArrayTextBytes(data->GetArray(i));
  }
  return bytes;
}

std::int64_t FileSize(const std::string& path)
{
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : 0;
}
}

std::int64_t EstimatedLegacyTextBytes(vtkPolyData* mesh)
{
  std::int64_t bytes = mesh->GetPoints() ? ArrayTextBytes(mesh->GetPoints()->GetData()) : 0;
  bytes += CellsTextBytes(mesh->GetVerts()) + CellsTextBytes(mesh->GetLines()) +
           CellsTextBytes(mesh->GetPolys()) + CellsTextBytes(mesh->GetStrips());
  return bytes + AttributesTextBytes(mesh->GetPointData()) +
         AttributesTextBytes(mesh->GetCellData());
}

FileGrowthProgress::FileGrowthProgress(const std::string& path)
  : Path(path)
{
  if (progress_shown())
  {
    this->Watcher = std::thread(&FileGrowthProgress::Watch, this);
  }
}

FileGrowthProgress::~FileGrowthProgress()
{
  this->Finished = true;
  if (this->Watcher.joinable())
  {
    this->Watcher.join();
  }
}

void FileGrowthProgress::Watch()
{
  std::int64_t reported = 0;
  while (!this->Finished)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::int64_t size = FileSize(this->Path);
    if (size > reported)
    {
      progress_advance(size - reported);
      reported = size;
    }
  }
}
