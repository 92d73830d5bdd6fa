#include "interrupt.h"

#include <atomic>

namespace
{
// Set by the handler, which may run on any thread of the process (the
// toolkit's worker threads included), and read by the frame loop: a lock-free
// atomic is safe in a handler and seen by every thread.
std::atomic<int> noted{ 0 };
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

const int caught[2] = { SIGINT, SIGTERM };

extern "C" void NoteSignal(int signal)
{
  noted = signal;
}
}

InterruptCatcher::InterruptCatcher()
{
  struct sigaction action = {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress go on: the frame in hand is finished.
  action.sa_flags = SA_RESTART;
  for (int k = 0; k < 2; ++k)
  {
    sigaction(caught[k], &action, &this->Earlier[k]);
    // A signal ignored when the program started (a background job's SIGINT)
    // stays ignored.
    if (this->Earlier[k].sa_handler == SIG_IGN)
    {
      sigaction(caught[k], &this->Earlier[k], nullptr);
    }
  }
}

InterruptCatcher::~InterruptCatcher()
{
  for (int k = 0; k < 2; ++k)
  {
    sigaction(caught[k], &this->Earlier[k], nullptr);
  }
}

int PendingInterrupt()
{
  return noted;
}

int InterruptedStatus(int signal)
{
  return 128 + signal;
}
