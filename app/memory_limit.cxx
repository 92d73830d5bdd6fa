#include "memory_limit.h"

#include "atomic_write.h"
#include "available_memory.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <exception>

#include <unistd.h>

namespace
{
// The address-space limit in MiB, or -1 when there is none.
long long AddressSpaceLimitMiB()
{
  const std::int64_t limit = address_space_limit_bytes();
  return limit < 0 ? -1 : limit >> 20;
}

// The crash message, written whole by the signal handler: formatted before
// any crash, since the handler may not allocate.
char CrashMessage[512];
std::size_t CrashMessageLength = 0;

void ExplainCrash(int)
{
  RemoveTemporaryFilesNow();
  const ssize_t ignored = write(STDERR_FILENO, CrashMessage, CrashMessageLength);
  (void)ignored;
  _exit(1);
}
}

std::string OutOfMemoryMessage()
{
  const long long limit = AddressSpaceLimitMiB();
  if (limit >= 0)
  {
    return "Out of memory: the run needs more than the " + std::to_string(limit) +
           " MiB of address space that its limit allows (ulimit -v); raise the limit, or give "
           "the run a smaller mesh, fewer control points or a smaller window";
  }
  const std::int64_t available = available_memory_bytes();
  return "Out of memory: the run needs more memory than the machine has available" +
         (available >= 0 ? " (" + std::to_string(available >> 20) + " MiB)" : std::string()) +
         "; give it a smaller mesh, fewer control points or a smaller window";
}

void ExplainCrashesUnderMemoryLimit()
{
  const long long limit = AddressSpaceLimitMiB();
  if (limit < 0)
  {
    return;
  }
  const std::string text =
    "Out of memory: the run crashed with its address space limited to " + std::to_string(limit) +
    " MiB (ulimit -v), most likely in an allocation that failed inside the OpenGL driver, which "
    "does not survive one; the outputs in progress were removed. Raise the limit, or give the run "
    "a smaller mesh or window\n";
  CrashMessageLength = std::min(text.size(), sizeof(CrashMessage));
  std::memcpy(CrashMessage, text.data(), CrashMessageLength);
  for (int signal : { SIGSEGV, SIGBUS, SIGABRT, SIGILL })
  {
    std::signal(signal, ExplainCrash);
  }
  // The driver's shader compiler is C++: a std::bad_alloc it does not catch
  // ends in std::terminate, whose default handler would print the runtime's
  // "terminate called after throwing" before the abort.
  std::set_terminate([] { ExplainCrash(SIGABRT); });
}
