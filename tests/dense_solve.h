// Test support: a plain dense solver to check the sparse ones against.
#ifndef dense_solve_h
#define dense_solve_h

#include <vector>

// Solves a x = b by Gaussian elimination with partial pivoting, in double
// precision; a is n rows of n entries.
std::vector<double> DenseSolve(std::vector<std::vector<double>> a, std::vector<double> b);

#endif
