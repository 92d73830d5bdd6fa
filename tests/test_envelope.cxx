// Envelope Cholesky kernels against hand-worked cases and an independent
// dense Cholesky factorisation and Gaussian elimination in double precision.
#include "dense_solve.h"
#include "envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
// An envelope matrix owned by the test, bound to the kernels' module state.
struct EnvelopeSystem
{
  std::vector<float> Diag;
  std::vector<int> Xenv;
  std::vector<float> Env;

  void Bind()
  {
    envelope.n = static_cast<int>(this->Diag.size());
    envelope.Diag = this->Diag.data();
    envelope.Xenv = this->Xenv.data();
    envelope.Env = this->Env.data();
    envelope.Iflag = 0;
  }

  int Bandwidth(int i) const { return this->Xenv[i + 1] - this->Xenv[i]; }

  // Element (i, j) of the lower triangle, zero outside the envelope.
  double Lower(int i, int j) const
  {
    if (i == j)
    {
      return this->Diag[i];
    }
    const int first = i - this->Bandwidth(i);
    return j < first ? 0.0 : this->Env[this->Xenv[i + 1] - 1 - (i - j)];
  }

  std::vector<std::vector<double>> Dense() const
  {
    const int n = static_cast<int>(this->Diag.size());
    std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i)
    {
      for (int j = 0; j <= i; ++j)
      {
        a[i][j] = a[j][i] = this->Lower(i, j);
      }
    }
    return a;
  }
};

// Symmetric, strictly diagonally dominant (hence positive definite) matrix
// with random row bandwidths and some zeros stored inside the envelope.
EnvelopeSystem RandomSystem(int n, std::mt19937& random)
{
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  EnvelopeSystem s;
  s.Diag.assign(n, 0.0f);
  s.Xenv.assign(1, 1);
  std::vector<double> dominance(n, 0.0);
  for (int i = 0; i < n; ++i)
  {
    const int b = i == 0 ? 0 : std::uniform_int_distribution<int>(0, i)(random);
    for (int j = i - b; j < i; ++j)
    {
      const float a = unit(random) < 0.2f ? 0.0f : value(random);
      s.Env.push_back(a);
      dominance[i] += std::fabs(a);
      dominance[j] += std::fabs(a);
    }
    s.Xenv.push_back(static_cast<int>(s.Env.size()) + 1);
  }
  for (int i = 0; i < n; ++i)
  {
    s.Diag[i] = static_cast<float>(dominance[i] + 0.5 + unit(random));
  }
  return s;
}

std::vector<std::vector<double>> DenseCholesky(std::vector<std::vector<double>> a)
{
  const int n = static_cast<int>(a.size());
  for (int j = 0; j < n; ++j)
  {
    for (int k = 0; k < j; ++k)
    {
      a[j][j] -= a[j][k] * a[j][k];
    }
    a[j][j] = std::sqrt(a[j][j]);
    for (int i = j + 1; i < n; ++i)
    {
      for (int k = 0; k < j; ++k)
      {
        a[i][j] -= a[i][k] * a[j][k];
      }
      a[i][j] /= a[j][j];
    }
  }
  return a;
}

double MaxAbs(const std::vector<double>& v)
{
  double m = 0.0;
  for (double x : v)
  {
    m = std::max(m, std::fabs(x));
  }
  return m;
}

