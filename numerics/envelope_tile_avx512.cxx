// The register tile on AVX-512: the 8 lanes in one register, 24 columns, so
// 24 accumulators, the lanes and a broadcast fill 26 of the 32 registers.
#include "envelope_tile.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

// The functions below are compiled for AVX-512; the program calls them only
// where the processor has it.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,fma")
#endif

namespace animation
{
namespace core
{
namespace
{
namespace avx512
{
typedef __m512d vec;
constexpr int W = 8;
constexpr int NR = 24;

inline vec load(const double* p)
{
  return _mm512_loadu_pd(p);
}
inline void store(double* p, vec v)
{
  _mm512_storeu_pd(p, v);
}
inline vec splat(double d)
{
  return _mm512_set1_pd(d);
}
inline vec minus_product(vec a, vec b, vec c)
{
  return _mm512_fnmadd_pd(a, b, c);
}
inline vec finish(vec s, double pivot)
{
  // Not equal or unordered, as s != 0 is true for a NaN.
  const __mmask8 nonzero = _mm512_cmp_pd_mask(s, _mm512_setzero_pd(), _CMP_NEQ_UQ);
  const __m256 rounded = _mm512_maskz_cvtpd_ps(0xff, _mm512_div_pd(s, _mm512_set1_pd(pivot)));
  return _mm512_maskz_cvtps_pd(nonzero, rounded);
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

const envelope_tile_kernel* envelope_tile_avx512()
{
  return __builtin_cpu_supports("avx512f") ? &avx512::kernel : nullptr;
}
}
}
#else
namespace animation
{
namespace core
{
const envelope_tile_kernel* envelope_tile_avx512()
{
  return nullptr;
}
}
}
#endif

namespace animation
{
namespace core
{
const envelope_tile_kernel& envelope_tile_select()
{
  static const envelope_tile_kernel* const chosen = envelope_tile_avx512() ? envelope_tile_avx512()
                                                    : envelope_tile_avx2()
                                                      ? envelope_tile_avx2()
                                                      : &envelope_tile_generic();
  return *chosen;
}
}
}
