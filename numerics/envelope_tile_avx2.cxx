// The register tile on AVX2 with fused multiply-add: the 8 lanes in two
// registers, 6 columns, so 12 accumulators, the lanes and a broadcast fill
// 15 of the 16 registers.
#include "envelope_tile.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

// The functions below are compiled for AVX2; the program calls them only
// where the processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

namespace animation
{
namespace core
{
namespace
{
namespace avx2
{
typedef __m256d vec;
constexpr int W = 4;
constexpr int NR = 6;

inline vec load(const double* p)
{
  return _mm256_loadu_pd(p);
}
inline void store(double* p, vec v)
{
  _mm256_storeu_pd(p, v);
}
inline vec splat(double d)
{
  return _mm256_set1_pd(d);
}
inline vec minus_product(vec a, vec b, vec c)
{
  return _mm256_fnmadd_pd(a, b, c);
}
inline vec finish(vec s, double pivot)
{
  // Not equal or unordered, as s != 0 is true for a NaN.
  const vec nonzero = _mm256_cmp_pd(s, _mm256_setzero_pd(), _CMP_NEQ_UQ);
  const __m128 rounded = _mm256_cvtpd_ps(_mm256_div_pd(s, _mm256_set1_pd(pivot)));
  return _mm256_and_pd(nonzero, _mm256_cvtps_pd(rounded));
}

#include "envelope_tile_body.inc"

const envelope_tile_kernel kernel = { NR, update, solve };
}
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const envelope_tile_kernel* envelope_tile_avx2()
{
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? &avx2::kernel : nullptr;
}
}
}
#else
namespace animation
{
namespace core
{
const envelope_tile_kernel* envelope_tile_avx2()
{
  return nullptr;
}
}
}
#endif
