// Householder QR solve of the 4x4 system against direct elimination in double.
#include "qr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{
using Matrix4 = double[4][4];

// Gaussian elimination with partial pivoting of S*x = b.
void DirectSolve(const Matrix4 s, const double b[4], double x[4])
{
  double a[4][5];
  for (int r = 0; r < 4; ++r)
  {
    for (int c = 0; c < 4; ++c)
    {
      a[r][c] = s[r][c];
    }
    a[r][4] = b[r];
  }
  for (int k = 0; k < 4; ++k)
  {
    int pivot = k;
    for (int i = k + 1; i < 4; ++i)
    {
      if (std::fabs(a[i][k]) > std::fabs(a[pivot][k]))
      {
        pivot = i;
      }
    }
    for (int c = 0; c < 5; ++c)
    {
      std::swap(a[k][c], a[pivot][c]);
    }
    for (int i = k + 1; i < 4; ++i)
    {
      const double m = a[i][k] / a[k][k];
      for (int c = k; c < 5; ++c)
      {
        a[i][c] -= m * a[k][c];
      }
    }
  }
  for (int i = 3; i >= 0; --i)
  {
    x[i] = a[i][4];
    for (int j = i + 1; j < 4; ++j)
    {
      x[i] -= a[i][j] * x[j];
    }
    x[i] /= a[i][i];
  }
}

class QrSolve : public ::testing::Test
{
protected:
  // Writes S row by row and b, as the spline solver does.
  void Load(const Matrix4 s, const double b[4])
  {
    for (int r = 0; r < 4; ++r)
    {
      for (int c = 0; c < 4; ++c)
      {
        qr_matrix[4 * r + c] = static_cast<float>(s[r][c]);
      }
      qr_rhs[r] = static_cast<float>(b[r]);
    }
  }

  // The float values Load() stores, in double.
  void Rounded(const Matrix4 s, Matrix4 out)
  {
    for (int r = 0; r < 4; ++r)
    {
      for (int c = 0; c < 4; ++c)
      {
        out[r][c] = static_cast<float>(s[r][c]);
      }
    }
  }
};

TEST_F(QrSolve, IdentityGivesTheRightHandSide)
{
  const Matrix4 identity = { { 1, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 1, 0 }, { 0, 0, 0, 1 } };
  const double b[4] = { 1.5, -2, 3.25, 7 };
  this->Load(identity, b);
  qr_solve();
  for (int r = 0; r < 4; ++r)
  {
    EXPECT_EQ(qr_rhs[r], static_cast<float>(b[r]));
  }
}

TEST_F(QrSolve, IdentityFactorsWithReflectionScalarsTwo)
{
  const Matrix4 identity = { { 1, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 1, 0 }, { 0, 0, 0, 1 } };
  const double b[4] = { 0, 0, 0, 0 };
  this->Load(identity, b);
  float scalars[4] = { 0, 0, 0, 0 };
  qr_factor(4, 4, scalars);
  EXPECT_EQ(scalars[0], 2.0f);
  EXPECT_EQ(scalars[1], 2.0f);
  EXPECT_EQ(scalars[2], 2.0f);
  const float diagonal[4] = { -1, -1, -1, 1 };
  for (int k = 0; k < 4; ++k)
  {
    for (int j = 0; j <= k; ++j)
    {
      EXPECT_EQ(qr_matrix[4 * k + j], j == k ? diagonal[k] : 0.0f) << "R(" << j << "," << k << ")";
    }
  }
}

