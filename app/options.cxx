#include "options.h"

#include "video_format.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

namespace
{
// A whole decimal number from 1 to 1000, or 0.
int ParseFramesPerSecond(const std::string& text)
{
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > 1000)
  {
    return 0;
  }
  return static_cast<int>(value);
}
}

RunOptions ParseOptions(int argc, char* argv[])
{
  RunOptions options;
  bool folderGiven = false;
  bool framesPerSecondGiven = false;
  auto invalid = [&options](const std::string& error)
  {
    options.Mode = RunMode::Invalid;
    options.Error = error;
    return options;
  };
  for (int i = 1; i < argc; ++i)
  {
    const std::string argument = argv[i];
    if (argument == "--help")
    {
      options.Mode = RunMode::Help;
      return options;
    }
    if (argument == "--batch")
    {
      options.Mode = RunMode::Batch;
    }
    else if (argument == "--gltf" || argument == "--export-shapes")
    {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
      {
        return invalid(argument + " needs a value");
      }
      const std::string value = std::filesystem::absolute(argv[++i]).lexically_normal().string();
      (argument == "--gltf" ? options.Gltf : options.ShapesFolder) = value;
    }
    else if (argument == "--movie" || argument == "--fps")
    {
      if (i + 1 >= argc)
      {
        return invalid(argument + " needs a value");
      }
      const std::string value = argv[++i];
      if (argument == "--movie")
      {
        if (value.empty())
        {
          return invalid("--movie needs a file name");
        }
        if (!FindVideoFormat(value))
        {
          return invalid("--movie writes " + VideoFormatChoices() + ", chosen by the extension: '" +
                         value + "' has none of them");
        }
        options.Movie = std::filesystem::absolute(value).lexically_normal().string();
      }
      else
      {
        options.FramesPerSecond = ParseFramesPerSecond(value);
        framesPerSecondGiven = true;
        if (options.FramesPerSecond == 0)
        {
          return invalid("--fps takes a whole number of frames per second from 1 to 1000, not '" +
                         value + "'");
        }
      }
    }
    else if (argument.size() > 1 && argument[0] == '-')
    {
      return invalid("unknown option '" + argument + "'");
    }
    else if (folderGiven)
    {
      return invalid("more than one folder: '" + options.Folder + "' and '" + argument + "'");
    }
    else
    {
      options.Folder = argument;
      folderGiven = true;
    }
  }
  if (framesPerSecondGiven && options.Movie.empty() && options.Gltf.empty())
  {
    return invalid("--fps sets the frame rate of the video: it needs --movie FILE");
  }
  return options;
}
