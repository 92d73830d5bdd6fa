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
  os << "Usage: animation [--batch | --help]\n"
        "\n"
        "Animates the face mesh woman.vtk of the working directory toward the\n"
        "expression that the control points of woman.ptt describe, and back.\n"
        "Writes animated_shape.vtk (the last frame's mesh) and, when woman.ptt\n"
        "says \"SaveImages yes\", every frame as image0000.bmp, image0001.bmp, ...\n"
        "\n"
        "  --batch  run without the interactive phase: the program ends after\n"
        "           the last frame instead of waiting for the window to close\n"
        "  --help   print this text and exit\n"
     << std::flush;
}