TEST_F(QrSolve, RandomSystemsAgreeWithDirectElimination)
{
  std::mt19937 random(42);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (int trial = 0; trial < 200; ++trial)
  {
    // Even trials symmetric, as the spline solver's S; odd trials general,
    // which must be solved as S*x = b with S read row by row.
    Matrix4 s;
    for (int r = 0; r < 4; ++r)
    {
      for (int c = 0; c < 4; ++c)
      {
        s[r][c] = value(random);
      }
      s[r][r] += 3.0;
    }
    if (trial % 2 == 0)
    {
      for (int r = 0; r < 4; ++r)
      {
        for (int c = 0; c < r; ++c)
        {
          s[r][c] = s[c][r];
        }
      }
    }
    const double b[4] = { value(random), value(random), value(random), value(random) };
    Matrix4 stored;
    this->Rounded(s, stored);
    double rounded_b[4];
    for (int r = 0; r < 4; ++r)
    {
      rounded_b[r] = static_cast<float>(b[r]);
    }
    double expected[4];
    DirectSolve(stored, rounded_b, expected);
    this->Load(s, b);
    qr_solve();
    for (int r = 0; r < 4; ++r)
    {
      EXPECT_NEAR(qr_rhs[r], expected[r], 1e-5) << "trial " << trial << " x[" << r << "]";
    }
  }
}

TEST_F(QrSolve, ZeroFirstRowEndsFactorisationAndGivesNoFiniteSolution)
{
  const Matrix4 s = { { 0, 0, 0, 0 }, { 1, 2, 0, 1 }, { 0, 1, 3, 0 }, { 2, 0, 1, 4 } };
  const double b[4] = { 1, 2, 3, 4 };
  this->Load(s, b);
  float scalars[4] = { 7, 7, 7, 7 };
  qr_factor(4, 4, scalars);
  EXPECT_EQ(scalars[0], 0.0f);
  EXPECT_EQ(scalars[1], 0.0f);
  EXPECT_EQ(scalars[2], 0.0f);
  // No column was reduced.
  for (int r = 0; r < 4; ++r)
  {
    for (int c = 0; c < 4; ++c)
    {
      EXPECT_EQ(qr_matrix[4 * r + c], static_cast<float>(s[r][c]));
    }
  }

  this->Load(s, b);
  qr_solve();
  bool all_finite = true;
  for (float x : qr_rhs)
  {
    all_finite = all_finite && std::isfinite(x);
  }
  EXPECT_FALSE(all_finite);
}

TEST_F(QrSolve, PlanarPointsSystemGivesNotANumber)
{
  // S of control points with z = 0: its last row and column are zero.
  // So is the z component of its right-hand side, -P*inv(A)*b.
  const Matrix4 s = { { -4, -2, -1, 0 }, { -2, -3, 0.5, 0 }, { -1, 0.5, -2, 0 }, { 0, 0, 0, 0 } };
  const double b[4] = { 1, 2, 3, 0 };
  this->Load(s, b);
  qr_solve();
  for (float x : qr_rhs)
  {
    EXPECT_TRUE(std::isnan(x));
  }
}

TEST_F(QrSolve, ZeroRightHandSideGivesZero)
{
  const Matrix4 s = { { 4, 1, 0, 2 }, { 1, 5, 1, 0 }, { 0, 1, 6, 1 }, { 2, 0, 1, 7 } };
  const double b[4] = { 0, 0, 0, 0 };
  this->Load(s, b);
  qr_solve();
  for (float x : qr_rhs)
  {
    EXPECT_EQ(x, 0.0f);
  }
}

TEST(QrVectorOperations, WorkOnGivenCountOnly)
{
  float x[4] = { 3, 4, 12, 100 };
  float y[4] = { 1, 1, 1, 1 };
  EXPECT_DOUBLE_EQ(vector_norm(x, 3), 13.0);
  EXPECT_EQ(vector_norm(x, 0), 0.0);
  EXPECT_DOUBLE_EQ(vector_dot(x, y, 2), 7.0);
  EXPECT_EQ(vector_dot(x, y, -1), 0.0);
  vector_scale(2.0f, x, 2);
  EXPECT_EQ(x[0], 6.0f);
  EXPECT_EQ(x[1], 8.0f);
  EXPECT_EQ(x[2], 12.0f);
  vector_axpy(-1.0f, x, y, 3);
  EXPECT_EQ(y[0], -5.0f);
  EXPECT_EQ(y[2], -11.0f);
  EXPECT_EQ(y[3], 1.0f);
  vector_scale(0.0f, x, 0);
  vector_axpy(5.0f, x, y, 0);
  EXPECT_EQ(x[0], 6.0f);
  EXPECT_EQ(y[0], -5.0f);
}
}
