#include "allocate_matrix.h"

#include "fixed_texts.h"
#include "program_error.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// malloc of count elements of the given size, or null when the byte count
// does not fit in a size_t.
void* obtain(std::size_t count, std::size_t size)
{
  if (count == 0 || count > SIZE_MAX / size)
  {
    return nullptr;
  }
  return std::malloc(count * size);
}
}

float** allocate_matrix(std::size_t row_low,
                        std::size_t row_high,
                        std::size_t col_low,
                        std::size_t col_high)
{
  const std::size_t rows = row_high - row_low + 1;
  const std::size_t columns = col_high - col_low + 1;
  float** base = static_cast<float**>(obtain(rows, sizeof(float*)));
  if (!base)
  {
    throw program_error(animation::fixed::no_memory_matrix_rows_pointer);
  }
  for (std::size_t r = 0; r < rows; ++r)
  {
    float* row = static_cast<float*>(obtain(columns, sizeof(float)));
    if (!row)
    {
      while (r > 0)
      {
        std::free(base[--r] + col_low);
      }
      std::free(base);
      throw program_error(animation::fixed::no_memory_matrix_rows);
    }
    base[r] = row - col_low;
  }
  return base - row_low;
}

void free_matrix(float** matrix,
                 std::size_t row_low,
                 std::size_t row_high,
                 std::size_t col_low,
                 std::size_t /*col_high*/)
{
  for (std::size_t i = row_low; i <= row_high; ++i)
  {
    std::free(matrix[i] + col_low);
  }
  std::free(matrix + row_low);
}
