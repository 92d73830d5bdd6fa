// Envelope Cholesky kernels; the storage scheme is described in envelope.h.
#include "envelope.h"

#include <cmath>
#include <cstdio>

envelope_matrix envelope = { 0, nullptr, nullptr, nullptr, 0 };

int envelope_solve(int mode, float* rhs)
{
  envelope_matrix& a = envelope;
  if (mode == 0 || mode == 1)
  {
    envelope_factor(a.n, a.Xenv, a.Env, a.Diag, &a.Iflag);
    if (a.Iflag == 1)
    {
      std::printf("Matrix is not positive  Iflag =%d\n", a.Iflag);
      std::fflush(stdout);
    }
  }
  if (mode == 0 || mode == 2)
  {
    envelope_lower_solve(a.n, a.Xenv, a.Env, a.Diag, rhs);
    envelope_upper_solve(a.n, a.Xenv, a.Env, a.Diag, rhs);
  }
  return a.Iflag;
}

void envelope_factor(int n, const int* Xenv, float* Env, float* Diag, int* Iflag)
{
  if (!(Diag[0] > 0.0f))
  {
    *Iflag = 1;
    return;
  }
  Diag[0] = static_cast<float>(std::sqrt(static_cast<double>(Diag[0])));
  for (int i = 1; i < n; ++i)
  {
    // Rows 0 ... i-1 hold L.
    const int b = Xenv[i + 1] - Xenv[i];
    double t = Diag[i];
    if (b > 0)
    {
      // The block of rows f ... i-1 of L, seen from column f on, is itself an
      // envelope lower triangle: the lower solve clamps the bandwidth of its
      // row k to k, so entries left of column f take no part.
      const int f = i - b;
      float* row = Env + (Xenv[i] - 1);
      envelope_lower_solve(b, Xenv + f, Env, Diag + f, row);
      for (int k = 0; k < b; ++k)
      {
        t -= static_cast<double>(row[k]) * row[k];
      }
    }
    // A failed pivot leaves Diag[i] at its input value; later rows use it.
    if (t > 0.0)
    {
      Diag[i] = static_cast<float>(std::sqrt(t));
    }
    else
    {
      *Iflag = 1;
    }
  }
}

void envelope_lower_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs)
{
  int f = 0;
  while (f < n - 1 && rhs[f] == 0.0f)
  {
    ++f;
  }
  if (f >= n)
  {
    return;
  }
  // rhs[0 ... f-1] are zero, and so are those components of the solution.
  int last = 0;
  for (int i = f; i < n; ++i)
  {
    int b = Xenv[i + 1] - Xenv[i];
    if (b >= i + 1)
    {
      b = i;
    }
    double s = rhs[i];
    rhs[i] = 0.0f;
    // Every nonzero solution component so far lies at or before `last`; the
    // inner product is zero unless the row's envelope reaches back to it.
    if (b != 0 && last >= i - b)
    {
      const float* row = Env + (Xenv[i + 1] - b - 1);
      const float* y = rhs + (i - b);
      for (int k = 0; k < b; ++k)
      {
        s -= static_cast<double>(row[k]) * y[k];
      }
    }
    if (s != 0.0)
    {
      rhs[i] = static_cast<float>(s / Diag[i]);
      last = i;
    }
  }
}

void envelope_upper_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs)
{
  // Column-oriented: once x[i] is known, its multiples are removed from the
  // components i-b ... i-1 that row i of L couples it with.
  for (int i = n - 1; i >= 0; --i)
  {
    if (rhs[i] == 0.0f)
    {
      continue;
    }
    const float s = static_cast<float>(static_cast<double>(rhs[i]) / Diag[i]);
    rhs[i] = s;
    int b = Xenv[i + 1] - Xenv[i];
    if (b >= i + 1)
    {
      b = i;
    }
    const float* row = Env + (Xenv[i + 1] - b - 1);
    float* x = rhs + (i - b);
    for (int k = 0; k < b; ++k)
    {
      x[k] = static_cast<float>(x[k] - static_cast<double>(s) * row[k]);
    }
  }
}
