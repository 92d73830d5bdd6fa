// The progress line: one self-updating line on standard error for each long
// stage of the run (ordering, factorisation, cache fill, frame loop, writing
// the mesh), showing the stage, a percentage and an estimate of the time left.
//
// Nothing is shown unless the program asked for the line (progress_enable)
// and standard error is a terminal, and nothing for a stage that ends within
// its first second; a line that was shown is cleared when the stage ends, so
// the console keeps only the run's own lines.
// Standard output is never written.
//
// A stage is opened by a progress_stage object for the length of its scope;
// the loops of the stage report their work with progress_advance, one call
// per unit of work. progress_advance may be called from several threads at
// once, and costs one atomic addition and one comparison when nothing is due.
#ifndef progress_h
#define progress_h

#include "progress_sink.h"

#include <cstdint>
#include <string>

class progress_stage
{
public:
  // name: what the stage does, for example "Ordering the control points";
  // total: the units of work the stage's loops will report. Stages do not
  // nest: an inner stage is silent while an outer one is open.
  progress_stage(const char* name, std::int64_t total);
  ~progress_stage();
  progress_stage(const progress_stage&) = delete;
  progress_stage& operator=(const progress_stage&) = delete;

private:
  bool Owner; // false for a stage opened inside another
};

// Counts units units of work of the open stage as done; does nothing when no
// stage is open.
void progress_advance(std::int64_t units = 1);

// Text of the line for a stage done / total complete after elapsed seconds,
// for example "Ordering the control points: 42% (about 12 s left)". The time
// left assumes that the rest of the work goes at the rate seen so far.
std::string progress_text(const char* name, std::int64_t done, std::int64_t total, double elapsed);

// Lets the line show. The program calls it at its start; a library user of the
// module's classes, who did not ask for it, sees nothing on standard error.
void progress_enable();

// Whether the line is shown at all: progress_enable() was called and standard
// error is a terminal.
bool progress_shown();

namespace animation
{
namespace fixed
{
// The progress line as the progress sink that the numerics report to.
class progress_line_sink : public core::progress_sink
{
public:
  void Advance(std::int64_t units) override { progress_advance(units); }
};
}
}

#endif
