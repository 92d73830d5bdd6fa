// Envelope Cholesky kernels; the storage scheme is described in envelope.h.
#include "envelope.h"

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

namespace
{
// Row i's bandwidth within a block of rows whose first row is row 0: entries
// left of the block's first column take no part.
int block_band(const int* Xenv, int i)
{
  const int b = Xenv[i + 1] - Xenv[i];
  return b >= i + 1 ? i : b;
}

// Rows solved together by lower_solve_rows, an even number.
constexpr int group = 8;

// Two doubles operated on lane by lane, each lane rounded as a double alone.
typedef double double_pair __attribute__((vector_size(2 * sizeof(double))));

// One step of the forward substitution: row i, with y(0:i-1) final and
// last the position of its last nonzero component.
//   rhs   in/out: rhs[i] is replaced by y(i)
//   last  in/out
void lower_solve_row(int i,
                     const int* Xenv,
                     const float* Env,
                     const float* Diag,
                     float* rhs,
                     int& last)
{
  const int b = block_band(Xenv, i);
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

// The same steps for rows i0 ... i0+group-1 (all below n), with the sums of
// the rows run side by side. The sum of row i0+q runs over its columns lo(q)
// ... i0+q-1 in increasing order; its part left of column i0 needs only
// y(0:i0-1), which is final, so the parts of the group are accumulated
// together, each in its own order. Each row then finishes in turn with its
// columns from i0 on, once y there is known. Whether a row takes its inner
// product at all is decided as lower_solve_row decides it, with `last` as
// the rows before it left it; a sum begun for a row that skips its product
// is dropped. Every stored value is therefore rounded from the same
// operations in the same order as by lower_solve_row.
//   i0    in: first row of the group, with y(0:i0-1) final
//   rhs   in/out: rhs[i0 ... i0+group-1] are replaced by y there
//   last  in/out
void lower_solve_rows(int i0,
                      const int* Xenv,
                      const float* Env,
                      const float* Diag,
                      float* rhs,
                      int& last)
{
  const float* entry[group]; // entry[q][c - lo[q]]: row i0+q, column c
  int lo[group];
  double s[group];
  int common = 0; // first column at which every sum of the group has begun
  for (int q = 0; q < group; ++q)
  {
    const int i = i0 + q;
    const int b = block_band(Xenv, i);
    entry[q] = Env + (Xenv[i + 1] - b - 1);
    lo[q] = i - b;
    s[q] = rhs[i];
    common = lo[q] > common ? lo[q] : common;
  }
  const int start = common < i0 ? common : i0;
  for (int q = 0; q < group; ++q)
  {
    for (int k = lo[q]; k < start; ++k)
    {
      s[q] -= static_cast<double>(entry[q][k - lo[q]]) * rhs[k];
    }
  }
  if (start < i0)
  {
    // Columns start ... i0-1 belong to every row of the group. The sums run
    // two to a vector of doubles, one row per lane: each lane is still its
    // own row's sum, taking its terms in increasing column order.
    const float* r[group];
    for (int q = 0; q < group; ++q)
    {
      r[q] = entry[q] + (start - lo[q]);
    }
    const float* y = rhs + start;
    double_pair sum[group / 2];
    for (int h = 0; h < group / 2; ++h)
    {
      sum[h] = double_pair{ s[2 * h], s[2 * h + 1] };
    }
    for (int k = 0; k < i0 - start; ++k)
    {
      const double_pair yk = { y[k], y[k] };
      for (int h = 0; h < group / 2; ++h)
      {
        const double_pair entries = { r[2 * h][k], r[2 * h + 1][k] };
        sum[h] -= entries * yk;
      }
    }
    for (int h = 0; h < group / 2; ++h)
    {
      s[2 * h] = sum[h][0];
      s[2 * h + 1] = sum[h][1];
    }
  }
  for (int q = 0; q < group; ++q)
  {
    const int i = i0 + q;
    double t = rhs[i];
    rhs[i] = 0.0f;
    if (lo[q] != i && last >= lo[q])
    {
      t = s[q];
      for (int k = lo[q] > i0 ? lo[q] : i0; k < i; ++k)
      {
        t -= static_cast<double>(entry[q][k - lo[q]]) * rhs[k];
      }
    }
    if (t != 0.0)
    {
      rhs[i] = static_cast<float>(t / Diag[i]);
      last = i;
    }
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
  int i = f;
  while (i < n)
  {
    // Rows are taken a group at a time when the first of them takes its
    // inner product; otherwise, near the start of a sparse right-hand side,
    // one at a time.
    const int b = block_band(Xenv, i);
    if (i + group <= n && b != 0 && last >= i - b)
    {
      lower_solve_rows(i, Xenv, Env, Diag, rhs, last);
      i += group;
    }
    else
    {
      lower_solve_row(i, Xenv, Env, Diag, rhs, last);
      ++i;
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
