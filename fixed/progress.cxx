#include "progress.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>

namespace
{
using progress_clock = std::chrono::steady_clock;

// A stage's line appears after this long, and is redrawn at most this often.
constexpr double quiet_seconds = 1.0;
constexpr double redraw_seconds = 0.2;

// The open stage. Done counts the work reported so far; the clock is read
// only when done reaches Check, about every thousandth of the total, so that
// a call per row or per point stays cheap.
struct open_stage
{
  std::atomic<bool> Open{ false };
  const char* Name = "";
  std::int64_t Total = 0;
  progress_clock::time_point Start;
  std::atomic<std::int64_t> Done{ 0 };
  std::atomic<std::int64_t> Check{ 0 };
  std::atomic_flag Drawing = ATOMIC_FLAG_INIT;
  double NextDraw = 0.0; // seconds after Start; guarded by Drawing
  bool Drawn = false;    // guarded by Drawing
};

open_stage stage;

std::atomic<bool> enabled{ false };
}

void progress_enable()
{
  enabled = true;
}

bool progress_shown()
{
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return enabled && terminal;
}

std::string progress_text(const char* name, std::int64_t done, std::int64_t total, double elapsed)
{
  const double fraction =
    total > 0 ? static_cast<double>(done < total ? done : total) / static_cast<double>(total) : 0.0;
  char text[200];
  int length =
    std::snprintf(text, sizeof(text), "%s: %d%%", name, static_cast<int>(fraction * 100.0));
  if (fraction > 0.0 && fraction < 1.0 && length > 0 && length < static_cast<int>(sizeof(text)))
  {
    const double left = elapsed * (1.0 - fraction) / fraction;
    const bool minutes = left >= 120.0;
    std::snprintf(text + length,
                  sizeof(text) - length,
                  " (about %d %s left)",
                  static_cast<int>((minutes ? left / 60.0 : left) + 0.5),
                  minutes ? "min" : "s");
  }
  return text;
}

progress_stage::progress_stage(const char* name, std::int64_t total)
  : Owner(false)
{
  if (!progress_shown() || stage.Open.load())
  {
    return;
  }
  this->Owner = true;
  stage.Name = name;
  stage.Total = total;
  stage.Start = progress_clock::now();
  stage.Done = 0;
  stage.Check = 0;
  stage.NextDraw = quiet_seconds;
  stage.Drawn = false;
  stage.Open.store(true);
}

progress_stage::~progress_stage()
{
  if (!this->Owner)
  {
    return;
  }
  stage.Open.store(false);
  while (stage.Drawing.test_and_set())
  {
  }
  if (stage.Drawn)
  {
    // Back to the start of the line, and erase it.
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  stage.Drawing.clear();
}

void progress_advance(std::int64_t units)
{
  if (!stage.Open.load(std::memory_order_relaxed))
  {
    return;
  }
  const std::int64_t done = stage.Done.fetch_add(units, std::memory_order_relaxed) + units;
  if (done < stage.Check.load(std::memory_order_relaxed) || stage.Drawing.test_and_set())
  {
    return;
  }
  const std::int64_t step = stage.Total / 1000 > 0 ? stage.Total / 1000 : 1;
  stage.Check.store(done + step, std::memory_order_relaxed);
  const double elapsed = std::chrono::duration<double>(progress_clock::now() - stage.Start).count();
  if (stage.Open.load() && elapsed >= stage.NextDraw)
  {
    const std::string text = progress_text(stage.Name, done, stage.Total, elapsed);
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    stage.Drawn = true;
    stage.NextDraw = elapsed + redraw_seconds;
  }
  stage.Drawing.clear();
}
