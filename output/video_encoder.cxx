#include "video_encoder.h"

#include "program_error.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>

namespace
{
using OpenFunction = VideoEncoder* (*)(int, const VideoFormat*, int, int, int);

// The library's path: ../lib/libanimation_video.so from the program's folder.
std::string LibraryPath()
{
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || program.empty())
  {
    throw program_error("cannot find the program's own folder");
  }
  return (program.parent_path() / "../lib/libanimation_video.so").string();
}

// Loads the library once; it stays loaded until the program ends.
OpenFunction LoadOpenFunction()
{
  static OpenFunction open = nullptr;
  if (!open)
  {
    const std::string path = LibraryPath();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
      throw program_error(std::string("cannot load the video encoder: ") + dlerror());
    }
    open = reinterpret_cast<OpenFunction>(dlsym(library, ANIMATION_OPEN_VIDEO_ENCODER));
    if (!open)
    {
      throw program_error(path + " has no " ANIMATION_OPEN_VIDEO_ENCODER);
    }
  }
  return open;
}
}

std::unique_ptr<VideoEncoder> OpenVideoEncoder(int descriptor,
                                               const VideoFormat& format,
                                               int width,
                                               int height,
                                               int framesPerSecond)
{
  return std::unique_ptr<VideoEncoder>(
    LoadOpenFunction()(descriptor, &format, width, height, framesPerSecond));
}
