// The blocked envelope factorisation envelope_factor (envelope_view.h).
// Entry by entry, with f(j) the first column of row j,
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
// 2. Columns F ... g0-1, NR at a time (J = j0 ... j0+NR-1, j0 a multiple of
//    NR), left to right: every tile subtracts X(F:j0-1, lanes) * B' from its
//    columns J, then solves the triangle of J and divides by the pivots
//    (envelope_tile.h). B holds the rows J of L packed the same way; each
//    block of NR final rows is packed once, when its group is done, and kept
//    until no later row reaches its columns, so that every group and every
//    thread reads the same double-precision copy. Tiles are spread over the
//    threads.
// 3. The group's own columns g0 ... g1-1 and the diagonal: the same tiles
//    subtract the parts left of g0 into C(j, lane); then, row by row, the
//    sums are finished over the columns g0 ... j-1 and divided, and the
//    pivots taken. This part is sequential and short.
// 4. X is written back into the rows of Env, and the group's blocks of rows,
//    now final, are packed for the groups below.
//
// Each sum runs over the terms of the row-by-row method in its order, plus
// the padding's zero terms (envelope_tile.h), whatever the group size, tile
// width and number of threads.
#include "envelope_tile.h"
#include "envelope_view.h"

#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <numeric>
#include <vector>

#include <sys/mman.h>

namespace animation
{
namespace core
{
namespace
{
constexpr int lanes = envelope_tile_lanes;

// Columns of X taken at a time by all the tiles of a thread (rounded down to
// whole blocks of NR): 16 tiles of 8 lanes by 256 columns are 256 KiB of X,
// within a core's second-level cache beside a block of B, 48 KiB.
constexpr int slice = 256;

// Storage for the panels, which the tiles stream through many times: blocks
// of 2 MiB and more are asked of the kernel in huge pages (where it gives
// them), so that the passes over them do not miss in the translation buffers
// every 4 KiB. Growing does not keep the contents; pack_group writes them all.
class panel
{
public:
  double* data() const { return this->Block.get(); }

  // Room for count doubles; throws std::bad_alloc when it cannot be had.
  void resize(std::size_t count)
  {
    const std::size_t bytes = count * sizeof(double);
    if (bytes <= this->Bytes)
    {
      return;
    }
    this->Block.reset();
    this->Bytes = 0;
    const std::size_t rounded = (bytes + huge - 1) / huge * huge;
    void* block = bytes < huge ? std::malloc(bytes) : std::aligned_alloc(huge, rounded);
    if (!block)
    {
      throw std::bad_alloc();
    }
    if (bytes >= huge)
    {
      madvise(block, rounded, MADV_HUGEPAGE);
    }
    this->Block.reset(static_cast<double*>(block));
    this->Bytes = bytes;
  }

private:
  static constexpr std::size_t huge = std::size_t(2) << 20;
  struct free_deleter
  {
    void operator()(double* block) const { std::free(block); }
  };
  std::unique_ptr<double[], free_deleter> Block;
  std::size_t Bytes = 0;
};

// The rows g0 ... g1-1 being factored and their packed panels.
struct row_group
{
  int G0;
  int G1;
  int F;                  // first column of X: a multiple of NR at or left of
                          // the first column of any row of the group
  int Tiles;              // ceil((g1 - g0) / 8); lanes past g1 are zero rows
  int Depth;              // rows of X per tile: g0 - F, plus NR of padding
  int Width;              // rows of C per tile: g1 - g0, plus NR of padding
  std::vector<int> First; // Tiles*8: first column of each lane's row
  std::vector<int> TileF; // Tiles: first column of any lane of the tile
  panel X;                // Tiles*Depth*8: X(k, lane) at [(t*Depth + k-F)*8 + lane]
  panel C;                // Tiles*Width*8: C(j, lane) at [(t*Width + j-g0)*8 + lane]

