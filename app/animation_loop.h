// The animation: the blend factor's triangle wave over the frames, the run
// report, the deformed mesh of the last frame, the interactive phase and the
// teardown.
#ifndef animation_loop_h
#define animation_loop_h

#include "scene.h"
#include "solve_stage.h"

#include <cstdint>

// Most frames a run may have; more would keep the program busy for days.
constexpr int64_t MaximumFrameCount = 1000000;

class vtkDatReader;

// Number of frames of a run, frame 0 included: framesNumber x loopCount,
// computed without overflow; 1 (frame 0 alone) when either is below 1.
int64_t FrameCount(int framesNumber, int loopCount);

// Blend factor of frame index i with framesNumber F: a triangle wave that
// climbs by 1/F per frame from 0 to (F-1)/F, falls back to 0 and repeats.
// With F <= 1 there is no sweep and every frame gets 0.
float BlendFactorOfFrame(int64_t frame, int framesNumber);

// Renders frames 1 ... FrameCount - 1, saving each when asked, then prints
// "<N> frames generated in <T> sec., <t> sec. per frame." and
// "Average speed: <v>.".
void Animate(Scene& scene, vtkDatReader* reader, vtkShapeTransform* transform);

// Writes the face as the last frame shows it to "animated_shape.vtk".
// Throws a text message when the file cannot be written; an earlier file of
// that name is then left as it was.
void WriteDeformedMesh(Scene& scene);

// Hands the window to the user until it is closed.
void Interact(Scene& scene);

// Releases the scene, the spline fit and the reader.
void TearDown(Scene& scene, SplineFit& fit, vtkDatReader* reader);

// Releases what a run that failed has made so far: the scene's objects and
// the fit's that are not null, then the reader when it is not null.
void ReleaseAfterFailure(Scene& scene, SplineFit& fit, vtkDatReader* reader);

#endif
