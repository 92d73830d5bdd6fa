// The animation: the blend factor's triangle wave over the frames, the run
// report, the deformed mesh of the last frame, the interactive phase and the
// teardown.
#ifndef animation_loop_h
#define animation_loop_h

#include "movie.h"
#include "scene.h"
#include "solve_stage.h"

#include <cstdint>

// Most frames a run may have; more would keep the program busy for days.
constexpr int64_t MaximumFrameCount = 1000000;

class vtkDatReader;

// Number of frames of a run, frame 0 included: framesNumber x loopCount,
// computed without overflow; 1 (frame 0 alone) when either is below 1.
int64_t FrameCount(int framesNumber, int loopCount);

// Number of frames of the run: the timeline's for a scene with expressions,
// otherwise FrameCount of its FramesNumber and LoopCount.
int64_t RunFrameCount(const SplineFit& fit, vtkDatReader* reader);

// Blend factor of frame index i with framesNumber F: a triangle wave that
// climbs by 1/F per frame from 0 to (F-1)/F, falls back to 0 and repeats.
// With F <= 1 there is no sweep and every frame gets 0.
float BlendFactorOfFrame(int64_t frame, int framesNumber);

// Adds frame 0, which the window shows, to the movie; renders frames 1 ...
// FrameCount - 1 (or the timeline's frames of a scene with expressions), saving each when asked and
// adding it to the movie; then prints "<N> frames generated in <T> sec., <t> sec. per frame." and
// "Average speed: <v>.". When an interrupt is pending (interrupt.h) the loop
// stops after the frame in hand, and N counts the frames rendered so far.
// Returns N.
int64_t Animate(Scene& scene, vtkDatReader* reader, SplineFit& fit, MovieRecording& movie);

// Says on standard error that signal ended the run after frames of its total
// frames, and that animated_shape.vtk holds the last of them.
void ReportInterruption(int signal, int64_t frames, int64_t total);

// Writes the face as the last frame shows it to "animated_shape.vtk".
// Throws program_error naming the file and the cause when it cannot be
// written; an earlier file of that name is then left as it was.
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

#endif