// The bit pattern of a float, so that comparisons tell -0 from +0.
std::uint32_t Bits(float value)
{
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

class EnvelopeKernels : public ::testing::Test
{
protected:
  void TearDown() override { envelope = { 0, nullptr, nullptr, nullptr, 0 }; }

  // Runs envelope_solve and returns what it printed.
  std::string SolvePrinting(int mode, float* rhs, int* result = nullptr)
  {
    testing::internal::CaptureStdout();
    const int flag = envelope_solve(mode, rhs);
    if (result)
    {
      *result = flag;
    }
    return testing::internal::GetCapturedStdout();
  }

  // The 4x4 matrix with diagonal 4, A(1,0) = 1 and A(3,1) = 2.
  EnvelopeSystem WorkedExample() { return { { 4, 4, 4, 4 }, { 1, 1, 2, 2, 4 }, { 1, 2, 0 } }; }
};

TEST_F(EnvelopeKernels, WorkedExampleFactorsAndSolves)
{
  EnvelopeSystem s = this->WorkedExample();
  s.Bind();
  EXPECT_EQ(this->SolvePrinting(1, nullptr), "");
  EXPECT_EQ(envelope.Iflag, 0);
  EXPECT_FLOAT_EQ(s.Diag[0], 2.0f);
  EXPECT_FLOAT_EQ(s.Diag[1], static_cast<float>(std::sqrt(3.75)));
  EXPECT_FLOAT_EQ(s.Diag[2], 2.0f);
  EXPECT_FLOAT_EQ(s.Diag[3], static_cast<float>(std::sqrt(4.0 - 4.0 / 3.75)));
  EXPECT_FLOAT_EQ(s.Env[0], 0.5f);
  EXPECT_FLOAT_EQ(s.Env[1], static_cast<float>(2.0 / std::sqrt(3.75)));
  EXPECT_EQ(s.Env[2], 0.0f);

  float rhs[4] = { 1, 2, 3, 4 };
  EXPECT_EQ(envelope_solve(2, rhs), 0);
  const double expected[4] = { 3.0 / 11.0, -1.0 / 11.0, 3.0 / 4.0, 23.0 / 22.0 };
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_NEAR(rhs[i], expected[i], 1e-6 * std::fabs(expected[i])) << "x[" << i << "]";
  }
}

TEST_F(EnvelopeKernels, ModeZeroFactorsAndSolvesInOneCall)
{
  EnvelopeSystem s = this->WorkedExample();
  s.Bind();
  float rhs[4] = { 1, 2, 3, 4 };
  EXPECT_EQ(envelope_solve(0, rhs), 0);
  EXPECT_FLOAT_EQ(s.Diag[1], static_cast<float>(std::sqrt(3.75)));
  EXPECT_NEAR(rhs[0], 3.0 / 11.0, 1e-6);
  EXPECT_NEAR(rhs[3], 23.0 / 22.0, 1e-6);
}

TEST_F(EnvelopeKernels, RandomEnvelopesFactorLikeDenseCholesky)
{
  std::mt19937 random(20261209);
  for (int trial = 0; trial < 40; ++trial)
  {
    const int n = 1 + trial * 3 % 61;
    EnvelopeSystem s = RandomSystem(n, random);
    const auto expected = DenseCholesky(s.Dense());
    s.Bind();
    envelope_solve(1, nullptr);
    ASSERT_EQ(envelope.Iflag, 0) << "trial " << trial;
    for (int i = 0; i < n; ++i)
    {
      for (int j = 0; j <= i; ++j)
      {
        // Outside the envelope the dense factor is zero too: no fill-in.
        EXPECT_NEAR(s.Lower(i, j), expected[i][j], 1e-5 * (1.0 + std::fabs(expected[i][j])))
          << "trial " << trial << " L(" << i << "," << j << ")";
      }
    }
  }
}

