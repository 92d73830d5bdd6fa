// Whether the run can open its window, asked before anything is rendered.
#ifndef display_check_h
#define display_check_h

// The check throws program_error with a message that names the display and
// the way out when no window can be opened: DISPLAY is not set, no X server
// answers on it, or the toolkit cannot create its OpenGL context there. The
// toolkit would otherwise end the process with a crash at the first render.
//
// It runs in two steps, so that other work goes on while the toolkit's
// OpenGL context is tried in a child process, which takes a few tenths of a
// second: StartDisplayCheck throws at once when DISPLAY is not set or no X
// server answers, and starts the child; FinishDisplayCheck waits for the
// child and throws when the toolkit could not create its context there.
// Every started check must be finished.
struct DisplayCheck
{
  int Child = -1; // process id of the child trying the context, or -1
};
DisplayCheck StartDisplayCheck();
void FinishDisplayCheck(DisplayCheck& check);

#endif
