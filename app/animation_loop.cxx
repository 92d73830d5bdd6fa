#include "animation_loop.h"

#include "expressions.h"
#include "file_growth_progress.h"
#include "finite_output.h"
#include "mesh_writer.h"
#include "program_error.h"
#include "progress.h"
#include "stopwatch.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkTransformPolyDataFilter.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>

int64_t Animate(Scene& scene, const SceneInput& input, SplineFit& fit, MovieRecording& movie)
{
  const int framesNumber = input.Settings->GetFramesNumber();
  vtkShapeTransform* transform = fit.Transform;
  if (transform)
  {
    transform->BlendFactor = 0;
    transform->Modified();
  }
  stopwatch_start();

  const int64_t total = fit.Frames;
  int64_t frames = 1;
  {
    progress_stage rendering("Rendering the frames", total);
    AddMovieFrame(movie);
    progress_advance();
    for (; frames < total && !PendingInterrupt(); ++frames)
    {
      if (fit.Expressions)
      {
        ShowFrameWeights(*fit.Expressions, frames);
      }
      else
      {
        transform->BlendFactor = BlendFactorOfFrame(frames, framesNumber);
        transform->Modified();
      }
      RenderFrame(scene);
      if (input.Settings->GetSaveImages() == 1)
      {
        CaptureFrame(scene, static_cast<int>(frames));
      }
      AddMovieFrame(movie);
      progress_advance();
    }
  }

  // Frame 0 counts too, although it was rendered before the loop's time.
  const float seconds = stopwatch_elapsed();
  const float perFrame = seconds / static_cast<float>(frames);
  const float speed = 1.0f / perFrame;
  std::cout << frames << " frames generated in " << seconds << " sec., " << perFrame
            << " sec. per frame." << std::endl;
  if (std::isinf(speed))
  {
    // The frames took less than the stopwatch's resolution: the speed is
    // only known to exceed the frames per resolution step.
    std::cout << "Average speed: more than " << static_cast<float>(frames) / 0.001f << "."
              << std::endl;
  }
  else
  {
    std::cout << "Average speed: " << speed << "." << std::endl;
  }
  return frames;
}

void ReportInterruption(int signal, int64_t frames, int64_t total)
{
  std::cerr << "Interrupted by " << (signal == SIGINT ? "SIGINT" : "SIGTERM") << " after frame "
            << frames << " of " << total << ": animated_shape.vtk holds the shape of that frame"
            << std::endl;
}

namespace
{
// Writes "animated_shape.vtk": input's face with its points (and normals)
// moved by the transform as it stands, the same points in the same order,
// the same cells and attributes; refused when a number of it is not finite.
void WriteDeformedMesh(const SceneInput& input, vtkAbstractTransform* transform)
{
  vtkNew<vtkTransformPolyDataFilter> deformed;
  deformed->SetInputData(input.Face);
  deformed->SetTransform(transform);
  deformed->Update();
  RefuseNonFinite("animated_shape.vtk", NonFinitePartOf(deformed->GetOutput()));
  progress_stage writing("Writing animated_shape.vtk", EstimatedLegacyTextBytes(input.Face));
  WriteMeshFile(deformed->GetOutput(), "animated_shape.vtk", ".vtk");
}
}

vtkAbstractTransform* UserMeshTransform(const SplineFit& fit, const Scene& scene)
{
  if (fit.Expressions)
  {
    return fit.Expressions->Transform;
  }
  if (scene.DrawsUserMesh)
  {
    return fit.Transform;
  }
  if (fit.MeshTransform->BlendFactor != fit.Transform->BlendFactor)
  {
    fit.MeshTransform->BlendFactor = fit.Transform->BlendFactor;
    fit.MeshTransform->Modified();
  }
  return fit.MeshTransform;
}

void FinishOutputs(const SceneInput& input,
                   const Scene& scene,
                   const SplineFit& fit,
                   MovieRecording& movie)
{
  // Each output is finished whatever became of the other: a mesh that
  // cannot be written does not cost the finished video, nor the other way.
  std::string failures;
  for (const auto& finish :
       { std::function<void()>([&] { WriteDeformedMesh(input, UserMeshTransform(fit, scene)); }),
         std::function<void()>([&movie] { FinishMovie(movie); }) })
  {
    try
    {
      finish();
    }
    catch (const std::exception& failure)
    {
      failures += (failures.empty() ? "" : "\n") + std::string(failure.what());
    }
  }
  if (!failures.empty())
  {
    throw program_error(failures);
  }
}

void TearDown(Scene& scene, SplineFit& fit)
{
  // The face renderer, the window and the interactor go first; then the
  // transforms, before the solver whose coefficients they read; then the rest
  // of the scene. The scene file's points, which the transforms read too, go
  // last, with the caller's SceneInput.
  Release(scene.FaceRenderer);
  Release(scene.Window);
  Release(scene.Interactor);
  Release(fit.Transform);
  Release(fit.MeshTransform);
  Release(fit.Solver);
  ReleaseExpressions(fit.Expressions);
  fit.Expressions = nullptr;
  ReleaseScene(scene);
}

namespace
{
// Set by the handler, which may run on any thread of the process (the
// toolkit's worker threads included), and read by the frame loop: a lock-free
// atomic is safe in a handler and seen by every thread.
std::atomic<int> noted{ 0 };
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

const int caught[2] = { SIGINT, SIGTERM };

extern "C" void NoteSignal(int signal)
{
  noted = signal;
}
}

InterruptCatcher::InterruptCatcher()
{
  struct sigaction action = {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress go on: the frame in hand is finished.
  action.sa_flags = SA_RESTART;
  for (int k = 0; k < 2; ++k)
  {
    sigaction(caught[k], &action, &this->Earlier[k]);
    // A signal ignored when the program started (a background job's SIGINT)
    // stays ignored.
    if (this->Earlier[k].sa_handler == SIG_IGN)
    {
      sigaction(caught[k], &this->Earlier[k], nullptr);
    }
  }
}

InterruptCatcher::~InterruptCatcher()
{
  for (int k = 0; k < 2; ++k)
  {
    sigaction(caught[k], &this->Earlier[k], nullptr);
  }
}

int PendingInterrupt()
{
  return noted;
}
