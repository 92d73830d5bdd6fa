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

// Adds frame 0, which the window shows, to the movie; renders frames 1 ...
// fit.Frames - 1, saving each when asked and
// adding it to the movie; then prints "<N> frames generated in <T> sec., <t> sec. per frame." and
// "Average speed: <v>.". When an interrupt is pending (below) the loop
// stops after the frame in hand, and N counts the frames rendered so far.
// Returns N.
int64_t Animate(Scene& scene, const SceneInput& input, SplineFit& fit, MovieRecording& movie);

// Says on standard error that signal ended the run after frames of its total
// frames, and that animated_shape.vtk holds the last of them.
void ReportInterruption(int signal, int64_t frames, int64_t total);

// The transform that deforms the user's face mesh as the drawn face shows it
// now: the expressions' transform; or the shape transform itself when the
// drawn surface is the user's mesh, else the fit's mesh transform given the
// shape transform's blend factor.
vtkAbstractTransform* UserMeshTransform(const SplineFit& fit, const Scene& scene);

// Writes the user's face mesh as the last frame shows it to
// "animated_shape.vtk" (the transform's points, in the mesh's order) and
// finishes the video, each whatever became of the other. Throws
// program_error with the failures, one per line, naming the file and the
// cause (a number that is not finite: finite_output.h); an earlier file of
// that name is then left as it was.
void FinishOutputs(const SceneInput& input,
                   const Scene& scene,
                   const SplineFit& fit,
                   MovieRecording& movie);

// Releases the scene and the spline fit, the objects that are not null: the
// end of a run, or of one that failed on the way.
void TearDown(Scene& scene, SplineFit& fit);

// SIGINT and SIGTERM while the frames are made: while an object lives, they
// only note the signal (unless the program was started with the signal
// ignored), and the run ends after the frame in hand, with its mesh and
// video whole, instead of at once. The earlier handlers come back when it
// goes.
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

#endif
