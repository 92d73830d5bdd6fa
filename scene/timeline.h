// The timeline of a scene with expressions: the weight of every expression at
// every frame, from the "Key" lines or, without them, the triangle wave.
#ifndef timeline_h
#define timeline_h

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class vtkDatReader;

struct Timeline
{
  // Frames of the run, frame 0 included.
  int64_t Frames = 1;
  // The keys of each expression, weight by frame; empty for an expression
  // without keys, whose weight stays 0.
  std::vector<std::map<int64_t, double>> Tracks;
  // Without Key lines: the expression that plays the triangle wave of
  // FramesNumber (the default one), or -1 for none.
  int Wave = -1;
  int FramesNumber = 0;
};

// Reads the reader's "Key FRAME NAME WEIGHT [NAME WEIGHT ...]" lines for the
// expressions names. With keys, the run shows frames 0 to the last key frame,
// each expression's weight linear between its keys and held before the first
// and after the last; a FramesNumber or LoopCount line then does not apply and
// a warning on standard error says so. Without keys, the expression wave
// (index into names, or -1) plays the triangle wave of FramesNumber over
// FramesNumber x LoopCount frames. Throws program_error naming the line
// when a frame is not an integer from 0 to the frame limit, a name is not an
// expression, or a weight is not a number that is finite in single
// precision.
Timeline ReadTimeline(vtkDatReader* reader, const std::vector<std::string>& names, int wave);

// Number of frames the scene asks for, frame 0 included: with Key lines the
// last key frame plus one, otherwise FrameCount of FramesNumber and
// LoopCount. The checks made before any work (the outputs, their free space)
// count these frames. Throws program_error naming the line when a Key line's
// frame or weight is out of range, as ReadTimeline() does.
int64_t SceneFrameCount(vtkDatReader* reader);

// The largest magnitude that the Key lines give the weight of each of the
// expressions names (in that order), 0 for one without keys: the weights are
// linear between keys and held outside them, so no frame exceeds it. Key
// lines are read as SceneFrameCount() reads them; names they give that are
// not expressions are left to ReadTimeline().
std::vector<double> LargestKeyWeights(vtkDatReader* reader, const std::vector<std::string>& names);

// Blend factor of frame index i with framesNumber F: a triangle wave that
// climbs by 1/F per frame from 0 to (F-1)/F, falls back to 0 and repeats.
// With F <= 1 there is no sweep and every frame gets 0.
float BlendFactorOfFrame(int64_t frame, int framesNumber);

// The weight of every expression at frame, single-precision values.
std::vector<double> WeightsOfFrame(const Timeline& timeline, int64_t frame);

#endif
