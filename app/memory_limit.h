// A run under an address-space limit (ulimit -v) that the run outgrows. The
// program's own allocations fail with std::bad_alloc, whose text alone
// ("std::bad_alloc") tells the user nothing; the software OpenGL driver,
// when its allocations fail, crashes or aborts inside itself. Both end here
// with a message that names the limit and the way out.
#ifndef memory_limit_h
#define memory_limit_h

#include <string>

// The message for an allocation that failed: the address-space limit when
// one is set, otherwise the memory the machine has available.
std::string OutOfMemoryMessage();

// When an address-space limit is set, a crash (SIGSEGV, SIGBUS, SIGABRT,
// SIGILL, or an exception that no code catches) removes the outputs in progress, writes a line on standard error
// naming the limit and ends the process with status 1; without a limit,
// nothing is installed and a crash stays a crash to debug.
void ExplainCrashesUnderMemoryLimit();

#endif