TEST_F(EnvelopeKernels, RandomEnvelopesSolveLikeGaussianElimination)
{
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  for (int trial = 0; trial < 40; ++trial)
  {
    const int n = 1 + trial * 7 % 80;
    EnvelopeSystem s = RandomSystem(n, random);
    const auto dense = s.Dense();
    s.Bind();
    envelope_solve(1, nullptr);
    ASSERT_EQ(envelope.Iflag, 0);

    // A full right-hand side, one with a zero leading half and scattered
    // zeros, and unit vectors at the end and in the middle: the solves skip
    // the zeros differently in each.
    std::vector<std::vector<float>> rhss(4, std::vector<float>(n, 0.0f));
    for (int i = 0; i < n; ++i)
    {
      rhss[0][i] = value(random);
      rhss[1][i] = (i < n / 2 || i % 3 == 0) ? 0.0f : value(random);
    }
    rhss[2][n - 1] = 1.0f;
    rhss[3][n / 2] = -3.0f;
    for (auto& rhs : rhss)
    {
      const std::vector<double> b(rhs.begin(), rhs.end());
      const auto expected = DenseSolve(dense, b);
      envelope_solve(2, rhs.data());
      const double scale = std::max(MaxAbs(expected), 1e-30);
      for (int i = 0; i < n; ++i)
      {
        EXPECT_NEAR(rhs[i], expected[i], 2e-6 * scale) << "trial " << trial << " x[" << i << "]";
      }
    }
  }
}

TEST_F(EnvelopeKernels, BlockSolveUsesOnlyColumnsInsideTheRowsEnvelope)
{
  // Row 3 begins at column 2; row 2 begins at column 0, so its entry in
  // column 0 and 1 must not enter row 3's block solve.
  EnvelopeSystem s{ { 7, 7, 7, 7 }, { 1, 1, 2, 4, 5 }, { 1, 2, -1, 3 } };
  const auto expected = DenseCholesky(s.Dense());
  s.Bind();
  envelope_solve(1, nullptr);
  ASSERT_EQ(envelope.Iflag, 0);
  for (int i = 0; i < 4; ++i)
  {
    for (int j = 0; j <= i; ++j)
    {
      EXPECT_NEAR(s.Lower(i, j), expected[i][j], 1e-6) << i << "," << j;
    }
  }
}

TEST_F(EnvelopeKernels, ZeroRightHandSideStaysZeroWithoutDividing)
{
  // A zero pivot would turn any division into a NaN.
  EnvelopeSystem s{ { 0, 0, 0 }, { 1, 1, 2, 4 }, { 1, 1, 1 } };
  s.Bind();
  float rhs[3] = { 0, 0, 0 };
  EXPECT_EQ(envelope_solve(2, rhs), 0);
  for (float x : rhs)
  {
    EXPECT_EQ(x, 0.0f);
    EXPECT_FALSE(std::signbit(x));
  }
}

TEST_F(EnvelopeKernels, SingleEquationDividesTwiceBySquareRoot)
{
  EnvelopeSystem s{ { 9 }, { 1, 1 }, {} };
  s.Bind();
  float rhs = 18;
  EXPECT_EQ(envelope_solve(0, &rhs), 0);
  EXPECT_EQ(s.Diag[0], 3.0f);
  EXPECT_EQ(rhs, 2.0f);
}

TEST_F(EnvelopeKernels, DiagonalMatrixTakesSquareRoots)
{
  EnvelopeSystem s{ { 4, 9, 16, 0.25f }, { 1, 1, 1, 1, 1 }, {} };
  s.Bind();
  float rhs[4] = { 8, 18, 32, 1 };
  EXPECT_EQ(envelope_solve(0, rhs), 0);
  EXPECT_EQ(s.Diag, (std::vector<float>{ 2, 3, 4, 0.5f }));
  EXPECT_EQ(rhs[0], 2.0f);
  EXPECT_EQ(rhs[1], 2.0f);
  EXPECT_EQ(rhs[2], 2.0f);
  EXPECT_EQ(rhs[3], 4.0f);
}

TEST_F(EnvelopeKernels, NonPositiveFirstPivotStopsAndReportsOnce)
{
  for (float first : { 0.0f, -4.0f })
  {
    EnvelopeSystem s{ { first, 4 }, { 1, 1, 2 }, { 1 } };
    const EnvelopeSystem before = s;
    s.Bind();
    int flag = 0;
    EXPECT_EQ(this->SolvePrinting(1, nullptr, &flag), "Matrix is not positive  Iflag =1\n");
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(envelope.Iflag, 1);
    EXPECT_EQ(s.Diag, before.Diag);
    EXPECT_EQ(s.Env, before.Env);
  }
}

