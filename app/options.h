// The command line: animation [--batch] [--movie FILE] [--fps N] [FOLDER].
#ifndef options_h
#define options_h

#include <string>

enum class RunMode
{
  Interactive, // the run, then the window is left to the user
  Batch,       // the run alone
  Help,        // print the usage and end
  Invalid      // a wrong argument: Error says which
};

struct RunOptions
{
  RunMode Mode = RunMode::Interactive;
  std::string Folder = "."; // where the scene is read and the outputs are written
  std::string Movie;        // video file, absolute; empty for none
  int FramesPerSecond = 25; // frame rate of the video
  std::string Error;        // with Mode::Invalid, what was wrong
};

// Reads the arguments. The movie's path is made absolute against the current
// folder, so that it means the folder the program was started in.
RunOptions ParseOptions(int argc, char* argv[]);

#endif
