#include "output_guard.h"

#include "expressions.h"
#include "gltf_uri.h"
#include "mesh_reader.h"
#include "named_file.h"
#include "program_error.h"
#include "scene_folder.h"
#include "shape_files.h"
#include "timeline.h"
#include "vtkDatReader.h"

#include <vtkAlgorithm.h>
#include <vtkBMPReader.h>
#include <vtkImageActor.h>
#include <vtkImageMapper3D.h>
#include <vtkTexture.h>

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <utility>
#include <vector>

namespace
{
struct NamedFile
{
  std::string Path;
  std::string Role; // "the face mesh woman.vtk", "the video run.ogv", ...
};

std::vector<NamedFile> InputsOf(vtkDatReader* reader)
{
  std::vector<NamedFile> inputs{
    { reader->FileName, "the scene file " + ShownName(reader->FileName) },
    { reader->GetFaceFileName(), "the face mesh " + ShownName(reader->GetFaceFileName()) },
    { reader->GetHairFileName(), "the hair mesh " + ShownName(reader->GetHairFileName()) }
  };
  auto imageOf = [&inputs](vtkAlgorithm* source, const char* role)
  {
    vtkBMPReader* image = vtkBMPReader::SafeDownCast(source);
    if (image && image->GetFileName())
    {
      inputs.push_back({ image->GetFileName(), role + ShownName(image->GetFileName()) });
    }
  };
  if (reader->GetUseTexture() == 1)
  {
    imageOf(reader->GetTexture()->GetInputAlgorithm(), "the hair texture ");
  }
  if (reader->GetUseBackground() != 0)
  {
    imageOf(reader->GetImageActor()->GetMapper()->GetInputAlgorithm(), "the background image ");
  }
  // A glTF face reads the buffers and images its uris name.
  const std::string face = reader->GetFaceFileName();
  const std::string extension = LowerCaseExtension(face);
  std::vector<std::string> gltfFiles;
  std::string why;
  if (extension == ".gltf" || extension == ".glb")
  {
    GltfUrisResolve(face, why, &gltfFiles);
  }
  for (const std::string& file : gltfFiles)
  {
    inputs.push_back(
      { file, "the file " + ShownName(file) + " of the face mesh " + ShownName(face) });
  }
  for (const ExpressionLine& line : ReadExpressionLines(reader))
  {
    for (const std::string& file : line.Files)
    {
      inputs.push_back({ file, "the file " + ShownName(file) + " of expression " + line.Name });
    }
  }
  return inputs;
}

// The frame index of a file name that CaptureFrame writes, or -1.
long FrameIndexOf(const std::string& name)
{
  long index = -1;
  int end = 0;
  if (std::sscanf(name.c_str(), "image%ld.bmp%n", &index, &end) != 1 ||
      end != static_cast<int>(name.size()) || index < 0 || index > 2147483647L)
  {
    return -1;
  }
  char canonical[32];
  std::snprintf(canonical, sizeof(canonical), "image%.4ld.bmp", index);
  return name == canonical ? index : -1;
}

// The frames of this run that already exist in the working folder, and a
// warning about those of an earlier, longer run.
std::vector<NamedFile> ExistingFrames(long frames)
{
  std::vector<NamedFile> existing;
  long stale = 0;
  long first = -1;
  long last = -1;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(".", error))
  {
    const std::string name = entry.path().filename().string();
    const long index = FrameIndexOf(name);
    if (index < 0)
    {
      continue;
    }
    if (index < frames)
    {
      existing.push_back({ name, name });
      continue;
    }
    ++stale;
    first = first < 0 ? index : std::min(first, index);
    last = std::max(last, index);
  }
  if (stale > 0)
  {
    char range[80];
    std::snprintf(range, sizeof(range), "image%.4ld.bmp to image%.4ld.bmp", first, last);
    std::cerr << "Warning: " << stale << " frames of an earlier, longer run (" << range
              << ") stay in the folder beside this run's " << frames << std::endl;
  }
  return existing;
}

// The files that exist among the inputs and outputs, by device and inode,
// each stat'ed once: the outputs are then looked up in it, so that the check
// stays linear in the number of files (frames of earlier runs included).
using FileIdentities = std::multimap<std::pair<dev_t, ino_t>, const NamedFile*>;

FileIdentities IdentitiesOf(const std::vector<NamedFile>& inputs,
                            const std::vector<NamedFile>& outputs)
{
  FileIdentities identities;
  for (const std::vector<NamedFile>* list : { &inputs, &outputs })
  {
    for (const NamedFile& file : *list)
    {
      struct stat status;
      if (stat(file.Path.c_str(), &status) == 0)
      {
        identities.emplace(std::make_pair(status.st_dev, status.st_ino), &file);
      }
    }
  }
  return identities;
}

