#include "scene_file_buffer.h"

#include <vtkLogger.h>
#include <vtkObject.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace
{
// The file is removed at exit; a crashed run leaves it for the post-mortem.
struct SceneFile
{
  SceneFile()
  {
    this->Path = (std::filesystem::temp_directory_path() /
                  ("animation-fuzz-" + std::to_string(getpid()) + ".ptt"))
                   .string();
  }
  ~SceneFile() { std::remove(this->Path.c_str()); }
  std::string Path;
};
}

const char* WriteSceneFile(const std::uint8_t* data, std::size_t size)
{
  static SceneFile file;
  FILE* out = std::fopen(file.Path.c_str(), "wb");
  if (!out || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0)
  {
    std::perror(file.Path.c_str());
    std::abort();
  }
  return file.Path.c_str();
}

void SilenceToolkit()
{
  vtkObject::GlobalWarningDisplayOff();
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
}
