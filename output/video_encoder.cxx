#include "video_encoder.h"

#include "program_error.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

namespace
{
using OpenFunction = VideoEncoder* (*)(int, const VideoFormat*, int, int, int);

// The library's path: ../lib/libanimation_video.so from the program's folder.
std::string LibraryPath()
{
  char program[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
  if (length <= 0)
  {
    throw program_error("cannot find the program's own folder");
  }
  std::string path(program, static_cast<std::size_t>(length));
  path.erase(path.rfind('/') + 1);
  return path + "../lib/libanimation_video.so";
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
