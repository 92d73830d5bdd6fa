#include "display_check.h"

#include "atomic_write.h"
#include "available_memory.h"
#include "program_error.h"

#include <vtkRenderWindow.h>

#include <X11/Xlib.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace
{
const char* const WayOut = "run under xvfb-run on a machine without a screen";

// The name of the display in use, for the message of a server that goes away.
std::string DisplayName;

// The process's limits that can keep a window from opening, as a message
// names them: the address space (ulimit -v) and the open files (ulimit -n);
// empty when neither is set low.
std::string TightLimits()
{
  std::string limits;
  if (address_space_limit_bytes() >= 0)
  {
    limits += "the address space is limited to " +
              std::to_string(address_space_limit_bytes() >> 20) + " MiB (ulimit -v)";
  }
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < 256)
  {
    limits += std::string(limits.empty() ? "" : " and ") + "at most " +
              std::to_string(limit.rlim_cur) + " files may be open (ulimit -n)";
  }
  return limits;
}

// A failure to reach the server or to get a context, blamed on the limits
// when they are tight, else on the display.
std::string Blame(const std::string& displayCause)
{
  const std::string limits = TightLimits();
  if (limits.empty())
  {
    return displayCause + "; " + WayOut;
  }
  return "the process's resource limits may be the cause, not the display: " + limits +
         "; raise them, or " + WayOut;
}

// Xlib calls this when the connection to the X server is lost, and ends the
// process when it returns: the outputs being written are removed first, so
// that no temporary file is left, and the cause is named.
int ServerWentAway(Display*)
{
  RemoveTemporaryFilesNow();
  const std::string message = "The X server of display " + DisplayName +
                              " went away during the run; the outputs in progress were removed\n";
  const ssize_t ignored = write(STDERR_FILENO, message.data(), message.size());
  (void)ignored;
  _exit(1);
}

// A connection to the X server of the display name, or null when none
// answers. A server that is resetting itself, because the last client of an
// earlier program has just left, refuses connections for a few
// milliseconds, so the connection is tried again for most of a second.
Display* ConnectWithRetries(const char* name)
{
  int pause = 50; // milliseconds
  for (int attempt = 0;; ++attempt)
  {
    if (Display* display = XOpenDisplay(name))
    {
      return display;
    }
    if (attempt == 4)
    {
      return nullptr;
    }
    usleep(pause * 1000);
    pause *= 2;
  }
}

// The toolkit aborts the process when it cannot make an OpenGL context, so
// a child process tries it: a window of the toolkit's own kind is asked to
// create an off-screen context and report its OpenGL version. The child
// writes nothing (its standard error goes nowhere) and leaves no core.
// Returns the child's process id, or -1 when there is no way to ask.
pid_t StartAskingTheToolkit()
{
  const pid_t child = fork();
  if (child == 0)
  {
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDERR_FILENO);
    dup2(nowhere, STDOUT_FILENO);
    const rlimit noCore = { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);
    vtkRenderWindow* window = vtkRenderWindow::New();
    const int supported = window->SupportsOpenGL();
    window->Delete();
    _exit(supported ? 0 : 1);
  }
  return child;
}

// The child's answer: true unless it reports or shows that the toolkit
// cannot render (the first render tells when there was no child).
bool ToolkitCanRender(pid_t child)
{
  if (child < 0)
  {
    return true;
  }
  int status = 0;
  pid_t waited;
  do
  {
    waited = waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
}

DisplayCheck StartDisplayCheck()
{
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name)
  {
    throw program_error(
      std::string("Cannot open a window: DISPLAY is not set, so there is no screen to draw on; ") +
      WayOut);
  }
  // The connection stays open until the process ends. An X server resets
  // itself when its last client leaves, and a connection tried during the
  // reset fails: the toolkit's own connections, in the child below and for
  // the window later, must never find the server without a client.
  static Display* const display = ConnectWithRetries(name);
  if (!display)
  {
    throw program_error(std::string("Cannot open a window on display ") + name + ": " +
                        Blame("no X server answers there"));
  }
  DisplayName = name;
  XSetIOErrorHandler(ServerWentAway);
  return { StartAskingTheToolkit() };
}

void FinishDisplayCheck(DisplayCheck& check)
{
  const pid_t child = check.Child;
  check.Child = -1;
  if (!ToolkitCanRender(child))
  {
    throw program_error("Cannot open a window on display " + DisplayName + ": " +
                        Blame("its X server cannot give the toolkit an OpenGL context (it "
                              "may lack the GLX extension)"));
  }
}
