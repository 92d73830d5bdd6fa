// The double-precision peak of this machine, measured: a loop of
// independent fused multiply-adds on every core at once, in the widest
// vectors the register tiles of the factorisation use (envelope_tile.h).
#include "benchmark.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

namespace
{
// Twelve chains of multiply-adds, more than the pipes' latency times their
// number on current processors, so that the pipes never wait; returns a
// value that depends on every chain so that none is left out.
#define ANIMATION_FMA_CHAINS(vec, set1, fma, add, sum)                                             \
  vec a0 = set1(0.0), a1 = set1(1.0), a2 = set1(2.0), a3 = set1(3.0), a4 = set1(4.0),              \
      a5 = set1(5.0), a6 = set1(6.0), a7 = set1(7.0), a8 = set1(8.0), a9 = set1(9.0),              \
      a10 = set1(10.0), a11 = set1(11.0);                                                          \
  const vec m = set1(0.999999), c = set1(1e-7);                                                    \
  for (long k = 0; k < iterations; ++k)                                                            \
  {                                                                                                \
    a0 = fma(a0, m, c);                                                                            \
    a1 = fma(a1, m, c);                                                                            \
    a2 = fma(a2, m, c);                                                                            \
    a3 = fma(a3, m, c);                                                                            \
    a4 = fma(a4, m, c);                                                                            \
    a5 = fma(a5, m, c);                                                                            \
    a6 = fma(a6, m, c);                                                                            \
    a7 = fma(a7, m, c);                                                                            \
    a8 = fma(a8, m, c);                                                                            \
    a9 = fma(a9, m, c);                                                                            \
    a10 = fma(a10, m, c);                                                                          \
    a11 = fma(a11, m, c);                                                                          \
  }                                                                                                \
  return sum(add(add(add(add(a0, a1), add(a2, a3)), add(add(a4, a5), add(a6, a7))),                \
                 add(add(a8, a9), add(a10, a11))))

__attribute__((target("avx512f,fma"))) double Sum512(__m512d v)
{
  double lanes[8];
  _mm512_storeu_pd(lanes, v);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

__attribute__((target("avx512f,fma"))) double Chains512(long iterations)
{
  ANIMATION_FMA_CHAINS(__m512d, _mm512_set1_pd, _mm512_fmadd_pd, _mm512_add_pd, Sum512);
}

__attribute__((target("avx2,fma"))) double Sum256(__m256d v)
{
  double lanes[4];
  _mm256_storeu_pd(lanes, v);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

__attribute__((target("avx2,fma"))) double Chains256(long iterations)
{
  ANIMATION_FMA_CHAINS(__m256d, _mm256_set1_pd, _mm256_fmadd_pd, _mm256_add_pd, Sum256);
}
#undef ANIMATION_FMA_CHAINS

// GFlop/s of chains on threads threads at once, the best of five runs of
// about a fifth of a second: the rate of the moments the cores were free,
// by the clock and by the processor time the threads used.
void Rate(double (*chains)(long), int width, int threads, const std::string& name, Results& results)
{
  const long iterations = 20000000;
  const double flops = 2.0 * 12 * width * iterations * threads;
  double best = 0.0;
  double bestProcessor = 0.0;
  for (int run = 0; run < 5; ++run)
  {
    std::vector<std::thread> workers;
    std::vector<double> sink(threads);
    const double used = ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    for (int t = 0; t < threads; ++t)
    {
      workers.emplace_back([&, t] { sink[t] = chains(iterations); });
    }
    for (std::thread& worker : workers)
    {
      worker.join();
    }
    const double seconds = SecondsSince(start);
    best = std::max(best, flops / seconds * 1e-9);
    bestProcessor = std::max(bestProcessor, flops / (ProcessorSeconds() - used) * 1e-9);
  }
  results.Add(name, best);
  results.Add(name + "_processor", bestProcessor);
}
}

void MeasurePeak(Results& results)
{
  const int cores = std::max(1u, std::thread::hardware_concurrency());
  results.Add("cores", cores);
  if (__builtin_cpu_supports("avx512f"))
  {
    Rate(Chains512, 8, 1, "peak_avx512_one_core", results);
    Rate(Chains512, 8, cores, "peak_avx512_all_cores", results);
  }
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
  {
    Rate(Chains256, 4, 1, "peak_avx2_one_core", results);
    Rate(Chains256, 4, cores, "peak_avx2_all_cores", results);
  }
}
#else
void MeasurePeak(Results& results)
{
  results.Add("cores", std::max(1u, std::thread::hardware_concurrency()));
}
#endif
