#include "options.h"

#include "video_format.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <ostream>

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
    if (argument == "--batch" || argument == "--edit")
    {
      const RunMode mode = argument == "--batch" ? RunMode::Batch : RunMode::Edit;
      if (options.Mode != RunMode::Interactive && options.Mode != mode)
      {
        return invalid("--batch and --edit exclude each other");
      }
      options.Mode = mode;
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
  if (options.Mode == RunMode::Edit &&
      !(options.Movie.empty() && options.Gltf.empty() && options.ShapesFolder.empty()))
  {
    return invalid("--edit opens the control-point editor: it takes no output options");
  }
  if (framesPerSecondGiven && options.Movie.empty() && options.Gltf.empty())
  {
    return invalid("--fps sets the frame rate of the video: it needs --movie FILE");
  }
  return options;
}

void PrintUsage(std::ostream& os)
{
  os << "Usage: animation [--batch] [--movie FILE] [--gltf FILE.glb]\n"
        "                 [--export-shapes FOLDER] [--fps N] [FOLDER]\n"
        "       animation --edit [FOLDER]\n"
        "       animation --help\n"
        "\n"
        "Animates the face mesh of the scene in FOLDER (the working folder when\n"
        "none is given) toward the expression that the control points of its\n"
        "woman.ptt describe, and back. Reads the files the scene names from FOLDER\n"
        "and writes animated_shape.vtk (the last frame's mesh) into it and, when\n"
        "woman.ptt says \"SaveImages yes\", every frame as image0000.bmp, ...\n"
        "\n"
        "  --batch       run without the interactive phase: the program ends after\n"
        "                the last frame instead of waiting for the window to close\n"
        "  --movie FILE  also write every frame into the video FILE (relative to\n"
        "                the folder the program is started in): H.264 in MP4 for\n"
        "                FILE.mp4, VP9 in WebM for FILE.webm, Theora in Ogg for\n"
        "                FILE.ogv\n"
        "  --gltf FILE.glb  also write the animation as binary glTF 2.0: the face\n"
        "                (every part with its material and texture) with one morph\n"
        "                target per expression, its weights over the frames, the\n"
        "                hair and the camera (Blender, browsers)\n"
        "  --export-shapes FOLDER  write every expression at weight 1 into FOLDER,\n"
        "                as NAME and the face mesh's extension (.glb for glTF)\n"
        "  --fps N       frames per second of the video and of the glTF animation,\n"
        "                1 to 1000 (default 25)\n"
        "  --edit        open the control-point editor on the scene instead of\n"
        "                running it: add, drag, remove and save the control points\n"
        "                of woman.ptt in the window (README: Editing control points)\n"
        "  --help        print this text and exit\n"
        "\n"
        "Besides the animation settings and the control-point lines, woman.ptt may\n"
        "hold:\n"
        "  SupportRadius R       support radius of the deformation, in the mesh's\n"
        "                        units (default 0.5)\n"
        "  Face FILE, Hair FILE  the meshes (default woman.vtk, hair.vtk): .vtk\n"
        "                        polydata, .vtp, .ply, .obj, .stl, .glb or .gltf\n"
        "  CameraPosition X Y Z, CameraFocalPoint X Y Z, CameraViewUp X Y Z\n"
        "                        the camera (default: the fixed camera when the face\n"
        "                        lies in its view at a sensible size, otherwise one\n"
        "                        that frames the face)\n"
        "  UpAxis y|z            the meshes' up axis, for the camera and the glTF\n"
        "                        file (default: y for .obj, .glb and .gltf, z for\n"
        "                        the other formats)\n"
        "  Hair none             a head without hair\n"
        "  Polynomial yes|no     no: the deformation has no affine part and moves\n"
        "                        nothing beyond SupportRadius of the control points\n"
        "                        (default yes)\n"
        "  Kernel quadratic|wendland\n"
        "                        the basis function; wendland is smooth at the\n"
        "                        control points, without creases (default quadratic)\n"
        "  Smoothing L           0 or more: approximate noisy control points instead\n"
        "                        of passing through them exactly (default 0)\n"
        "  Expression NAME FILE  another expression: six-number lines or CSV\n"
        "  Expression NAME SOURCES TARGETS  the same from two point files (three\n"
        "                        numbers a line, CSV, Slicer .mrk.json or .fcsv);\n"
        "                        the scene's own lines are the expression default\n"
        "  Key FRAME NAME WEIGHT [NAME WEIGHT ...]  weights at a frame; the run\n"
        "                        then shows frames 0 to the last key frame\n"
        "\n"
        "The run needs a display with OpenGL; without a screen, run it under\n"
        "xvfb-run. Long stages show their progress on standard error when it is a\n"
        "terminal. Ctrl-C or SIGTERM during the frames ends the run after the frame\n"
        "in hand, with animated_shape.vtk and the video of the frames made (exit\n"
        "status 130 or 143).\n"
     << std::flush;
}
