// The animation: the frames, the interrupts that end them early, the run
// report, the deformed mesh of the last frame, the interactive phase and the
// teardown.
#ifndef animation_loop_h
#define animation_loop_h

#include "movie.h"
#include "scene.h"
#include "solve_stage.h"

#include <csignal>
#include <cstdint>

class vtkDatReader;

// Number of frames of the run: the timeline's for a scene with expressions,
// otherwise FrameCount of its FramesNumber and LoopCount.
int64_t RunFrameCount(const SplineFit& fit, vtkDatReader* reader);

// Adds frame 0, which the window shows, to the movie; renders frames 1 ...
// FrameCount - 1 (or the timeline's frames of a scene with expressions), saving each when asked and
// adding it to the movie; then prints "<N> frames generated in <T> sec., <t> sec. per frame." and
// "Average speed: <v>.". When an interrupt is pending (below) the loop
// stops after the frame in hand, and N counts the frames rendered so far.
// Returns N.
int64_t Animate(Scene& scene, vtkDatReader* reader, SplineFit& fit, MovieRecording& movie);

// Says on standard error that signal ended the run after frames of its total
// frames, and that animated_shape.vtk holds the last of them.
void ReportInterruption(int signal, int64_t frames, int64_t total);

// Writes the face as the last frame shows it to "animated_shape.vtk".
// Throws program_error naming the file and the cause when it cannot be
// written, or when a number of the mesh is not finite (finite_output.h); an
// earlier file of that name is then left as it was.
void WriteDeformedMesh(Scene& scene);

// Writes the deformed mesh and finishes the video, each whatever became of
// the other. Throws program_error with the failures, one per line.
void FinishOutputs(Scene& scene, MovieRecording& movie);

// Hands the window to the user until it is closed.
void Interact(Scene& scene);

// Releases the scene, the spline fit and the reader.
void TearDown(Scene& scene, SplineFit& fit, vtkDatReader* reader);

// Releases what a run that failed has made so far: the scene's objects and
// the fit's that are not null, then the reader when it is not null.
void ReleaseAfterFailure(Scene& scene, SplineFit& fit, vtkDatReader* reader);

// SIGINT and SIGTERM while the frames are made: the run ends after the frame
// in hand, with its mesh and video whole, instead of at once.

// While an object lives, SIGINT and SIGTERM only note the signal (unless the
// program was started with the signal ignored); the earlier handlers come
// back when it goes.
class InterruptCatcher
{
public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
  struct sigaction Earlier[2];
};

// The signal noted so far (SIGINT or SIGTERM), or 0.
int PendingInterrupt();

// The exit status of a run ended by signal: 128 + its number (130, 143).
int InterruptedStatus(int signal);

#endif
