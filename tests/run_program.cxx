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

std::string WindowScript(const std::string& actions)
{
  return WindowSession("", "Average speed", "Visualization Toolkit", actions);
}

std::string WindowSession(const std::string& arguments,
                          const std::string& ready,
                          const std::string& windowName,
                          const std::string& actions)
{
  return "'" ANIMATION_BINARY_DIR "/bin/animation' " + arguments +
         " >console.txt 2>&1 </dev/null &\n"
         "pid=$!\n"
         "for i in $(seq 1 150); do\n"
         "  grep -q '" +
         ready +
         "' console.txt && window=$(xdotool search --onlyvisible "
         "--name '" +
         windowName +
         "' | head -n 1)\n"
         "  [ -n \"$window\" ] && break\n"
         "  sleep 0.2\n"
         "done\n"
         "sleep 0.5\n" +
         actions +
         "for i in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done\n"
         "kill -9 $pid 2>/dev/null && exit 99\n"
         "wait $pid\n";
}
