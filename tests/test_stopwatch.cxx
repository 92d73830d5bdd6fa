// The stopwatch measures wall-clock time in milliseconds, from one shared mark.
#include "stopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

TEST(Stopwatch, ReadsWallClockTimeNotProcessorTime)
{
  stopwatch_start();
  // Sleeping uses no processor time, so only a wall clock sees these 300 ms.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  float elapsed = stopwatch_elapsed();
  EXPECT_GE(elapsed, 0.3f - 0.0005f);
  EXPECT_LT(elapsed, 1.0f);
}

TEST(Stopwatch, ReadingsShareOneStartMark)
{
  stopwatch_start();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  float first = stopwatch_elapsed();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  float second = stopwatch_elapsed();
  EXPECT_GE(first, 0.12f - 0.0005f);
  EXPECT_GE(second, first + 0.12f - 0.0005f);
}

TEST(Stopwatch, ResolutionIsOneMillisecond)
{
  EXPECT_FLOAT_EQ(stopwatch_resolution, 0.001f);
  // Readings are whole ticks times 0.001: a thousand times a reading is an integer.
  stopwatch_start();
  std::this_thread::sleep_for(std::chrono::milliseconds(7));
  float elapsed = stopwatch_elapsed();
  float ticks = elapsed * 1000.0f;
  EXPECT_NEAR(ticks, std::round(ticks), 1e-3);
}

TEST(Stopwatch, NewStartResetsTheMark)
{
  stopwatch_start();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  stopwatch_start();
  EXPECT_LT(stopwatch_elapsed(), 0.1f);
}
