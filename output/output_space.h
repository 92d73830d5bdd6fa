// Room for the outputs that grow with the number of frames: the saved frames
// and the video, checked against the free space of their folders before the
// first of them is written.
#ifndef output_space_h
#define output_space_h

#include <cstdint>
#include <string>

class vtkDatReader;

// Bytes of one frame as the toolkit's BMP writer saves it: a 54-byte header
// and 24-bit rows padded to four bytes.
std::uint64_t FrameFileBytes(int width, int height);

// Throws program_error naming the bytes needed and the bytes free, in MiB,
// when the frames that the scene file asks to save (in the working folder;
// SceneFrameCount of them, the timeline's with Key lines) and the video movie
// (when not empty) do not fit the free space of their file systems. Outputs
// on one file system are counted together.
void CheckOutputSpace(vtkDatReader* reader, const std::string& movie);

#endif
