#include "mesh_writer.h"

#include "atomic_write.h"
#include "descriptor_stream.h"
#include "file_growth_progress.h"
#include "toolkit_messages.h"

#include <vtkNew.h>
#include <vtkOBJWriter.h>
#include <vtkObjectFactory.h>
#include <vtkPLYReader.h>
#include <vtkPLYWriter.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>
#include <vtkSTLWriter.h>
#include <vtkXMLPolyDataWriter.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

namespace
{
// Runs writer with the toolkit's messages held back; true when it reports
// success, sets no error code and says nothing.
template<typename Writer>
bool Succeeds(Writer* writer)
{
  ToolkitMessageCapture messages;
  const int written = writer->Write();
  return written == 1 && writer->GetErrorCode() == 0 && messages.Complaints() == 0;
}

// The toolkit's legacy polydata writer, writing into a descriptor that the
// program opened itself, so that the file is the one it created, every
// failed write is known with its cause, and the file grows as the mesh is
// formatted (FileGrowthProgress).
class LegacyMeshWriter : public vtkPolyDataWriter
{
public:
  static LegacyMeshWriter* New();
  vtkTypeMacro(LegacyMeshWriter, vtkPolyDataWriter);

  // Writes the input into descriptor; returns 0 or the errno of the failure.
  int WriteInto(int descriptor)
  {
    this->Buffer = std::make_unique<DescriptorBuffer>(descriptor);
    const bool written = Succeeds(this);
    this->Buffer->pubsync();
    const int error = this->Buffer->Error();
    this->Buffer.reset();
    return error != 0 ? error : written ? 0 : EIO;
  }

protected:
  ostream* OpenVTKFile() override { return new std::ostream(this->Buffer.get()); }

private:
  std::unique_ptr<DescriptorBuffer> Buffer;
};
vtkStandardNewMacro(LegacyMeshWriter);

// A name ending in ".ply" for the file behind a descriptor: the PLY writer
// appends ".ply" to a name without it, so it cannot be given the
// descriptor's own name. It is a symbolic link to that name in a private
// temporary folder, removed with the object.
class PlyNameOfDescriptor
{
public:
  explicit PlyNameOfDescriptor(int descriptor)
  {
    std::string folder = std::filesystem::temp_directory_path() / "animation-ply-XXXXXX";
    if (mkdtemp(folder.data()))
    {
      this->Folder = folder;
      this->Name = folder + "/mesh.ply";
      if (symlink(DescriptorPath(descriptor).c_str(), this->Name.c_str()) != 0)
      {
        this->Name.clear();
      }
    }
  }
  ~PlyNameOfDescriptor()
  {
    std::error_code ignored;
    std::filesystem::remove_all(this->Folder, ignored);
  }
  PlyNameOfDescriptor(const PlyNameOfDescriptor&) = delete;
  PlyNameOfDescriptor& operator=(const PlyNameOfDescriptor&) = delete;

  // Empty when the link could not be made.
  const std::string& Get() const { return this->Name; }

private:
  std::string Folder;
  std::string Name;
};

// The PLY writer does not see a failed write: its file is read back, and
// holds the mesh when the toolkit's PLY reader finds every point and cell.
int WritePly(vtkPolyData* mesh, int descriptor)
{
  const PlyNameOfDescriptor name(descriptor);
  if (name.Get().empty())
  {
    return errno != 0 ? errno : EIO;
  }
  vtkNew<vtkPLYWriter> writer;
  writer->SetInputData(mesh);
  writer->SetFileName(name.Get().c_str());
  if (!Succeeds(writer.Get()))
  {
    return EIO;
  }
  vtkNew<vtkPLYReader> reader;
  reader->SetFileName(name.Get().c_str());
  {
    ToolkitMessageCapture quiet;
    reader->Update();
  }
  vtkPolyData* back = reader->GetOutput();
  const bool whole = back->GetNumberOfPoints() == mesh->GetNumberOfPoints() &&
                     back->GetNumberOfPolys() == mesh->GetNumberOfPolys();
  return whole ? 0 : EIO;
}

// Lines of the OBJ file at path that start with keyword and a blank.
vtkIdType CountLines(const std::string& path, const std::string& keyword)
{
  std::ifstream file(path);
  vtkIdType count = 0;
  for (std::string line; std::getline(file, line);)
  {
    count += line.compare(0, keyword.size() + 1, keyword + " ") == 0;
  }
  return count;
}

// The OBJ writer writes to its file by name and does not see a write fail:
// the file is read back, and holds the mesh when every point and every
// polygon came out.
int WriteObj(vtkPolyData* mesh, int descriptor)
{
  vtkNew<vtkOBJWriter> writer;
  writer->SetInputData(mesh);
  const std::string name = DescriptorPath(descriptor);
  writer->SetFileName(name.c_str());
  if (!Succeeds(writer.Get()))
  {
    return EIO;
  }
  const bool whole = CountLines(name, "v") == mesh->GetNumberOfPoints() &&
                     CountLines(name, "f") == mesh->GetNumberOfPolys() + mesh->GetNumberOfStrips();
  return whole ? 0 : EIO;
}
}

void WriteMeshFile(vtkPolyData* mesh, const std::string& path, const std::string& extension)
{
  WriteAtomically(path,
                  [mesh, &extension](int descriptor)
                  {
                    if (extension == ".vtk")
                    {
                      vtkNew<LegacyMeshWriter> writer;
                      writer->SetInputData(mesh);
                      const FileGrowthProgress growth(DescriptorPath(descriptor));
                      return writer->WriteInto(descriptor);
                    }
                    if (extension == ".ply")
                    {
                      return WritePly(mesh, descriptor);
                    }
                    if (extension == ".obj")
                    {
                      return WriteObj(mesh, descriptor);
                    }
                    if (extension == ".stl")
                    {
                      // The STL writer sees its failed writes: its status says so.
                      vtkNew<vtkSTLWriter> writer;
                      writer->SetInputData(mesh);
                      writer->SetFileName(DescriptorPath(descriptor).c_str());
                      return Succeeds(writer.Get()) ? 0 : EIO;
                    }
                    // The XML writer writes into a string, then the string goes to the file.
                    vtkNew<vtkXMLPolyDataWriter> writer;
                    writer->SetInputData(mesh);
                    writer->WriteToOutputStringOn();
                    if (!Succeeds(writer.Get()))
                    {
                      return EIO;
                    }
                    const std::string& bytes = writer->GetOutputString();
                    return WriteAll(descriptor, bytes.data(), bytes.size());
                  });
}
