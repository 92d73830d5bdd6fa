// Whether the run can open its window, asked before anything is rendered.
#ifndef display_check_h
#define display_check_h

// Throws program_error with a message that names the display and the
// way out when no window can be opened: DISPLAY is not set, no X server
// answers on it, or the toolkit cannot create its OpenGL context there. The
// toolkit would otherwise end the process with a crash at the first render.
void CheckDisplay();

#endif
