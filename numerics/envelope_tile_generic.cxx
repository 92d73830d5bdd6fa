// The register tile for any processor: two doubles to a vector (SSE2 on
// x86-64), 8 lanes in four vectors, 3 columns, so 12 accumulators.
#include "envelope_tile.h"

#include <cstring>

namespace animation
{
namespace core
{
namespace
{
namespace generic
{
typedef double vec __attribute__((vector_size(2 * sizeof(double))));
constexpr int W = 2;
constexpr int NR = 3;

inline vec load(const double* p)
{
  vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store(double* p, vec v)
{
  std::memcpy(p, &v, sizeof v);
}
inline vec splat(double d)
{
  return vec{ d, d };
}
inline vec minus_product(vec a, vec b, vec c)
{
  return c - a * b;
}
inline vec finish(vec s, double pivot)
{
  vec r;
  for (int lane = 0; lane < W; ++lane)
  {
    r[lane] = s[lane] != 0.0 ? static_cast<float>(s[lane] / pivot) : 0.0;
  }
  return r;
}

#include "envelope_tile_body.inc"

const envelope_tile_kernel kernel = { NR, update, solve };
}
}

const envelope_tile_kernel& envelope_tile_generic()
{
  return generic::kernel;
}
}
}
