#include "video_format.h"

#include "mesh_reader.h"

#include <iterator>

namespace
{
// Every format is 4:2:0 YUV, the one layout that all browsers decode.
//
// MP4: H.264 with the index ("moov") moved to the front once the frames are
// written, so that a browser can start playing before the whole file has
// arrived. 4:2:0 H.264 holds only even sizes, so an odd width or height is
// padded by one column or row that repeats the last one.
//
// WebM: VP9 at constant quality (crf 32 with no bit-rate target), encoded
// with libvpx's "good" deadline at speed 4 and row threads.
//
// Ogg: Theora at quality 7 of 10 (global_quality is 7 x FF_QP2LAMBDA, 118).

const VideoFormat Formats[] = {
  { ".mp4", "mp4", "movflags=+faststart", "libx264", "", "H.264", true },
  { ".webm",
    "webm",
    "",
    "libvpx-vp9",
    "crf=32:b=0:deadline=good:cpu-used=4:row-mt=1",
    "VP9",
    false },
  { ".ogv", "ogg", "", "libtheora", "flags=+qscale:global_quality=826", "Theora", false },
};
}

const VideoFormat* FindVideoFormat(const std::string& path)
{
  const std::string extension = LowerCaseExtension(path);
  for (const VideoFormat& format : Formats)
  {
    if (extension == format.Extension)
    {
      return &format;
    }
  }
  return nullptr;
}

std::string VideoFormatChoices()
{
  std::string text;
  for (std::size_t k = 0; k < std::size(Formats); ++k)
  {
    text += k == 0 ? "" : k + 1 == std::size(Formats) ? " or " : ", ";
    text += std::string(Formats[k].Extension) + " (" + Formats[k].Codec + ")";
  }
  return text;
}
