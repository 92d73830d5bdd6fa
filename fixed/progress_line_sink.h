// The program's progress line (progress.h) as the progress sink that the
// core reports to.
#ifndef animation_progress_line_sink_h
#define animation_progress_line_sink_h

#include "progress.h"
#include "progress_sink.h"

namespace animation
{
namespace fixed
{
class progress_line_sink : public core::progress_sink
{
public:
  void Advance(std::int64_t units) override { progress_advance(units); }
};
}
}

#endif
