// Fuzz target: reading a user's mesh.
//
// The first input byte chooses the format by its value modulo 5 (.vtk, .ply,
// .obj, .stl, .gltf); the other bytes are the file. A glTF file's uris are
// resolved in the fuzzer's work folder, where no file but the glTF itself
// lies: whatever they name, none may be opened outside it. The declared-size checks run in
// the fuzzer's own process; a file that passes them takes NewMeshReader's
// whole path: the checks again, the toolkit's reader in a child process
// limited to 5 s and 512 MiB, the mesh sent back and checked. A reader with a
// mesh of points, or a reason, must come back, and the fuzzer's process must
// not crash, leak or hang, whatever the toolkit's reader does in the child.
#include "mesh_check.h"
#include "mesh_precheck.h"
#include "mesh_reader.h"

#include <vtkAlgorithm.h>
#include <vtkPolyData.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{
const char* const Extensions[] = { ".vtk", ".ply", ".obj", ".stl", ".gltf" };

const std::string& WorkFolder()
{
  static const std::string folder = []
  {
    std::string pattern = "/tmp/fuzz-mesh-XXXXXX";
    if (!mkdtemp(pattern.data()))
    {
      std::abort();
    }
    return pattern;
  }();
  return folder;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
  {
    return 0;
  }
  const std::string extension = Extensions[data[0] % 5];
  const char* file = reinterpret_cast<const char*>(data + 1);
  std::string why;
  if (!DeclaredSizesFit(file, size - 1, extension, why))
  {
    if (why.empty())
    {
      std::abort(); // a refusal must say why
    }
    return 0;
  }
  const std::string path = WorkFolder() + "/mesh" + extension;
  std::ofstream(path, std::ios::binary).write(file, static_cast<std::streamsize>(size - 1));
  ReadLimits limits;
  limits.SecondsLimit = 5;
  limits.MemoryLimitBytes = 512LL << 20;
  vtkAlgorithm* reader = NewMeshReader(path, why, limits);
  if (!reader)
  {
    if (why.empty())
    {
      std::abort();
    }
    return 0;
  }
  // The program's own check of what the reader gave: a refusal says why, and
  // what it accepts is a mesh with points.
  const bool accepted = ReadCheckedMesh(reader, why);
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  if (accepted ? !mesh || mesh->GetNumberOfPoints() == 0 : why.empty())
  {
    std::abort();
  }
  reader->Delete();
  unlink(path.c_str());
  return 0;
}
