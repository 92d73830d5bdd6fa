// What a step of the deformation core reports instead of throwing or
// printing: a code, and the one number that locates the failure (a pivot, a
// pair of points, a byte count). The callers turn it into their own words:
// the program into its fixed texts, the toolkit classes into error traces.
#ifndef animation_core_status_h
#define animation_core_status_h

#include <cstdint>

namespace animation
{
namespace core
{
enum class status
{
  ok,
  // Storage could not be obtained. Where: which block (storage below);
  // Value: its size in bytes.
  no_memory,
  // The matrix would not fit in the memory available. Where: the estimated
  // envelope entries; Value: the bytes available.
  too_large_for_memory,
  // The envelope holds more entries than its 32-bit offsets address.
  // Where: the row at which the count passed 2^31 - 1, or -1 when the
  // estimate made before the ordering found it; Value: the entries.
  too_many_entries,
  // A pivot of the envelope Cholesky factorisation was not positive.
  // Where: the first failed row (list position).
  not_positive_definite,
  // A basis value of exactly 1 off the diagonal: two rows of A are equal.
  // Where: the list position of the later row.
  coincident,
  // A coefficient came out infinite or not a number.
  not_finite,
};

// The blocks a fit obtains, in the order it obtains them; `Where` of a
// no_memory status.
enum class storage : std::int64_t
{
  diagonal,        // Diag, n floats
  row_starts,      // Xenv, n+1 ints
  polynomial_rows, // P and W, 4*n floats each
  work_columns,    // the control points in list order, 3*n floats
  envelope_first,  // the first block of Env
  envelope_growth, // Env grown while it is assembled
  ordering,        // the well-ordered list and its inverse
  coefficients,    // the fitted coefficients
  factor_work,     // the packed rows of the blocked factorisation
  control_points,  // the control points' copy and their locator
  refinement,      // the iterates and residuals of the refinement, 4 per value set
};

struct outcome
{
  status Code = status::ok;
  std::int64_t Where = -1;
  double Value = 0.0;

  bool Ok() const { return this->Code == status::ok; }
};

inline outcome failure(status code, std::int64_t where = -1, double value = 0.0)
{
  return { code, where, value };
}

inline outcome out_of_memory(storage block, double bytes)
{
  return { status::no_memory, static_cast<std::int64_t>(block), bytes };
}
}
}

#endif
