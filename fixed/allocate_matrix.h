// Row-pointer matrices of floats with arbitrary inclusive index bounds.
//
// allocate_matrix(rl, rh, cl, ch) returns m such that m[i][j] addresses
// element (i, j) for rl <= i <= rh and cl <= j <= ch: an array of rh-rl+1 row
// pointers, and one block of ch-cl+1 floats per row, both offset by the low
// bounds. The elements are not initialised. A failure throws program_error
// with the text "allocation faliture for the matrix in allocate_matrix" when
// the row pointers cannot be obtained, and "allocation faliture for the rows
// of matrix in allocate_matrix" when a row cannot; nothing stays allocated
// after a throw.
#ifndef allocate_matrix_h
#define allocate_matrix_h

#include <cstddef>

// Obtains the matrix.
//   row_low, row_high  in: inclusive row bounds, row_low <= row_high
//   col_low, col_high  in: inclusive column bounds, col_low <= col_high
float** allocate_matrix(std::size_t row_low,
                        std::size_t row_high,
                        std::size_t col_low,
                        std::size_t col_high);

// Releases a matrix of allocate_matrix; the bounds are those of the allocation.
void free_matrix(float** matrix,
                 std::size_t row_low,
                 std::size_t row_high,
                 std::size_t col_low,
                 std::size_t col_high);

#endif
