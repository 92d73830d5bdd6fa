// Reading stage: the scene description file into a vtkDatReader.
#ifndef read_stage_h
#define read_stage_h

#include <cstdint>
#include <string>

class vtkDatReader;

// Largest window width or height accepted, in pixels.
constexpr int MaximumWindowSide = 16384;

// Most frames a run may have; more would keep the program busy for days.
constexpr int64_t MaximumFrameCount = 1000000;

// Number of frames of a run, frame 0 included: framesNumber x loopCount,
// computed without overflow; 1 (frame 0 alone) when either is below 1.
int64_t FrameCount(int framesNumber, int loopCount);

// Reads "woman.ptt" from the working directory with the support radius 0.5,
// unless the file sets its own. Throws program_error with "Very-very bad!"
// when the reader fails (it has already told why through its error trace; a
// missing file is named with the folder on the next line), a message naming
// the setting when the window size or the number of frames is out of range
// (the Key line, for a timeline: SceneFrameCount), and the refusal of a
// matrix that cannot fit in the memory available; the reader is released
// then.
vtkDatReader* ReadSceneFile();

// Throws program_error "<scene file> line <line>: <text>", for a line of the
// scene file whose fields are wrong.
[[noreturn]] void FailOnSceneLine(vtkDatReader* reader, int line, const std::string& text);

#endif
