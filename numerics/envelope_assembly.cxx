// Assembly of the interpolation matrix; the method is described in
// envelope_assembly.h.
#include "envelope_assembly.h"

#include "basis_function.h"

#include <vtkSMPTools.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace animation
{
namespace core
{
outcome start_envelope(std::int64_t n, int max, envelope_rows& rows)
{
  // 64-bit sizes: these products outgrow 32 bits for large point sets.
  rows.Capacity = 4 * n * (std::int64_t(max) - 1);
  if (rows.Capacity < 0)
  {
    rows.Capacity = 10;
  }
  if (!resize_envelope(rows, rows.Capacity))
  {
    rows.Capacity = 10 * n;
    if (!resize_envelope(rows, rows.Capacity))
    {
      return out_of_memory(storage::envelope_first, 4.0 * rows.Capacity);
    }
  }
  return {};
}

bool resize_envelope(envelope_rows& rows, std::int64_t count)
{
  if (static_cast<std::uint64_t>(count) > SIZE_MAX / sizeof(float))
  {
    return false;
  }
  float* moved = static_cast<float*>(
    std::realloc(rows.Env.get(), std::max<std::int64_t>(count, 1) * sizeof(float)));
  if (!moved)
  {
    return false;
  }
  rows.Env.release();
  rows.Env.reset(moved);
  return true;
}

outcome assemble_envelope(const float* x,
                          const float* y,
                          const float* z,
                          int n,
                          int max,
                          double radius,
                          basis_kernel kernel,
                          int* Xenv,
                          envelope_rows& rows)
{
  const double radius2 = radius * radius;
  auto phi = [&](int i, int j)
  {
    const double dx = static_cast<double>(x[i]) - x[j];
    const double dy = static_cast<double>(y[i]) - y[j];
    const double dz = static_cast<double>(z[i]) - z[j];
    const double r2 = dx * dx + dy * dy + dz * dz;
    if (!(r2 < radius2))
    {
      return 0.0f;
    }
    return static_cast<float>(basis_value(kernel, std::sqrt(r2), radius));
  };

  // The rows are independent: their first columns, then their entries, are
  // found on every core.
  std::vector<int> first(n);
  auto find_first = [&](vtkIdType i0, vtkIdType i1)
  {
    for (int i = static_cast<int>(i0); i < i1; ++i)
    {
      int j = max <= 0 ? i : static_cast<int>(std::max<std::int64_t>(0, i - std::int64_t(max)));
      while (j < i && phi(i, j) == 0.0f)
      {
        ++j;
      }
      first[i] = j;
    }
  };
  vtkSMPTools::For(0, n, 256, find_first);
  Xenv[0] = 1;
  std::int64_t entries = 0;
  for (int i = 0; i < n; ++i)
  {
    entries += i - first[i];
    // Xenv holds 32-bit offsets: a larger envelope cannot be addressed.
    if (entries >= std::numeric_limits<int>::max())
    {
      return failure(status::too_many_entries, i, static_cast<double>(entries));
    }
    Xenv[i + 1] = static_cast<int>(entries + 1);
  }

  // Env grows by 10*n floats whenever the next entry does not fit: as many
  // relocations as steps take the capacity to the entry count, made at once.
  if (entries > rows.Capacity)
  {
    const std::int64_t step = 10 * std::int64_t(n);
    const std::int64_t steps = (entries - rows.Capacity + step - 1) / step;
    rows.Capacity += steps * step;
    rows.Relocations += static_cast<int>(steps);
    if (!resize_envelope(rows, rows.Capacity))
    {
      return out_of_memory(storage::envelope_growth, 4.0 * rows.Capacity);
    }
  }
  rows.Entries = entries;

  float* env = rows.Env.get();
  std::atomic<bool> coincident(false);
  auto fill = [&](vtkIdType i0, vtkIdType i1)
  {
    bool one = false;
    for (int i = static_cast<int>(i0); i < i1; ++i)
    {
      float* row = env + (Xenv[i] - 1) - first[i];
      for (int j = first[i]; j < i; ++j)
      {
        row[j] = phi(i, j);
        one = one || row[j] == 1.0f;
      }
    }
    if (one)
    {
      coincident = true;
    }
  };
  vtkSMPTools::For(0, n, 256, fill);
  rows.Coincident = rows.Coincident || coincident;
  return {};
}
}
}
