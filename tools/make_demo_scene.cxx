// make_demo_scene - writes the demo scene folder of the animation program.
//
// Usage: make_demo_scene [--out DIR] [--points N] [--controls N] [--save-images]
//                        [--timeline]
//
// Without options it writes the demo into ./demo: a head of 40000 points with
// a smiling expression. --points and --controls make the larger scenes of the
// benchmarks: a face mesh of about N points, and exactly N control points
// spread over the whole head at a common minimum spacing. --timeline adds a
// second expression and a timeline of key frames.

#include "scene_files.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace
{

const char* const kUsage =
  "Usage: make_demo_scene [--out DIR] [--points N] [--controls N] [--save-images]\n"
  "  --out DIR       folder to write the scene into (default: demo)\n"
  "  --points N      face mesh of about N points (default: 40000)\n"
  "  --controls N    N control points spread over the head instead of the\n"
  "                  demo expression's landmarks and anchors\n"
  "  --save-images   let the program save every frame (SaveImages yes)\n"
  "  --timeline      add a second expression (frown.txt) and Key lines that\n"
  "                  play the smile, the frown and back to rest\n";

// Reads a positive count; false when the text is not one.
bool read_count(const char* text, int* count)
{
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value <= 0 || value > 100000000)
  {
    return false;
  }
  *count = static_cast<int>(value);
  return true;
}

} // namespace

int main(int argc, char* argv[])
{
  demo::SceneOptions options;
  for (int i = 1; i < argc; ++i)
  {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = true;
    if (std::strcmp(option, "--save-images") == 0)
    {
      options.SaveImages = true;
    }
    else if (std::strcmp(option, "--timeline") == 0)
    {
      options.Timeline = true;
    }
    else if (std::strcmp(option, "--help") == 0)
    {
      std::cout << kUsage;
      return 0;
    }
    else if (value && std::strcmp(option, "--out") == 0)
    {
      options.Folder = value;
      ++i;
    }
    else if (value && std::strcmp(option, "--points") == 0)
    {
      ok = read_count(value, &options.FacePoints);
      ++i;
    }
    else if (value && std::strcmp(option, "--controls") == 0)
    {
      ok = read_count(value, &options.Controls);
      ++i;
    }
    else
    {
      ok = false;
    }
    if (!ok)
    {
      std::cerr << "make_demo_scene: bad option " << option << "\n" << kUsage;
      return 1;
    }
  }
  return demo::write_demo_scene(options) ? 0 : 1;
}
