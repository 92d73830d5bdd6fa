// Animation: animates a smooth, local deformation of a face mesh.
//
// The run is one fixed sequence of stages: banner, read the scene, solve the
// spline, build the scene, animate, report, write the deformed mesh, hand the
// window to the user, tear down, farewell. Every fatal condition is thrown as
// a text message and caught here, the only handler: the objects made so far
// are released, the message goes to standard error and the program ends with
// status 1.
#include "animation_loop.h"
#include "console.h"
#include "read_stage.h"
#include "scene.h"
#include "solve_stage.h"

#include <vtkLogger.h>
#include <vtkOutputWindow.h>

#include <cstring>
#include <exception>
#include <iostream>

namespace
{
enum class Mode
{
  Interactive,
  Batch,
  Help,
  Invalid
};

Mode ModeOfArguments(int argc, char* argv[])
{
  if (argc == 1)
  {
    return Mode::Interactive;
  }
  if (argc == 2 && std::strcmp(argv[1], "--batch") == 0)
  {
    return Mode::Batch;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
  {
    return Mode::Help;
  }
  return Mode::Invalid;
}
}

int main(int argc, char* argv[])
{
  const Mode mode = ModeOfArguments(argc, argv);
  if (mode == Mode::Invalid)
  {
    PrintUsage(std::cerr);
    return 2;
  }
  if (mode == Mode::Help)
  {
    PrintUsage(std::cout);
    return 0;
  }

  // Traces go to the console as plain text, without the logger's decoration.
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  vtkOutputWindow::GetInstance()->SetDisplayModeToAlways();

  // Each stage releases what it made itself when it fails; what the earlier
  // stages made is released by the handlers.
  vtkDatReader* reader = nullptr;
  SplineFit fit{ nullptr, nullptr };
  Scene scene{};
  try
  {
    PrintBanner();
    reader = ReadScene();
    fit = SolveSpline(reader);
    scene = BuildScene(reader, fit.Transform);
    Animate(scene, reader, fit.Transform);
    WriteDeformedMesh(scene);
    if (mode == Mode::Interactive)
    {
      Interact(scene);
    }
    TearDown(scene, fit, reader);
    PrintFarewell();
  }
  catch (const char* message)
  {
    std::cerr << message << std::endl;
    ReleaseAfterFailure(scene, fit, reader);
    return 1;
  }
  catch (const std::exception& failure)
  {
    std::cerr << failure.what() << std::endl;
    ReleaseAfterFailure(scene, fit, reader);
    return 1;
  }
  return 0;
}
