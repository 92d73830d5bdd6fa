// The run's outputs, guarded before any work: animated_shape.vtk, the frames
// that SaveImages asks for and the video are written only over regular files
// or new names, never over an input of the run, and write failures are told
// rather than fatal signals.
#ifndef output_guard_h
#define output_guard_h

#include <string>

class vtkDatReader;

// Ignores SIGPIPE and SIGXFSZ, so that a closed standard output or a file
// beyond ulimit -f makes a write fail (EPIPE, EFBIG) instead of ending the
// process: the other files are still finished, and the failed one is named.
void KeepRunningWhenWritesFail();

// Throws program_error naming the output and the reason when an output
// of the run exists and is not a regular file (a folder, a device, a FIFO, a
// link to one of them), when it is the same file as an input (the scene file
// woman.ptt, the face and hair meshes, the texture, the background image), or
// when two outputs are one file; also when the video's folder does not exist.
// movie is the video's path, empty for none. Warns on standard error when
// frames of an earlier, longer run lie beyond this run's last frame.
void CheckOutputs(vtkDatReader* reader, const std::string& movie);

#endif
