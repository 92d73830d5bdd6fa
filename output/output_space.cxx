#include "output_space.h"

#include "program_error.h"
#include "timeline.h"
#include "vtkDatReader.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <sstream>
#include <vector>

namespace
{
// Bytes of video per pixel and frame, for every format. The demo's 120
// frames of 300 x 300 take 0.0029 bytes per pixel in H.264, 0.0025 in VP9
// and 0.0090 in Theora; the figure is well above these, yet far below raw
// frames (1.5 bytes per pixel in 4:2:0). A video of frames frames of
// width x height pixels is expected to take MovieBytes.
constexpr double MovieBytesPerPixel = 0.2;

std::uint64_t MovieBytes(int width, int height, std::int64_t frames)
{
  return static_cast<std::uint64_t>(MovieBytesPerPixel * width * height * frames) + 4096;
}

constexpr double MiB = 1048576.0;

struct Output
{
  std::string Folder;
  std::uint64_t Bytes;
  std::string What;
};

std::string MegaBytes(double bytes)
{
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(1);
  text << bytes / MiB << " MiB";
  return text.str();
}
}

std::uint64_t FrameFileBytes(int width, int height)
{
  return 54 +
         static_cast<std::uint64_t>(height) * ((3 * static_cast<std::uint64_t>(width) + 3) / 4 * 4);
}

void CheckOutputSpace(vtkDatReader* reader, const std::string& movie)
{
  int size[2];
  reader->GetWindowSize(size);
  const std::int64_t frames = SceneFrameCount(reader);
  std::vector<Output> outputs;
  if (reader->GetSaveImages() == 1)
  {
    std::ostringstream what;
    what << "the " << frames << " frames of " << size[0] << " x " << size[1] << " pixels";
    outputs.push_back({ ".", frames * FrameFileBytes(size[0], size[1]), what.str() });
  }
  if (!movie.empty())
  {
    outputs.push_back({ std::filesystem::path(movie).parent_path().string(),
                        MovieBytes(size[0], size[1], frames),
                        "the video " + movie });
  }

  // Outputs on one file system share its free space: the first output of
  // each file system is checked with the others on it.
  for (std::size_t k = 0; k < outputs.size(); ++k)
  {
    struct stat place;
    struct statvfs space;
    if (stat(outputs[k].Folder.c_str(), &place) != 0 ||
        statvfs(outputs[k].Folder.c_str(), &space) != 0)
    {
      continue; // the write itself will name the folder
    }
    std::uint64_t needed = outputs[k].Bytes;
    std::string what = outputs[k].What;
    bool checked = false;
    for (std::size_t j = 0; j < outputs.size(); ++j)
    {
      struct stat other;
      if (j != k && stat(outputs[j].Folder.c_str(), &other) == 0 && other.st_dev == place.st_dev)
      {
        checked = checked || j < k;
        needed += outputs[j].Bytes;
        what += " and " + outputs[j].What;
      }
    }
    const std::uint64_t free = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
    if (!checked && needed > free)
    {
      throw program_error(
        "Not enough free space: " + what + " would take about " + MegaBytes(needed) + ", but " +
        std::filesystem::weakly_canonical(outputs[k].Folder).string() + " has only " +
        MegaBytes(free) + " free; save fewer or smaller frames (FramesNumber, LoopCount, " +
        "WindowSize, SaveImages) or write to a larger disk");
    }
  }
}
