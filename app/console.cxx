#include "console.h"

#include "stopwatch.h"

#include <iostream>

void PrintBanner()
{
  std::cout << "Animation" << std::endl;
  std::cout << "Information:" << std::endl;
  std::cout << "Version 0.2 " << std::endl;
  std::cout << "Time precission on this computer is " << stopwatch_resolution << " sec."
            << std::endl;
  std::cout << std::endl;
}

void PrintFarewell()
{
  std::cout << "Thank you for using our application" << std::endl;
}

void PrintUsage(std::ostream& os)
{
  os << "Usage: animation [--batch] [--movie FILE] [--gltf FILE.glb]\n"
        "                 [--export-shapes FOLDER] [--fps N] [FOLDER]\n"
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
        "  --fps N       frames per second of the video, 1 to 1000 (default 25)\n"
        "  --gltf FILE.glb  also write the animation as binary glTF 2.0: the face\n"
        "                with one morph target per expression, its weights over\n"
        "                the frames, the hair and the camera (Blender, browsers)\n"
        "  --export-shapes FOLDER  write every expression at weight 1 into FOLDER,\n"
        "                as NAME and the face mesh's extension\n"
        "  --fps N       frames per second of the video and of the glTF animation,\n"
        "                1 to 1000 (default 25)\n"
        "  --help        print this text and exit\n"
        "\n"
        "Besides the animation settings and the control-point lines, woman.ptt may\n"
        "hold:\n"
        "  SupportRadius R       support radius of the deformation, in the mesh's\n"
        "                        units (default 0.5)\n"
        "  Face FILE, Hair FILE  the meshes (default woman.vtk, hair.vtk): .vtk\n"
        "                        polydata, .vtp, .ply, .obj or .stl\n"
        "  CameraPosition X Y Z, CameraFocalPoint X Y Z, CameraViewUp X Y Z\n"
        "                        the camera (default: the fixed camera when the face\n"
        "                        lies in its view at a sensible size, otherwise one\n"
        "                        that frames the face)\n"
        "  UpAxis y|z            the meshes' up axis, for the camera (default: y for\n"
        "                        .obj, .glb and .gltf, z for the other formats)\n"
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

std::string ShownName(const std::string& name)
{
  if (name.size() <= 100)
  {
    return name;
  }
  return name.substr(0, 60) + "[... " + std::to_string(name.size() - 90) + " characters ...]" +
         name.substr(name.size() - 30);
}
