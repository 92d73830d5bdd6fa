// Register tiles of the blocked envelope factorisation (envelope_factor.cxx).
//
// A tile is 8 rows of L being factored (the lanes) against NR rows of L
// already factored (the columns j0 ... j0+NR-1). Both sides are packed in
// double precision, k-major, zero-padded outside each row's envelope:
//
//   x[k*8 + q]    L(lane q, kstart + k), k = 0 ... kcount-1
//   b[k*NR + jj]  L(j0 + jj, kstart + k), k = 0 ... kcount-1; in a solve the
//                 NR rows k = kcount ... kcount+NR-1 follow, holding the
//                 block's own triangle L(j0 + jj, j0 + kk), zero for kk >= jj
//   c[jj*8 + q]   the running sum of lane q at column j0 + jj
//
// Every sum takes its terms in increasing k, one rounding per term, as the
// row-by-row forward substitution does: a product of two floats is exact in
// double precision, so a fused multiply-add rounds exactly as a multiply and
// a subtraction, and a padded zero term leaves a finite sum unchanged. The
// results are therefore the same bits on every instruction set and for any
// tiling.
#ifndef envelope_tile_h
#define envelope_tile_h

namespace animation
{
namespace core
{
// Rows of L factored side by side in one tile.
constexpr int envelope_tile_lanes = 8;

struct envelope_tile_kernel
{
  // Columns of a tile, NR.
  int Columns;

  // c(jj, q) -= sum over k of x(k, q) * b(k, jj), k = 0 ... kcount-1.
  //   kcount  in, >= 0
  //   x       kcount*8 entries, in
  //   b       kcount*NR entries, in
  //   c       NR*8 entries, in/out
  void (*Update)(int kcount, const double* x, const double* b, double* c);

  // Update, then the block's own triangle, column by column: c(jj, q) less
  // the terms of columns j0 ... j0+jj-1 becomes L(lane q, j0 + jj), the sum
  // divided by pivot[jj] and rounded to float, or 0 when the sum is 0.
  //   b       (kcount+NR)*NR entries, in
  //   pivot   NR entries, in: L(j0+jj, j0+jj); 1 for padding columns
  void (*Solve)(int kcount, const double* x, const double* b, double* c, const double* pivot);
};

// The tiles for this processor: AVX-512 when it has it, otherwise AVX2 with
// fused multiply-add, otherwise SSE2.
const envelope_tile_kernel& envelope_tile_select();

// Each implementation, for tests that compare them.
const envelope_tile_kernel& envelope_tile_generic();
// Null when the processor lacks AVX-512.
const envelope_tile_kernel* envelope_tile_avx512();
// Null when the processor lacks AVX2 or fused multiply-add.
const envelope_tile_kernel* envelope_tile_avx2();
}
}

#endif
