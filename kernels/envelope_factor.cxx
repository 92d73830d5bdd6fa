// The blocked envelope factorisation envelope_factor (declared in
// envelope.h).
//
// Row i of L solves L(f:i-1, f:i-1) * l = A(i, f:i-1)' with f = i - b(i),
// and L(i,i) = sqrt(A(i,i) - l'*l). Entry by entry, with f(j) the first
// column of row j,
//
//   L(i,j) = (A(i,j) - sum L(i,k)*L(j,k), k = max(f(i), f(j)) ... j-1) / L(j,j)
//
// accumulated in double precision in increasing k and rounded to float once;
// L(i,j) = 0 when that sum is 0. The rows are taken in groups G = g0 ... g1-1.
// Their entries left of column g0 depend only on the rows before the group,
// which are final, so the group is one triangular solve with many right-hand
// sides, and its lanes are independent:
//
// 1. Panels. Each tile of 8 rows of G is copied, k-major and in double
//    precision, into X(k, lane) for k = F ... g0-1 (F the group's first
//    column), zero outside the row's envelope; X starts as A and ends as L.
// 2. Columns F ... g0-1, NR at a time (J = j0 ... j0+NR-1), left to right:
//    the rows J of L are packed into B the same way, and every tile
//    subtracts X(F:j0-1, lanes) * B' from its columns J, then solves the
//    triangle of J and divides by the pivots (envelope_tile.h). Tiles are
//    spread over the threads; each thread packs the B it uses.
// 3. The group's own columns g0 ... g1-1 and the diagonal: the same tiles
//    subtract the parts left of g0 into C(j, lane); then, row by row, the
//    sums are finished over the columns g0 ... j-1 and divided, and the
//    pivots taken. This part is sequential and short.
// 4. X is written back into the rows of Env.
//
// Each sum runs over the same terms in the same order as the row-by-row
// bordering method with its forward substitution, plus terms 0*y that the
// zero padding adds; for finite y they change no bit. The factor is therefore
// the same whatever the group size, tile width and number of threads.
#include "envelope.h"
#include "envelope_tile.h"
#include "envelope_view.h"