  double* XTile(int t) const { return this->X.data() + std::int64_t(t) * this->Depth * lanes; }
  double* CTile(int t) const { return this->C.data() + std::int64_t(t) * this->Width * lanes; }
};

// The final rows of L that later groups read, in double precision, packed
// once: block b holds the NR rows J = b*NR ... b*NR+NR-1 as
//
//   Blocks[b][(k - Low[b])*NR + jj] = L(b*NR + jj, k),  k = Low[b] ... b*NR+NR-1,
//
// zero outside row b*NR+jj's envelope and at and right of its diagonal; Low[b]
// is the first column of any row of J. A block is empty while it is not held:
// before its rows are final, and once no later row reaches its columns.
struct packed_rows
{
  int Columns;                             // NR
  std::vector<int> Low;                    // per block
  std::vector<std::vector<double>> Blocks; // per block
  std::vector<std::vector<double>> Spare;  // storage of released blocks, for reuse
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
  g.F -= g.F % nr;
  g.Depth = g0 - g.F + nr;
  g.Width = g1 - g0 + nr;
  g.First.assign(std::size_t(g.Tiles) * lanes, g1);
  g.TileF.assign(g.Tiles, g1);
  g.X.resize(std::size_t(g.Tiles) * g.Depth * lanes);
  g.C.resize(std::size_t(g.Tiles) * g.Width * lanes);
  for (int t = 0; t < g.Tiles; ++t)
  {
    // Lane q holds row g0 + 8t + q, or no row (an empty range of columns).
    const float* row[lanes] = {}; // row[q][k] = A(i,k)
    int from[lanes];
    int to[lanes];
    for (int q = 0; q < lanes; ++q)
    {
      const int i = g0 + t * lanes + q;
      from[q] = i < g1 ? first_column(Xenv, i) : g1;
      to[q] = i < g1 ? i : g1;
      row[q] = i < g1 ? envelope_row(Env, Xenv, i, from[q]) : nullptr;
      g.First[t * lanes + q] = from[q];
      g.TileF[t] = std::min(g.TileF[t], from[q]);
    }
    double* x = g.XTile(t);
    for (int k = g.F; k < g.F + g.Depth; ++k)
    {
      for (int q = 0; q < lanes; ++q)
      {
        *x++ = k >= from[q] && k < std::min(to[q], g0) ? row[q][k] : 0.0;
      }
    }
    double* c = g.CTile(t);
    for (int k = g0; k < g0 + g.Width; ++k)
    {
      for (int q = 0; q < lanes; ++q)
      {
        *c++ = k >= from[q] && k < to[q] ? row[q][k] : k == to[q] && k < g1 ? Diag[k] : 0.0;
      }
    }
  }
}

// B(k, jj) = L(j0+jj, k) for k = low ... j0+nr-1 with low the first column
// of any row of J = j0 ... j0+columns-1, zero outside row j0+jj's envelope,
// at and right of its diagonal and for jj >= columns; the layout of a block
// of packed_rows.
//   B        out: (j0 + nr - low) * nr entries
//   low      out
//   j0       in
//   columns  in: 1 ... nr
//   nr       in
//   Xenv     in: at least j0+columns+1 entries
//   Env      in: the rows J hold L
void pack_block(std::vector<double>& B,
                int& low,
                int j0,
                int columns,
                int nr,
                const int* Xenv,
                const float* Env)
{
  // Column jj of B is row j0+jj of L over the columns from ... to-1.
  const float* row[64] = {};
  int from[64];
  int to[64];
  low = j0;
  for (int jj = 0; jj < nr; ++jj)
  {
    const int j = j0 + jj;
    from[jj] = jj < columns ? first_column(Xenv, j) : j0;
    to[jj] = jj < columns ? j : j0;
    row[jj] = jj < columns ? envelope_row(Env, Xenv, j, from[jj]) : nullptr;
    low = std::min(low, from[jj]);
  }
  B.resize(std::size_t(j0 + nr - low) * nr);
  double* b = B.data();
  for (int k = low; k < j0 + nr; ++k)
  {
    for (int jj = 0; jj < nr; ++jj)
    {
      *b++ = k >= from[jj] && k < to[jj] ? row[jj][k] : 0.0;
    }
  }
}

// Step 2 for the tiles t0 ... t1-1: columns F ... g0-1 of their rows.
//   g       in/out: X of the tiles goes from A to L
//   t0, t1  in: 0 <= t0 <= t1 <= g.Tiles
//   Xenv    n+1 entries, in
//   Env     in: rows before g0 hold L; only they are read
//   Diag    in: entries before g0 hold L's pivots
//   packed  in: the blocks of rows before g0 that are held
//   kernel  in
//   work    work: a block of rows packed here when packed does not hold it
void solve_left_columns(row_group& g,
                        int t0,
                        int t1,
                        const int* Xenv,
                        const float* Env,
                        const float* Diag,
                        const packed_rows& packed,
                        const envelope_tile_kernel& kernel,
                        std::vector<double>& work)
{
  const int nr = kernel.Columns;
  // B of the block J = j0 ... j0+nr-1 and its first column.
  auto panel = [&](int j0, int& low) -> const double*
  {
    const int columns = std::min(nr, g.G0 - j0);
    if (columns == nr && !packed.Blocks[j0 / nr].empty())
    {
      low = packed.Low[j0 / nr];
      return packed.Blocks[j0 / nr].data();
    }
    pack_block(work, low, j0, columns, nr, Xenv, Env);
    return work.data();
  };
  // X(k0:k1-1, lanes of tile t) * B(k0:k1-1, J)' subtracted from the tile's
  // columns J, for the tiles that have entries there.
  auto update = [&](int k0, int k1, int j0, const double* B, int low)
  {
    for (int t = t0; t < t1; ++t)
    {
      const int start = std::max({ k0, low, g.TileF[t] });
      if (start >= k1 || g.TileF[t] >= std::min(j0 + nr, g.G0))
      {
        continue;
      }
      double* x = g.XTile(t);
      kernel.Update(k1 - start,
                    x + std::size_t(start - g.F) * lanes,
                    B + std::size_t(start - low) * nr,
                    x + std::size_t(j0 - g.F) * lanes);
    }
  };
  // The columns are taken a slice K = k0 ... k1-1 of whole blocks at a
  // time: its blocks are finished, then the slice is subtracted from every
  // block right of it, so that the tiles' rows of X over the slice stay in
  // the core's cache while the blocks of B pass. Each sum still takes its
  // columns in increasing order, slice after slice.
  const int width = nr * std::max(1, slice / nr);
  double pivot[64];
  for (int k0 = g.F; k0 < g.G0; k0 += width)
  {
    const int k1 = std::min(g.G0, k0 + width);
    for (int j0 = k0; j0 < k1; j0 += nr)
    {
      int low = j0;
      const double* B = panel(j0, low);
      update(k0, j0, j0, B, low);
      // Then the triangle of J itself, and the division by the pivots.
      const int columns = std::min(nr, g.G0 - j0);
      for (int jj = 0; jj < nr; ++jj)
      {
        pivot[jj] = jj < columns ? Diag[j0 + jj] : 1.0;
      }
      for (int t = t0; t < t1; ++t)
      {
        if (g.TileF[t] >= j0 + columns)
        {
          continue; // no lane of the tile reaches these columns
        }
        double* x = g.XTile(t);
        kernel.Solve(
          0, x, B + std::size_t(j0 - low) * nr, x + std::size_t(j0 - g.F) * lanes, pivot);
      }
    }
    // Columns k0 ... k1-1 of the tiles' rows now hold L.
    for (int j0 = k1; j0 < g.G0; j0 += nr)
    {
      int low = j0;
      const double* B = panel(j0, low);
      update(k0, k1, j0, B, low);
    }
  }
}

// Step 3, first part, for the tiles t0 ... t1-1: C(j, lane) -= the terms of
// columns F ... g0-1, for the group's own columns j.
//   g       in/out: X of every tile holds L (step 2 done for all tiles); C of
//           the tiles t0 ... t1-1 is updated
//   t0, t1  in: 0 <= t0 <= t1 <= g.Tiles
//   kernel  in
//   B       work
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
    // B(k, jj) = X(k, lane of row j0+jj), zero for jj >= columns.
    const double* x[64];
    int low = g.G0;
    for (int jj = 0; jj < nr; ++jj)
    {
      const int j = j0 + jj;
      x[jj] = jj < columns ? g.XTile((j - g.G0) / lanes) + (j - g.G0) % lanes : nullptr;
      low = jj < columns ? std::min(low, std::max(g.F, g.First[j - g.G0])) : low;
    }
    B.resize(std::size_t(depth) * nr);
    double* b = B.data();
    for (int k = 0; k < depth; ++k)
    {
      for (int jj = 0; jj < nr; ++jj)
      {
        *b++ = x[jj] ? x[jj][std::size_t(k) * lanes] : 0.0;
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
    const double* x = g.XTile(t) + (i - g.G0) % lanes;
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
// the square of the bandwidth; a multiple of the tile's lanes and columns,
// so that the groups after the first begin at a block of packed_rows. The
// factor does not depend on it.
//   n        in, >= 1
//   Xenv     n+1 entries, in
//   threads  in, >= 1
//   nr       in: columns of a tile
int group_rows(int n, const int* Xenv, int threads, int nr)
{
  const double mean_band = (Xenv[n] - 1.0) / n;
  const int tiles = static_cast<int>(std::lround(mean_band / 64.0));
  const int rows = lanes * std::max(2 * threads, std::min(tiles, 16 * threads));
  const int unit = std::lcm(lanes, nr);
  return (rows + unit - 1) / unit * unit;
}

// Step 4, second part: packs the blocks b0 ... b1-1, whose rows are final,
// into packed, except those that no row from row `from` on reaches; and
// releases the held blocks left of b0 that no such row reaches.
//   packed  in/out
//   b0, b1  in: blocks of nr rows, (b1 * nr) <= n
//   reach   n+1 entries, in: reach[i] the first column of any row i ... n-1,
//           reach[n] = n
//   from    in: the first row not yet factored
//   Xenv    n+1 entries, in
//   Env     in: the rows of the blocks hold L
void keep_final_rows(packed_rows& packed,
                     int b0,
                     int b1,
                     const std::vector<int>& reach,
                     int from,
                     const int* Xenv,
                     const float* Env)
{
  const int nr = packed.Columns;
  // Block b is read by a later row only if that row's envelope reaches its
  // last row, b*nr + nr - 1.
  auto reached = [&](int b) { return b * nr + nr - 1 >= reach[from]; };
  for (int b = 0; b < b0; ++b)
  {
    if (!packed.Blocks[b].empty() && !reached(b))
    {
      packed.Spare.push_back(std::move(packed.Blocks[b]));
      packed.Blocks[b].clear();
    }
  }
  for (int b = b0; b < b1; ++b)
  {
    if (reached(b) && !packed.Spare.empty())
    {
      packed.Blocks[b] = std::move(packed.Spare.back());
      packed.Spare.pop_back();
    }
  }
  vtkSMPTools::For(b0,
                   b1,
                   1,
                   [&](vtkIdType first, vtkIdType last)
                   {
                     for (int b = static_cast<int>(first); b < last; ++b)
                     {
                       if (reached(b))
                       {
                         pack_block(packed.Blocks[b], packed.Low[b], b * nr, nr, nr, Xenv, Env);
                       }
                     }
                   });
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

// The factorisation itself; throws std::bad_alloc when its work storage
// cannot be obtained.
int factor_groups(const envelope_view& a,
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
  const int nr = kernel.Columns;
  const int rows = group_rows(n, Xenv, threads, nr);
  std::vector<int> reach(std::size_t(n) + 1, n);
  for (int i = n - 1; i >= 0; --i)
  {
    reach[i] = std::min(reach[i + 1], first_column(Xenv, i));
  }
  packed_rows packed{ nr, std::vector<int>(n / nr), std::vector<std::vector<double>>(n / nr), {} };
  vtkSMPThreadLocal<std::vector<double>> work;
  row_group g;
  for (int g0 = 1; g0 < n;)
  {
    // Rows 0 ... g0-1 hold L; packed holds their full blocks that rows from
    // g0 on reach.
    const int g1 = std::min(n, g0 - g0 % rows + rows);
    pack_group(g, g0, g1, Xenv, Env, Diag, nr);
    for_tiles(g.Tiles,
              threads,
              [&](int t0, int t1)
              {
                solve_left_columns(g, t0, t1, Xenv, Env, Diag, packed, kernel, work.Local());
                unpack_left_columns(g, t0, t1, Xenv, Env);
              });
    // Every row of the group now holds L left of column g0.
    for_tiles(g.Tiles,
              threads,
              [&](int t0, int t1) { update_own_columns(g, t0, t1, kernel, work.Local()); });
    finish_own_columns(g, Xenv, Env, Diag, &failed);
    keep_final_rows(packed, g0 / nr, g1 / nr, reach, g1, Xenv, Env);
    advance(progress, envelope_factor_work(Xenv, g0, g1));
    g0 = g1;
  }
  return failed;
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
  try
  {
    return factor_groups(a, kernel, progress);
  }
  catch (const std::bad_alloc&)
  {
    return envelope_no_memory;
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
}
}
