// The command line: animation [--batch] [--movie FILE] [--gltf FILE.glb]
// [--export-shapes FOLDER] [--fps N] [FOLDER], or animation --edit [FOLDER],
// and its usage text.
#ifndef options_h
#define options_h

#include <ostream>
#include <string>

enum class RunMode
{
  Interactive, // the run, then the window is left to the user
  Batch,       // the run alone
  Edit,        // the control-point editor (control_point_editor.h)
  Help,        // print the usage and end
  Invalid      // a wrong argument: Error says which
};

struct RunOptions
{
  RunMode Mode = RunMode::Interactive;
  std::string Folder = "."; // where the scene is read and the outputs are written
  std::string Movie;        // video file, absolute; empty for none
  std::string Gltf;         // binary glTF file of the animation, absolute; empty for none
  std::string ShapesFolder; // folder for every expression at weight 1, absolute; empty for none
  int FramesPerSecond = 25; // frame rate of the video and of the glTF animation
  std::string Error;        // with Mode::Invalid, what was wrong
};

// Reads the arguments. The movie's, the glTF file's and the shapes folder's
// paths are made absolute against the current
// folder, so that it means the folder the program was started in.
RunOptions ParseOptions(int argc, char* argv[]);

// Prints the usage: the options, the scene file's keywords beyond the
// animation settings, and what the run needs.
void PrintUsage(std::ostream& os);

#endif
