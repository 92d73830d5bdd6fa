// Test support: runs the real animation executable in a folder, as a user would.
#ifndef run_program_h
#define run_program_h

#include <string>

struct ProgramRun
{
  int Status = -1; // exit status, or -1 when the program did not exit normally
  std::string Out; // standard output
  std::string Err; // standard error
};

// The five lines that every run prints first.
extern const std::string Banner;

// Runs build/bin/animation with the given arguments (a shell word list) in
// folder, with standard input closed, and waits at most timeoutSeconds.
ProgramRun RunAnimation(const std::string& folder,
                        const std::string& arguments = "",
                        int timeoutSeconds = 120);

// A shell script that starts build/bin/animation in its working folder (its
// console into console.txt), waits for its window after the report, runs
// the shell lines actions with the window's id in $window, then waits for the
// program to end; it exits with the program's status, or 99 when the
// program did not end within 20 seconds. Run it under xvfb-run.
std::string WindowScript(const std::string& actions);

// The same for build/bin/animation with the given arguments, whose window,
// named windowName, is looked for once console.txt holds the text ready.
std::string WindowSession(const std::string& arguments,
                          const std::string& ready,
                          const std::string& windowName,
                          const std::string& actions);

#endif