TEST_F(EnvelopeKernels, ModeZeroStillSolvesAfterFailedFactorisation)
{
  EnvelopeSystem s{ { -4 }, { 1, 1 }, {} };
  s.Bind();
  float rhs = 8;
  int flag = 0;
  EXPECT_EQ(this->SolvePrinting(0, &rhs, &flag), "Matrix is not positive  Iflag =1\n");
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(s.Diag[0], -4.0f);
  EXPECT_EQ(rhs, 0.5f); // 8 / -4 / -4 with the unfactored diagonal
}

TEST_F(EnvelopeKernels, FailureInRowThreeKeepsItsPivotAndFactorsLaterRows)
{
  // Tridiagonal: rows 0-2 factor, L(3,2) = 2 leaves 2 - 4 < 0 at row 3, and
  // row 4 is factored with the unchanged Diag[3] = 2.
  EnvelopeSystem s{ { 1, 1, 1, 2, 4 }, { 1, 1, 1, 1, 2, 3 }, { 2, 0.5f } };
  s.Bind();
  int flag = 0;
  EXPECT_EQ(this->SolvePrinting(1, nullptr, &flag), "Matrix is not positive  Iflag =1\n");
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(s.Diag[2], 1.0f);
  EXPECT_EQ(s.Env[0], 2.0f);
  EXPECT_EQ(s.Diag[3], 2.0f);
  EXPECT_EQ(s.Env[1], 0.25f);
  EXPECT_FLOAT_EQ(s.Diag[4], static_cast<float>(std::sqrt(4.0 - 0.0625)));
}

TEST_F(EnvelopeKernels, SolveModeNeitherFactorsNorPrints)
{
  EnvelopeSystem s{ { -1 }, { 1, 1 }, {} };
  s.Bind();
  float rhs = 3;
  EXPECT_EQ(this->SolvePrinting(2, &rhs), "");
  EXPECT_EQ(envelope.Iflag, 0);
  EXPECT_EQ(rhs, 3.0f); // divided twice by -1
}

TEST_F(EnvelopeKernels, UnknownModeChangesNothing)
{
  EnvelopeSystem s = this->WorkedExample();
  const EnvelopeSystem before = s;
  s.Bind();
  envelope.Iflag = 1;
  float rhs[4] = { 1, 2, 3, 4 };
  int flag = 0;
  EXPECT_EQ(this->SolvePrinting(3, rhs, &flag), "");
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(s.Diag, before.Diag);
  EXPECT_EQ(s.Env, before.Env);
  EXPECT_EQ(std::vector<float>(rhs, rhs + 4), (std::vector<float>{ 1, 2, 3, 4 }));
}

TEST_F(EnvelopeKernels, SolvesClampBandwidthToRowIndex)
{
  // Row 1 claims two entries; only the one in column 0 exists in L.
  EnvelopeSystem s{ { 2, 2 }, { 1, 1, 3 }, { 7, 1 } };
  s.Bind();
  float lower[2] = { 2, 3 };
  envelope_lower_solve(2, s.Xenv.data(), s.Env.data(), s.Diag.data(), lower);
  EXPECT_EQ(lower[0], 1.0f);
  EXPECT_EQ(lower[1], 1.0f); // (3 - 1*1) / 2
  float upper[2] = { 2, 4 };
  envelope_upper_solve(2, s.Xenv.data(), s.Env.data(), s.Diag.data(), upper);
  EXPECT_EQ(upper[1], 2.0f);
  EXPECT_EQ(upper[0], 0.0f); // (2 - 2*1) / 2
}
// The factor and the solves in single precision on a dense array, each inner
// product accumulated in double precision over increasing columns and
// rounded once when stored, as the envelope algorithm specifies.
struct ColumnOrderReference
{
  int N;
  std::vector<std::vector<float>> L; // lower triangle, zero outside the envelope
  std::vector<int> First;            // first column of each row's envelope

