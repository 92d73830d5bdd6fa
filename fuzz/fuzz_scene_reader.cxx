// Fuzz target: the scene file reader and the control-point preparation.
//
// The input bytes are the scene file. ReadFile must either succeed with
// consistent prepared data or return -1 / throw its program_error; it must not
// crash, read or write out of bounds, leak, or hang. After a successful read
// the well-ordered list must be a permutation with UnList its inverse and a
// half-bandwidth below the point count: the solver and the transform index
// their arrays with them.
#include "program_error.h"
#include "scene_file_buffer.h"
#include "vtkDatReader.h"

#include <vtkPoints.h>

#include <cstdlib>
#include <vector>

namespace
{
void CheckPrepared(vtkDatReader* reader)
{
  const vtkIdType count = reader->GetPointArray()->GetNumberOfPoints();
  if (reader->GetPointArrayN()->GetNumberOfPoints() != count)
  {
    std::abort();
  }
  if (count > 0 && reader->GetMax() >= count)
  {
    std::abort();
  }
  const int* list = reader->GetList();
  const int* unlist = reader->GetUnList();
  std::vector<bool> seen(count, false);
  for (vtkIdType k = 0; k < count; ++k)
  {
    const int id = list[k];
    if (id < 0 || id >= count || seen[id] || unlist[id] != k)
    {
      std::abort();
    }
    seen[id] = true;
  }
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  SilenceToolkit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const char* path = WriteSceneFile(data, size);
  vtkDatReader* reader = vtkDatReader::New();
  reader->FileName = path;
  reader->SetRadius(0.5);
  try
  {
    if (reader->ReadFile() == 0)
    {
      CheckPrepared(reader);
    }
  }
  catch (const program_error&)
  {
    // A failure reported as the program reports it: not a fault.
  }
  reader->Delete();
  return 0;
}