#include <vtkSMPTools.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace animation
{
namespace core
{
namespace
{
constexpr int lanes = envelope_tile_lanes;

// Columns of B taken at a time by all the tiles of a thread: 24 columns of
// B by 256 are 48 KiB, within a core's second-level cache beside the tiles.
constexpr int slice = 256;

// The rows g0 ... g1-1 being factored and their packed panels.
struct row_group
{
  int G0;
  int G1;
  int F;                  // first column of any row of the group
  int Tiles;              // ceil((g1 - g0) / 8); lanes past g1 are zero rows
  int Depth;              // rows of X per tile: g0 - F, plus NR of padding
  int Width;              // rows of C per tile: g1 - g0, plus NR of padding
  std::vector<int> First; // Tiles*8: first column of each lane's row
  std::vector<int> TileF; // Tiles: first column of any lane of the tile
  std::vector<double> X;  // Tiles*Depth*8: X(k, lane) at [(t*Depth + k-F)*8 + lane]
  std::vector<double> C;  // Tiles*Width*8: C(j, lane) at [(t*Width + j-g0)*8 + lane]

  double* XTile(int t) { return this->X.data() + std::int64_t(t) * this->Depth * lanes; }
  double* CTile(int t) { return this->C.data() + std::int64_t(t) * this->Width * lanes; }
};

// First column of row i.
inline int first_column(const int* Xenv, int i)
{
  return i - (Xenv[i + 1] - Xenv[i]);
}

// Row i of the envelope seen as row[k] = entry (i,k), k = f ... i-1, f its first
// column; null for a row without entries, so that no pointer is formed from
// an Env that holds none.
template<typename T>
inline T* envelope_row(T* Env, const int* Xenv, int i, int f)
{
  return f < i ? Env + (Xenv[i] - 1) - f : nullptr;
}

// Step 1: fills the panels of the rows g0 ... g1-1 from A.
//   g       out: X holds A(i, F ... g0-1), C holds A(i, g0 ... i-1) and A(i,i),
//           zero outside each row's envelope and in the padding
//   g0, g1  in: 1 <= g0 < g1 <= n
//   Xenv    n+1 entries, in
//   Env     in: the group's rows hold A
//   Diag    in: the group's entries hold A(i,i)
//   nr      in: columns of a tile
void pack_group(row_group& g,
                int g0,
                int g1,
                const int* Xenv,
                const float* Env,
                const float* Diag,
                int nr)
{
  g.G0 = g0;
  g.G1 = g1;
  g.Tiles = (g1 - g0 + lanes - 1) / lanes;
  g.F = g0;
  for (int i = g0; i < g1; ++i)
  {
    g.F = std::min(g.F, first_column(Xenv, i));
  }
  g.Depth = g0 - g.F + nr;
  g.Width = g1 - g0 + nr;
  g.First.assign(std::size_t(g.Tiles) * lanes, g1);
  g.TileF.assign(g.Tiles, g1);
  g.X.assign(std::size_t(g.Tiles) * g.Depth * lanes, 0.0);
  g.C.assign(std::size_t(g.Tiles) * g.Width * lanes, 0.0);
  for (int i = g0; i < g1; ++i)
  {
    const int t = (i - g0) / lanes;
    const int q = (i - g0) % lanes;
    const int f = first_column(Xenv, i);
    const float* row = envelope_row(Env, Xenv, i, f); // row[k] = A(i,k)
    g.First[i - g0] = f;
    g.TileF[t] = std::min(g.TileF[t], f);
    double* x = g.XTile(t);
    for (int k = f; k < g0; ++k)
    {
      x[(k - g.F) * lanes + q] = row[k];
    }
    double* c = g.CTile(t);
    for (int k = std::max(f, g0); k < i; ++k)
    {
      c[(k - g0) * lanes + q] = row[k];
    }
    c[(i - g0) * lanes + q] = Diag[i];
  }
}

// Step 2 for the tiles t0 ... t1-1: columns F ... g0-1 of their rows.
//   g       in/out: X of the tiles goes from A to L
//   t0, t1  in: 0 <= t0 <= t1 <= g.Tiles
//   Xenv    n+1 entries, in
//   Env     in: rows before g0 hold L; only they are read
//   Diag    in: entries before g0 hold L's pivots
//   kernel  in
//   B       work, at least (g0 - F + nr) * nr entries
void solve_left_columns(row_group& g,
                        int t0,
                        int t1,
                        const int* Xenv,
                        const float* Env,
                        const float* Diag,
                        const envelope_tile_kernel& kernel,
                        std::vector<double>& B)
{
  const int nr = kernel.Columns;
  double pivot[64];
  for (int j0 = g.F; j0 < g.G0; j0 += nr)
  {
    const int columns = std::min(nr, g.G0 - j0);
    int low = j0;
    for (int jj = 0; jj < columns; ++jj)
    {
      low = std::min(low, first_column(Xenv, j0 + jj));
    }
    low = std::max(low, g.F);
    // B(k, jj) = L(j0+jj, k) for k = low ... j0+nr-1, zero outside row
    // j0+jj's envelope and at and right of its diagonal.
    std::fill(B.begin(), B.begin() + std::size_t(j0 + nr - low) * nr, 0.0);
    for (int jj = 0; jj < nr; ++jj)
    {
      pivot[jj] = 1.0;
    }
    for (int jj = 0; jj < columns; ++jj)
    {
      const int j = j0 + jj;
      const int f = first_column(Xenv, j);
      const float* row = envelope_row(Env, Xenv, j, f);
      for (int k = std::max(f, low); k < j; ++k)
      {
        B[std::size_t(k - low) * nr + jj] = row[k];
      }
      pivot[jj] = Diag[j];
    }
    // The sums left of J, a slice of columns at a time for all the tiles,
    // so that the slice of B stays in the core's cache; each sum still
    // takes its columns in increasing order.
    for (int k0 = low; k0 < j0; k0 += slice)
    {
      const int k1 = std::min(j0, k0 + slice);
      for (int t = t0; t < t1; ++t)
      {
        const int start = std::max(k0, g.TileF[t]);
        if (start >= k1 || g.TileF[t] >= j0 + columns)
        {
          continue;
        }
        double* x = g.XTile(t);
        kernel.Update(k1 - start,
                      x + std::size_t(start - g.F) * lanes,
                      B.data() + std::size_t(start - low) * nr,
                      x + std::size_t(j0 - g.F) * lanes);
      }
    }
    // Then the triangle of J itself, and the division by the pivots.
    for (int t = t0; t < t1; ++t)
    {
      if (g.TileF[t] >= j0 + columns)
      {
        continue; // no lane of the tile reaches these columns
      }
      double* x = g.XTile(t);
      kernel.Solve(
        0, x, B.data() + std::size_t(j0 - low) * nr, x + std::size_t(j0 - g.F) * lanes, pivot);
    }
  }
}

// Step 3, first part, for the tiles t0 ... t1-1: C(j, lane) -= the terms of
// columns F ... g0-1, for the group's own columns j.
//   g       in/out: X of every tile holds L (step 2 done for all tiles); C of
//           the tiles t0 ... t1-1 is updated
//   t0, t1  in: 0 <= t0 <= t1 <= g.Tiles
//   kernel  in
//   B       work, at least (g0 - F) * nr entries
void update_own_columns(row_group& g,
                        int t0,
                        int t1,
                        const envelope_tile_kernel& kernel,
                        std::vector<double>& B)
{
  const int nr = kernel.Columns;
  const int depth = g.G0 - g.F;
  for (int j0 = g.G0; j0 < g.G1; j0 += nr)
  {
    const int columns = std::min(nr, g.G1 - j0);
    std::fill(B.begin(), B.begin() + std::size_t(depth) * nr, 0.0);
    int low = g.G0;
    for (int jj = 0; jj < columns; ++jj)
    {
      const int j = j0 + jj;
      const double* x = g.XTile((j - g.G0) / lanes) + (j - g.G0) % lanes;
      low = std::min(low, std::max(g.F, g.First[j - g.G0]));
      for (int k = 0; k < depth; ++k)
      {
        B[std::size_t(k) * nr + jj] = x[std::size_t(k) * lanes];
      }
    }
    for (int t = std::max(t0, (j0 - g.G0) / lanes); t < t1; ++t)
    {
      const int start = std::max(low, g.TileF[t]);
      if (start >= g.G0)
      {
        continue;
      }
      kernel.Update(g.G0 - start,
                    g.XTile(t) + std::size_t(start - g.F) * lanes,
                    B.data() + std::size_t(start - g.F) * nr,
                    g.CTile(t) + std::size_t(j0 - g.G0) * lanes);
    }
  }
}

// Step 3, second part: rows g0 ... g1-1 in turn finish their own columns
// and take their pivots.
//   g      in: C holds the sums left of g0 of the group's own columns
//   Xenv   n+1 entries, in
//   Env    in/out: L(i, g0 ... i-1) is written for each row i of the group
//   Diag   in/out: L(i,i), or A(i,i) left in place on a failed pivot
//   failed  in/out: the first row whose pivot was not positive, or -1
void finish_own_columns(row_group& g, const int* Xenv, float* Env, float* Diag, int* failed)
{
  for (int i = g.G0; i < g.G1; ++i)
  {
    const double* c = g.CTile((i - g.G0) / lanes) + (i - g.G0) % lanes;
    const int f = g.First[i - g.G0];
    float* row = envelope_row(Env, Xenv, i, f); // row[k] = L(i,k)
    for (int j = std::max(f, g.G0); j < i; ++j)
    {
      const int fj = first_column(Xenv, j);
      const float* other = envelope_row(Env, Xenv, j, fj);
      double s = c[std::size_t(j - g.G0) * lanes];
      for (int k = std::max({ g.G0, f, fj }); k < j; ++k)
      {
        s -= static_cast<double>(other[k]) * row[k];
      }
      row[j] = s != 0.0 ? static_cast<float>(s / Diag[j]) : 0.0f;
    }
    double t = c[std::size_t(i - g.G0) * lanes];
    for (int k = std::max(f, g.G0); k < i; ++k)
    {
      t -= static_cast<double>(row[k]) * row[k];
    }
    // A failed pivot leaves Diag[i] at its input value; later rows use it.
    if (t > 0.0)
    {
      Diag[i] = static_cast<float>(std::sqrt(t));
    }
    else
    {
      *failed = *failed < 0 ? i : *failed;
    }
  }
}

// Step 4 for the tiles t0 ... t1-1: L(i, f(i) ... g0-1) from X into Env.
//   g       in: X of the tiles holds L
//   t0, t1  in: 0 <= t0 <= t1 <= g.Tiles
//   Xenv    n+1 entries, in
//   Env     out: the entries left of g0 of the tiles' rows
void unpack_left_columns(const row_group& g, int t0, int t1, const int* Xenv, float* Env)
{
  for (int i = g.G0 + t0 * lanes; i < std::min(g.G1, g.G0 + t1 * lanes); ++i)
  {
    const int t = (i - g.G0) / lanes;
    const double* x = g.X.data() + std::size_t(t) * g.Depth * lanes + (i - g.G0) % lanes;
    const int f = g.First[i - g.G0];
    float* row = envelope_row(Env, Xenv, i, f);
    for (int k = f; k < g.G0; ++k)
    {
      row[k] = static_cast<float>(x[std::size_t(k - g.F) * lanes]);
    }
  }
}

// Rows of a group: enough tiles for every thread, and few enough rows that
// the sequential step 3 stays small beside step 2, whose work grows with
// the square of the bandwidth. The factor does not depend on it.
//   n        in, >= 1
//   Xenv     n+1 entries, in
//   threads  in, >= 1
int group_rows(int n, const int* Xenv, int threads)
{
  const double mean_band = (Xenv[n] - 1.0) / n;
  const int tiles = static_cast<int>(std::lround(mean_band / 64.0));
  return lanes * std::max(2 * threads, std::min(tiles, 16 * threads));
}

// Runs body(t0, t1) over the tiles 0 ... tiles-1 in about one range per
// thread, on the threads of vtkSMPTools.
template<typename Body>
void for_tiles(int tiles, int threads, Body body)
{
  const vtkIdType grain = (tiles + threads - 1) / threads;
  auto range = [&](vtkIdType t0, vtkIdType t1)
  { body(static_cast<int>(t0), static_cast<int>(t1)); };
  vtkSMPTools::For(0, tiles, grain, range);
}
}

int envelope_factor(const envelope_view& a, progress_sink* progress)
{
  return envelope_factor_tiled(a, envelope_tile_select(), progress);
}

int envelope_factor_tiled(const envelope_view& a,
                          const envelope_tile_kernel& kernel,
                          progress_sink* progress)
{
  const int n = a.n;
  const int* Xenv = a.Xenv;
  float* Env = a.Env;
  float* Diag = a.Diag;
  if (!(Diag[0] > 0.0f))
  {
    return 0;
  }
  int failed = -1;
  Diag[0] = static_cast<float>(std::sqrt(static_cast<double>(Diag[0])));
  const int threads = std::max(1, vtkSMPTools::GetEstimatedNumberOfThreads());
  const int rows = group_rows(n, Xenv, threads);
  row_group g;
  for (int g0 = 1; g0 < n; g0 += rows)
  {
    // Rows 0 ... g0-1 hold L.
    const int g1 = std::min(n, g0 + rows);
    pack_group(g, g0, g1, Xenv, Env, Diag, kernel.Columns);
    for_tiles(g.Tiles,
              threads,
              [&](int t0, int t1)
              {
                std::vector<double> B(std::size_t(g.Depth) * kernel.Columns);
                solve_left_columns(g, t0, t1, Xenv, Env, Diag, kernel, B);
                unpack_left_columns(g, t0, t1, Xenv, Env);
              });
    // Every row of the group now holds L left of column g0.
    for_tiles(g.Tiles,
              threads,
              [&](int t0, int t1)
              {
                std::vector<double> B(std::size_t(g.Depth) * kernel.Columns);
                update_own_columns(g, t0, t1, kernel, B);
              });
    finish_own_columns(g, Xenv, Env, Diag, &failed);
    advance(progress, envelope_factor_work(Xenv, g0, g1));
  }
  return failed;
}
}
}

std::int64_t envelope_factor_work(const int* Xenv, int first, int last)
{
  std::int64_t work = 0;
  for (int i = first; i < last; ++i)
  {
    const std::int64_t b = Xenv[i + 1] - Xenv[i];
    work += 1 + b * b;
  }
  return work;
}
