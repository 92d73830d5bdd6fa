#include "run_program.h"

#include "scene_file.h"

#include <cstdlib>

#include <sys/wait.h>

const std::string Banner = "Animation\n"
                           "Information:\n"
                           "Version 0.2 \n"
                           "Time precission on this computer is 0.001 sec.\n"
                           "\n";

ProgramRun RunAnimation(const std::string& folder, const std::string& arguments, int timeoutSeconds)
{
  const std::string out = folder + "/.stdout";
  const std::string err = folder + "/.stderr";
  const std::string command = "cd '" + folder + "' && timeout " + std::to_string(timeoutSeconds) +
                              " '" ANIMATION_BINARY_DIR "/bin/animation' " + arguments +
                              " </dev/null >'" + out + "' 2>'" + err + "'";
  int status = std::system(command.c_str());
  ProgramRun run;
  if (status != -1 && WIFEXITED(status))
  {
    run.Status = WEXITSTATUS(status);
  }
  run.Out = ReadWholeFile(out);
  run.Err = ReadWholeFile(err);
  return run;
}
