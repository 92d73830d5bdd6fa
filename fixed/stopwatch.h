// Millisecond wall-clock stopwatch of the run.
//
// One tick is one millisecond of real (not processor) time, counted from
// process start. The stopwatch keeps a single process-wide start mark that
// the driver and the scene reader share: each stopwatch_start() overwrites it,
// and stopwatch_elapsed() may be read several times against the same mark.
#ifndef stopwatch_h
#define stopwatch_h

// Resolution of the stopwatch in seconds, as the banner reports it.
constexpr float stopwatch_resolution = 0.001f;

// Milliseconds of wall-clock time since process start, as a 32-bit count.
int stopwatch_ticks();

// Stores the current tick count as the start mark.
void stopwatch_start();

// Seconds since the start mark: (ticks - mark) * 0.001 in single precision.
float stopwatch_elapsed();

#endif
