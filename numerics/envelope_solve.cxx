// Envelope Cholesky solves on storage handed to them; the storage scheme and
// the method are described in envelope_view.h.
#include "envelope_view.h"

#include <vtkSMPTools.h>

#include <algorithm>
#include <vector>

namespace animation
{
namespace core
{
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

// A forward substitution in progress: rows before Next are solved, and every
// nonzero component found so far lies at or before Last.
struct lower_progress
{
  int Next;
  int Last;
};

// The first row to solve: rhs[0 ... f-1] are zero, and so are those
// components of the solution; n when there is none (n = 0).
lower_progress lower_start(int n, const float* rhs)
{
  int f = 0;
  while (f < n - 1 && rhs[f] == 0.0f)
  {
    ++f;
  }
  return { f, 0 };
}

// Solves the rows from p.Next on until p.Next >= until (or n).
void lower_advance(int n,
                   const int* Xenv,
                   const float* Env,
                   const float* Diag,
                   float* rhs,
                   lower_progress& p,
                   int until)
{
  const int end = until < n ? until : n;
  int i = p.Next;
  while (i < end)
  {
    // Rows are taken a group at a time when the first of them takes its
    // inner product; otherwise, near the start of a sparse right-hand side,
    // one at a time.
    const int b = block_band(Xenv, i);
    if (i + group <= n && b != 0 && p.Last >= i - b)
    {
      lower_solve_rows(i, Xenv, Env, Diag, rhs, p.Last);
      i += group;
    }
    else
    {
      lower_solve_row(i, Xenv, Env, Diag, rhs, p.Last);
      ++i;
    }
  }
  p.Next = i;
}

// The backward substitution on rows high-1 down to low, which must follow
// rows above high.
void upper_rows(int low, int high, const int* Xenv, const float* Env, const float* Diag, float* rhs)
{
  // Column-oriented: once x[i] is known, its multiples are removed from the
  // components i-b ... i-1 that row i of L couples it with.
  for (int i = high - 1; i >= low; --i)
  {
    if (rhs[i] == 0.0f)
    {
      continue;
    }
    const float s = static_cast<float>(static_cast<double>(rhs[i]) / Diag[i]);
    rhs[i] = s;
    const int b = block_band(Xenv, i);
    const float* row = Env + (Xenv[i + 1] - b - 1);
    float* x = rhs + (i - b);
    for (int k = 0; k < b; ++k)
    {
      x[k] = static_cast<float>(x[k] - static_cast<double>(s) * row[k]);
    }
  }
}

// Rows that several right-hand sides pass through before the next block: a
// block of L small enough to stay in the core's cache between them.
constexpr int rows_in_step = 32;
}

void envelope_lower_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs)
{
  lower_progress p = lower_start(n, rhs);
  lower_advance(n, Xenv, Env, Diag, rhs, p, n);
}

void envelope_upper_solve(int n, const int* Xenv, const float* Env, const float* Diag, float* rhs)
{
  upper_rows(0, n, Xenv, Env, Diag, rhs);
}

void envelope_solve(const envelope_view& a, float* rhs)
{
  envelope_lower_solve(a.n, a.Xenv, a.Env, a.Diag, rhs);
  envelope_upper_solve(a.n, a.Xenv, a.Env, a.Diag, rhs);
}

void envelope_solve_many(const envelope_view& a, int count, float* const* rhs)
{
  const int sets = std::max(1, std::min(count, vtkSMPTools::GetEstimatedNumberOfThreads()));
  // Set s solves the right-hand sides s, s + sets, ... side by side.
  auto solve_set = [&](vtkIdType s0, vtkIdType s1)
  {
    for (vtkIdType s = s0; s < s1; ++s)
    {
      std::vector<lower_progress> progress;
      for (int r = static_cast<int>(s); r < count; r += sets)
      {
        progress.push_back(lower_start(a.n, rhs[r]));
      }
      for (int step = 0; step < a.n; step += rows_in_step)
      {
        for (int r = static_cast<int>(s), q = 0; r < count; r += sets, ++q)
        {
          lower_advance(a.n, a.Xenv, a.Env, a.Diag, rhs[r], progress[q], step + rows_in_step);
        }
      }
      for (int step = a.n; step > 0; step -= rows_in_step)
      {
        for (int r = static_cast<int>(s); r < count; r += sets)
        {
          upper_rows(std::max(0, step - rows_in_step), step, a.Xenv, a.Env, a.Diag, rhs[r]);
        }
      }
    }
  };
  vtkSMPTools::For(0, sets, 1, solve_set);
}
}
}
