// The run's outputs, guarded before any work: animated_shape.vtk, the frames
// that SaveImages asks for, the video, the glTF file and the expression shapes
// are written only over regular files or new names, never over an input of
// the run, and write failures are told rather than fatal signals.
#ifndef output_guard_h
#define output_guard_h

#include <string>

class vtkDatReader;

// Ignores SIGPIPE and SIGXFSZ, so that a closed standard output or a file
// beyond ulimit -f makes a write fail (EPIPE, EFBIG) instead of ending the
// process: the other files are still finished, and the failed one is named.
void KeepRunningWhenWritesFail();

// The files the command line asks for besides animated_shape.vtk and the
// frames; an empty path asks for none.
struct RequestedOutputs
{
  std::string Movie;        // the video
  std::string Gltf;         // the binary glTF file
  std::string ShapesFolder; // the folder of the expression shapes (shape_files.h)
};

// Throws program_error naming the output and the reason when an output
// of the run exists and is not a regular file (a folder, a device, a FIFO, a
// link to one of them), when it is the same file as an input (the scene file
// woman.ptt, the face and hair meshes, the texture, the background image, the
// files of the Expression lines), or when two outputs are one file; also when
// the folder of the video or of the glTF file does not exist, or the shapes
// folder exists and is not a folder. The frames counted are the scene's
// (SceneFrameCount: the timeline's, with Key lines). Warns on standard error
// when frames of an earlier, longer run lie beyond this run's last frame.
void CheckOutputs(vtkDatReader* reader, const RequestedOutputs& requested);

#endif
