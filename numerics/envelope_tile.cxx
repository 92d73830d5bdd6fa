// The register tiles of envelope_tile.h, one body (envelope_tile_body.inc)
// on three vector widths. Each instruction set's functions are compiled for
// it alone; the program calls them only where the processor has it.
#include "envelope_tile.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ANIMATION_X86_TILES
#include <immintrin.h>
#endif

namespace animation
{
namespace core
{
namespace
{
// Any processor: two doubles to a vector (SSE2 on x86-64), 8 lanes in four
// vectors, 3 columns, so 12 accumulators.
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

#ifdef ANIMATION_X86_TILES
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
// AVX2 with fused multiply-add: the 8 lanes in two registers, 6 columns, so
// 12 accumulators, the lanes and a broadcast fill 15 of the 16 registers.
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
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx512f,fma"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx512f,fma")
#endif
// AVX-512: the 8 lanes in one register, 24 columns, so 24 accumulators, the
// lanes and a broadcast fill 26 of the 32 registers.
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
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
}

const envelope_tile_kernel& envelope_tile_generic()
{
  return generic::kernel;
}

const envelope_tile_kernel* envelope_tile_avx2()
{
#ifdef ANIMATION_X86_TILES
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
  {
    return &avx2::kernel;
  }
#endif
  return nullptr;
}

const envelope_tile_kernel* envelope_tile_avx512()
{
#ifdef ANIMATION_X86_TILES
  if (__builtin_cpu_supports("avx512f"))
  {
    return &avx512::kernel;
  }
#endif
  return nullptr;
}

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
