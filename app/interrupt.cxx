#include "interrupt.h"

namespace
{
volatile std::sig_atomic_t noted = 0;

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
