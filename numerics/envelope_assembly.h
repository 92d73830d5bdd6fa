// Assembly of the interpolation matrix A of the control points in envelope
// storage (the layout of envelope_view.h).
//
// With p(i) the point at position i of the well-ordered list and phi(r) one
// of the basis functions of basis_function.h for r < R and 0 otherwise (both
// give phi(0) = 1 and the same sparsity), A(i,i) = 1 and, for j < i within
// the neighbour window i - max <= j, A(i,j) = phi(|p(i) - p(j)|). Row i's
// envelope begins at the first column j of its window with phi != 0, and
// every column from there to the diagonal is stored, zeros included. Columns
// outside the window are never looked at, so the order must keep every pair
// closer than R within max positions of each other.
//
// phi is formed in double precision from the float coordinates and rounded
// to float. The rows are assembled on the threads of vtkSMPTools; each entry
// is the same whichever thread computes it.
#ifndef envelope_assembly_h
#define envelope_assembly_h

#include "fit_options.h"
#include "status.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace animation
{
namespace core
{
// The strictly lower envelope of A as it is assembled. Env is a malloc block
// of Capacity floats, of which the first Entries are in use.
struct envelope_rows
{
  struct free_deleter
  {
    void operator()(float* block) const { std::free(block); }
  };
  std::unique_ptr<float[], free_deleter> Env;
  std::int64_t Capacity = 0;
  std::int64_t Entries = 0;
  int Relocations = 0;
  // A basis value of exactly 1 off the diagonal makes a principal block
  // [1 1; 1 1] of A, which is then singular whatever the factorisation sees.
  bool Coincident = false;
};

// The first block of Env: 4*n*(max-1) floats, 10 if that is negative, and
// 10*n if the first cannot be obtained. Fails with no_memory
// (storage::envelope_first) when neither can.
//   n     in
//   max   in: width of the neighbour window
//   rows  out
outcome start_envelope(std::int64_t n, int max, envelope_rows& rows);

// Assembles A below the diagonal, row by row, into rows and Xenv. Fails with
// no_memory (storage::envelope_growth) when Env cannot grow, and with
// too_many_entries when the envelope outgrows its 32-bit offsets.
//   x, y, z  n entries each, in: the points in list order
//   n        in
//   max      in: width of the neighbour window
//   radius   in: support radius R of phi
//   kernel   in: which phi
//   Xenv     n+1 entries, out: Xenv[0] = 1, Xenv[i+1] = entries after row i, plus 1
//   rows     in/out: from start_envelope; grown by 10*n floats whenever
//            full, each growth a relocation
outcome assemble_envelope(const float* x,
                          const float* y,
                          const float* z,
                          int n,
                          int max,
                          double radius,
                          basis_kernel kernel,
                          int* Xenv,
                          envelope_rows& rows);

// Resizes Env, or obtains it when there is none, to exactly count floats (at
// least one), keeping its contents; false, with Env unchanged, when the block
// cannot be obtained.
bool resize_envelope(envelope_rows& rows, std::int64_t count);
}
}

#endif
