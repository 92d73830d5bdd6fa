// The blocked forms of the envelope kernels against their plain definitions,
// bit for bit: the tiled factorisation against the row-by-row factor, with
// every tile implementation this processor has, on one thread and several,
// for matrices whose groups and tiles end in tails; and the solves of many
// right-hand sides in step against each solved alone.
#include "envelope.h"
#include "envelope_tile.h"

#include <gtest/gtest.h>

#include <vtkSMPTools.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace
{
namespace core = animation::core;

struct Envelope
{
  std::vector<float> Diag;
  std::vector<int> Xenv;
  std::vector<float> Env;
};

// Diagonally dominant matrix whose row bandwidths come from band(i), with a
// fifth of the stored entries zero.
template<typename Band>
Envelope MakeEnvelope(int n, std::mt19937& random, Band band)
{
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  Envelope a;
  a.Xenv.push_back(1);
  std::vector<double> weight(n, 0.0);
  for (int i = 0; i < n; ++i)
  {
    const int b = i == 0 ? 0 : std::min(i, band(i));
    for (int j = i - b; j < i; ++j)
    {
      const float entry = random() % 5 == 0 ? 0.0f : value(random);
      a.Env.push_back(entry);
      weight[i] += std::fabs(entry);
      weight[j] += std::fabs(entry);
    }
    a.Xenv.push_back(static_cast<int>(a.Env.size()) + 1);
  }
  for (int i = 0; i < n; ++i)
  {
    a.Diag.push_back(static_cast<float>(weight[i] + 1.0));
  }
  return a;
}

// The factor by its definition: row after row, each entry's sum in double
// precision over increasing columns, rounded once.
Envelope DefinitionFactor(Envelope a)
{
  const int n = static_cast<int>(a.Diag.size());
  auto first = [&](int i) { return i - (a.Xenv[i + 1] - a.Xenv[i]); };
  auto at = [&](int i, int k) -> float& { return a.Env[a.Xenv[i] - 1 + (k - first(i))]; };
  for (int i = 0; i < n; ++i)
  {
    for (int j = first(i); j < i; ++j)
    {
      double s = at(i, j);
      for (int k = std::max(first(i), first(j)); k < j; ++k)
      {
        s -= static_cast<double>(at(j, k)) * at(i, k);
      }
      at(i, j) = s != 0.0 ? static_cast<float>(s / a.Diag[j]) : 0.0f;
    }
    double t = a.Diag[i];
    for (int k = first(i); k < i; ++k)
    {
      t -= static_cast<double>(at(i, k)) * at(i, k);
    }
    a.Diag[i] = static_cast<float>(std::sqrt(t));
  }
  return a;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
  // An empty vector's data() may be null, which memcmp must not be given.
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

std::vector<const core::envelope_tile_kernel*> Kernels()
{
  std::vector<const core::envelope_tile_kernel*> kernels = { &core::envelope_tile_generic() };
  for (const core::envelope_tile_kernel* wide :
       { core::envelope_tile_avx2(), core::envelope_tile_avx512() })
  {
    if (wide)
    {
      kernels.push_back(wide);
    }
  }
  return kernels;
}

class EnvelopeFactor : public ::testing::Test
{
protected:
  void TearDown() override { vtkSMPTools::Initialize(0); }

  // Factors a with every kernel on 1 and on 3 threads and compares each
  // factor with the definition.
  void ExpectDefinitionBits(const Envelope& a, const char* what)
  {
    const Envelope expected = DefinitionFactor(a);
    for (int threads : { 1, 3 })
    {
      vtkSMPTools::Initialize(threads);
      for (const core::envelope_tile_kernel* kernel : Kernels())
      {
        Envelope l = a;
        int flag = 0;
        envelope_factor_tiled(static_cast<int>(l.Diag.size()),
                              l.Xenv.data(),
                              l.Env.data(),
                              l.Diag.data(),
                              &flag,
                              *kernel);
        EXPECT_EQ(flag, 0);
        EXPECT_TRUE(SameBits(l.Env, expected.Env) && SameBits(l.Diag, expected.Diag))
          << what << ", n = " << a.Diag.size() << ", " << threads << " threads, " << kernel->Columns
          << " columns a tile";
      }
    }
  }
};

TEST_F(EnvelopeFactor, TileAndGroupTailsGiveTheDefinitionsBits)
{
  // Sizes around the tile's 8 lanes and the kernels' 3, 6 and 24 columns.
  std::mt19937 random(10);
  for (int n : { 1, 2, 7, 8, 9, 23, 25, 47, 61, 130, 301 })
  {
    ExpectDefinitionBits(
      MakeEnvelope(n, random, [&](int i) { return static_cast<int>(random() % (i + 1)); }),
      "random bandwidths");
  }
}

TEST_F(EnvelopeFactor, RowsOfBandwidthZeroAndOneInsideTilesGiveTheDefinitionsBits)
{
  std::mt19937 random(11);
  for (int n : { 40, 157, 400 })
  {
    // Long rows with rows of bandwidth 0 and 1 between them, in runs and
    // alone, so that tiles mix rows that start far left with rows that start
    // at or just before their diagonal.
    ExpectDefinitionBits(MakeEnvelope(n,
                                      random,
                                      [&](int)
                                      {
                                        const int kind = static_cast<int>(random() % 4);
                                        return kind < 2 ? kind
                                                        : 30 + static_cast<int>(random() % 90);
                                      }),
                         "bandwidths 0, 1 and long");
    ExpectDefinitionBits(MakeEnvelope(n, random, [](int i) { return i % 11 < 6 ? 0 : 1; }),
                         "bandwidths 0 and 1 only");
  }
}

TEST_F(EnvelopeFactor, WideBandOnManyThreadsGivesTheDefinitionsBits)
{
  // Bandwidth near 600: several tiles a group and many column blocks.
  std::mt19937 random(12);
  ExpectDefinitionBits(
    MakeEnvelope(900, random, [&](int) { return 500 + static_cast<int>(random() % 200); }),
    "wide band");
}

TEST(EnvelopeSolveMany, EachRightHandSideGetsTheBitsOfItsOwnSolve)
{
  std::mt19937 random(13);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  Envelope a = MakeEnvelope(300, random, [&](int) { return static_cast<int>(random() % 120); });
  const int n = static_cast<int>(a.Diag.size());
  envelope = { n, a.Diag.data(), a.Xenv.data(), a.Env.data(), 0 };
  envelope_solve(1, nullptr);
  // Full, zero in the leading part, scattered, and all zero.
  std::vector<std::vector<float>> alone(7, std::vector<float>(n, 0.0f));
  for (int r = 0; r < 6; ++r)
  {
    for (int i = 0; i < n; ++i)
    {
      const bool zero = (r % 3 == 1 && i < n / 2) || (r % 3 == 2 && i % 5 != 0);
      alone[r][i] = zero ? 0.0f : value(random);
    }
  }
  const std::vector<std::vector<float>> given = alone;
  for (std::vector<float>& b : alone)
  {
    envelope_solve(2, b.data());
  }
  for (int threads : { 1, 3 })
  {
    vtkSMPTools::Initialize(threads);
    std::vector<std::vector<float>> together = given;
    std::vector<float*> rhs;
    for (std::vector<float>& b : together)
    {
      rhs.push_back(b.data());
    }
    envelope_solve_many(static_cast<int>(rhs.size()), rhs.data());
    for (std::size_t r = 0; r < rhs.size(); ++r)
    {
      EXPECT_TRUE(SameBits(together[r], alone[r]))
        << "right-hand side " << r << ", " << threads << " threads";
    }
  }
  vtkSMPTools::Initialize(0);
  envelope = { 0, nullptr, nullptr, nullptr, 0 };
}
}
