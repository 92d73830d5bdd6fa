// SIGINT and SIGTERM while the frames are made: the run ends after the frame
// in hand, with its mesh and video whole, instead of at once.
#ifndef interrupt_h
#define interrupt_h

#include <csignal>

// While an object lives, SIGINT and SIGTERM only note the signal (unless the
// program was started with the signal ignored); the earlier handlers come
// back when it goes.
class InterruptCatcher
{
public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
  struct sigaction Earlier[2];
};

// The signal noted so far (SIGINT or SIGTERM), or 0.
int PendingInterrupt();

// The exit status of a run ended by signal: 128 + its number (130, 143).
int InterruptedStatus(int signal);

#endif