// Throws when output is another of the files identities holds, or exists and
// is not a regular file. A symbolic link is refused too: the rename would
// replace the link itself (/dev/stdout, for one), not the file it leads to.
void CheckOutput(const NamedFile& output, const FileIdentities& identities)
{
  struct stat status;
  if (lstat(output.Path.c_str(), &status) != 0)
  {
    return; // a new name
  }
  struct stat target;
  if (stat(output.Path.c_str(), &target) == 0)
  {
    const auto same = identities.equal_range(std::make_pair(target.st_dev, target.st_ino));
    for (auto file = same.first; file != same.second; ++file)
    {
      if (file->second != &output)
      {
        throw program_error("Cannot write " + output.Role + ": it is " + file->second->Role +
                            ", which the run reads or writes too; nothing was written");
      }
    }
  }
  if (!S_ISREG(status.st_mode))
  {
    throw program_error("Cannot write " + output.Role + ": it exists and is " +
                        FileKind(status.st_mode) + ", not a regular file; nothing was written");
  }
}

// Throws when the folder that output is to be written into does not exist
// or is not a folder.
void CheckFolderOf(const NamedFile& output)
{
  const std::filesystem::path folder = std::filesystem::path(output.Path).parent_path();
  struct stat status;
  if (stat(folder.empty() ? "." : folder.c_str(), &status) != 0)
  {
    throw program_error("Cannot write " + output.Role + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(status.st_mode))
  {
    throw program_error("Cannot write " + output.Role + ": " + std::strerror(ENOTDIR));
  }
}

// The expression shapes: one file per expression in folder, which must be a
// folder when it exists (it is made otherwise).
std::vector<NamedFile> ShapeFiles(vtkDatReader* reader, const std::string& folder)
{
  struct stat status;
  if (stat(folder.c_str(), &status) != 0)
  {
    // A missing folder is made; a path through a file (ENOTDIR), or one the
    // run may not look into, cannot be.
    if (errno != ENOENT)
    {
      throw program_error("Cannot write the expression shapes into " + ShownName(folder) + ": " +
                          std::strerror(errno) + "; nothing was written");
    }
  }
  else if (!S_ISDIR(status.st_mode))
  {
    throw program_error("Cannot write the expression shapes into " + ShownName(folder) +
                        ": it exists and is " + FileKind(status.st_mode) +
                        ", not a folder; nothing was written");
  }
  std::vector<NamedFile> shapes;
  for (const std::string& name : ExpressionNamesOf(reader))
  {
    const std::string path = ShapeFilePath(folder, name, reader->GetFaceFileName());
    shapes.push_back({ path, "the shape of expression " + name + ", " + ShownName(path) });
  }
  return shapes;
}
}

void KeepRunningWhenWritesFail()
{
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void CheckOutputs(vtkDatReader* reader, const RequestedOutputs& requested)
{
  std::vector<NamedFile> outputs{ { "animated_shape.vtk", "animated_shape.vtk" } };
  if (reader->GetSaveImages() == 1)
  {
    const std::vector<NamedFile> frames =
      ExistingFrames(static_cast<long>(SceneFrameCount(reader)));
    outputs.insert(outputs.end(), frames.begin(), frames.end());
  }
  if (!requested.Movie.empty())
  {
    outputs.push_back({ requested.Movie, "the video " + ShownName(requested.Movie) });
    CheckFolderOf(outputs.back());
  }
  if (!requested.Gltf.empty())
  {
    outputs.push_back({ requested.Gltf, "the glTF file " + ShownName(requested.Gltf) });
    CheckFolderOf(outputs.back());
  }
  if (!requested.ShapesFolder.empty())
  {
    const std::vector<NamedFile> shapes = ShapeFiles(reader, requested.ShapesFolder);
    outputs.insert(outputs.end(), shapes.begin(), shapes.end());
  }
  // Two outputs that would be one file are found by their names as well,
  // since neither may exist yet.
  std::map<std::filesystem::path, const NamedFile*> byName;
  for (const NamedFile& output : outputs)
  {
    std::error_code error;
    const auto name =
      std::filesystem::weakly_canonical(std::filesystem::absolute(output.Path, error), error);
    const auto known = byName.emplace(name, &output);
    if (!error && !known.second)
    {
      throw program_error("Cannot write " + output.Role + ": it is " + known.first->second->Role +
                          " too; nothing was written");
    }
  }
  const std::vector<NamedFile> inputs = InputsOf(reader);
  const FileIdentities identities = IdentitiesOf(inputs, outputs);
  for (const NamedFile& output : outputs)
  {
    CheckOutput(output, identities);
  }
}