  explicit ColumnOrderReference(const EnvelopeSystem& s)
    : N(static_cast<int>(s.Diag.size()))
    , L(N, std::vector<float>(N, 0.0f))
  {
    for (int i = 0; i < this->N; ++i)
    {
      this->First.push_back(i - s.Bandwidth(i));
      for (int j = this->First[i]; j <= i; ++j)
      {
        this->L[i][j] = static_cast<float>(s.Lower(i, j));
      }
    }
  }

  void Factor()
  {
    for (int i = 0; i < this->N; ++i)
    {
      for (int j = this->First[i]; j < i; ++j)
      {
        double s = this->L[i][j];
        for (int k = std::max(this->First[i], this->First[j]); k < j; ++k)
        {
          s -= static_cast<double>(this->L[j][k]) * this->L[i][k];
        }
        this->L[i][j] = s != 0.0 ? static_cast<float>(s / this->L[j][j]) : 0.0f;
      }
      double t = this->L[i][i];
      for (int k = this->First[i]; k < i; ++k)
      {
        t -= static_cast<double>(this->L[i][k]) * this->L[i][k];
      }
      this->L[i][i] = static_cast<float>(std::sqrt(t));
    }
  }

  void Solve(std::vector<float>& x) const
  {
    for (int i = 0; i < this->N; ++i)
    {
      double s = x[i];
      for (int k = this->First[i]; k < i; ++k)
      {
        s -= static_cast<double>(this->L[i][k]) * x[k];
      }
      x[i] = s != 0.0 ? static_cast<float>(s / this->L[i][i]) : 0.0f;
    }
    for (int i = this->N - 1; i >= 0; --i)
    {
      if (x[i] != 0.0f)
      {
        x[i] = static_cast<float>(static_cast<double>(x[i]) / this->L[i][i]);
        for (int k = this->First[i]; k < i; ++k)
        {
          x[k] = static_cast<float>(x[k] - static_cast<double>(x[i]) * this->L[i][k]);
        }
      }
    }
  }
};

TEST_F(EnvelopeKernels, EveryStoredValueIsRoundedFromSumsInColumnOrder)
{
  // Long rows, so that the forward substitution takes its rows in groups,
  // and right-hand sides that are full, zero in their leading part, or
  // scattered: the stored bits must not depend on how the work is arranged.
  std::mt19937 random(4);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  for (int trial = 0; trial < 30; ++trial)
  {
    const int n = 20 + trial * 11 % 90;
    EnvelopeSystem s = RandomSystem(n, random);
    ColumnOrderReference reference(s);
    reference.Factor();
    s.Bind();
    envelope_solve(1, nullptr);
    ASSERT_EQ(envelope.Iflag, 0);
    for (int i = 0; i < n; ++i)
    {
      for (int j = reference.First[i]; j <= i; ++j)
      {
        ASSERT_EQ(Bits(static_cast<float>(s.Lower(i, j))), Bits(reference.L[i][j]))
          << "trial " << trial << " L(" << i << "," << j << ")";
      }
    }
    for (int kind = 0; kind < 3; ++kind)
    {
      std::vector<float> rhs(n, 0.0f);
      for (int i = 0; i < n; ++i)
      {
        const bool zero = (kind == 1 && i < n / 3) || (kind == 2 && i % 4 != 0);
        rhs[i] = zero ? 0.0f : value(random);
      }
      std::vector<float> expected = rhs;
      reference.Solve(expected);
      envelope_solve(2, rhs.data());
      for (int i = 0; i < n; ++i)
      {
        ASSERT_EQ(Bits(rhs[i]), Bits(expected[i])) << "trial " << trial << " x[" << i << "]";
      }
    }
  }
}
}
