// Progress of the long loops of the core, reported to whoever asked for it.
// The core calls Advance() with units of work as they are done, possibly from
// several threads at once; it never shows anything itself.
#ifndef animation_core_progress_sink_h
#define animation_core_progress_sink_h

#include <cstdint>

namespace animation
{
namespace core
{
class progress_sink
{
public:
  virtual ~progress_sink() = default;
  virtual void Advance(std::int64_t units) = 0;
};

// Reports to sink when there is one.
inline void advance(progress_sink* sink, std::int64_t units)
{
  if (sink)
  {
    sink->Advance(units);
  }
}
}
}

#endif
