#include "run_program.h"

#include "scene_file.h"

#include <cstdlib>

#include <sys/wait.h>

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
