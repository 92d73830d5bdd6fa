#include "stopwatch.h"

#include <chrono>

namespace
{
using Clock = std::chrono::steady_clock;

// The origin of the tick count; taken during static initialisation, which is
// as close to process start as portable code can get.
const Clock::time_point process_start = Clock::now();

int start_mark = 0;
}

int stopwatch_ticks()
{
  auto since_start = Clock::now() - process_start;
  return static_cast<int>(
    std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

void stopwatch_start()
{
  start_mark = stopwatch_ticks();
}

float stopwatch_elapsed()
{
  return static_cast<float>(stopwatch_ticks() - start_mark) * stopwatch_resolution;
}
