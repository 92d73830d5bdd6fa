// Animation: animates a smooth, local deformation of a face mesh.
//
// The run is one fixed sequence of stages: enter the scene's folder, banner,
// check the display while the scene and its meshes are read, solve the spline, build the scene,
// animate, report, write the deformed mesh, hand the window to the user, tear
// down, farewell. With --edit, the control-point editor takes the scene read
// instead of the run. Every fatal condition is thrown as a program_error that
// carries its text (program_error.h) and caught here, in the only handler,
// which takes the standard library's failures (std::bad_alloc, said as the
// memory limit that was reached) alike: the objects made so far are released,
// the text goes to standard error and the program ends with status 1. SIGINT
// or SIGTERM during the frames ends the run after the frame in hand, with the
// mesh and the video of the frames made, and status 130 or 143.
#include "animation_loop.h"
#include "control_point_editor.h"
#include "display_check.h"
#include "gltf_export.h"
#include "memory_limit.h"
#include "options.h"
#include "output_guard.h"
#include "output_space.h"
#include "progress.h"
#include "scene.h"
#include "scene_folder.h"
#include "scene_input.h"
#include "solve_stage.h"
#include "stopwatch.h"
#include "toolkit_messages.h"

#include <vtkLogger.h>
#include <vtkOutputWindow.h>
#include <vtkRenderWindowInteractor.h>

#include <exception>
#include <iostream>
#include <new>

namespace
{
// The run's first and last console lines.
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

// Reads the scene while a child process tries the display; a display that
// cannot be used is the reason even when the scene cannot be read.
SceneInput ReadSceneForDisplay()
{
  DisplayCheck display = StartDisplayCheck();
  try
  {
    SceneInput input = ReadScene();
    FinishDisplayCheck(display);
    return input;
  }
  catch (...)
  {
    FinishDisplayCheck(display);
    throw;
  }
}
}

int main(int argc, char* argv[])
{
  const RunOptions options = ParseOptions(argc, argv);
  if (options.Mode == RunMode::Invalid)
  {
    std::cerr << "animation: " << options.Error << "\n\n";
    PrintUsage(std::cerr);
    return 2;
  }
  if (options.Mode == RunMode::Help)
  {
    PrintUsage(std::cout);
    return 0;
  }

  KeepRunningWhenWritesFail();
  ExplainCrashesUnderMemoryLimit();
  // Long stages show their progress when standard error is a terminal.
  progress_enable();
  // Traces go to the console as plain text, without the logger's decoration.
  vtkLogger::SetStderrVerbosity(vtkLogger::VERBOSITY_OFF);
  vtkOutputWindow::GetInstance()->SetDisplayModeToAlways();
  SayToolkitMessagesInOwnWords();

  // Each stage releases what it made itself when it fails; what the earlier
  // stages made is released by TearDown, and the input, whose control points
  // the fit's transform reads, last.
  SceneInput input;
  SplineFit fit{ nullptr, nullptr };
  Scene scene{};
  MovieRecording movie;
  try
  {
    EnterSceneFolder(options.Folder);
    PrintBanner();
    input = ReadSceneForDisplay();
    if (options.Mode == RunMode::Edit)
    {
      EditControlPoints(input);
      PrintFarewell();
      return 0;
    }
    CheckOutputs(input.Settings, { options.Movie, options.Gltf, options.ShapesFolder });
    CheckOutputSpace(input.Settings, options.Movie);
    fit = SolveSpline(input);
    scene = BuildScene(input, FaceTransform(fit));
    {
      InterruptCatcher interrupts;
      movie = StartMovie(scene.Window, options.Movie, options.FramesPerSecond);
      const int64_t frames = Animate(scene, input, fit, movie);
      FinishOutputs(input, scene, fit, movie);
      if (!options.Gltf.empty())
      {
        WriteGltf(options.Gltf, scene, input, fit, options.FramesPerSecond);
      }
      if (!options.ShapesFolder.empty())
      {
        ExportShapes(options.ShapesFolder, scene, input, fit);
      }
      if (const int signal = PendingInterrupt())
      {
        ReportInterruption(signal, frames, fit.Frames);
        TearDown(scene, fit);
        return 128 + signal; // the shell's status of a run a signal ended: 130, 143
      }
    }
    if (options.Mode == RunMode::Interactive)
    {
      scene.Interactor->Start(); // until the user closes the window
    }
    TearDown(scene, fit);
    PrintFarewell();
  }
  catch (const std::exception& failure)
  {
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr;
    std::cerr << (outOfMemory ? OutOfMemoryMessage() : failure.what()) << std::endl;
    DiscardMovie(movie);
    TearDown(scene, fit);
    return 1;
  }
  return 0;
}
