#include "dense_solve.h"

#include <cmath>
#include <utility>

std::vector<double> DenseSolve(std::vector<std::vector<double>> a, std::vector<double> b)
{
  const int n = static_cast<int>(b.size());
  for (int k = 0; k < n; ++k)
  {
    int pivot = k;
    for (int i = k + 1; i < n; ++i)
    {
      if (std::fabs(a[i][k]) > std::fabs(a[pivot][k]))
      {
        pivot = i;
      }
    }
    std::swap(a[k], a[pivot]);
    std::swap(b[k], b[pivot]);
    for (int i = k + 1; i < n; ++i)
    {
      const double m = a[i][k] / a[k][k];
      for (int j = k; j < n; ++j)
      {
        a[i][j] -= m * a[k][j];
      }
      b[i] -= m * b[k];
    }
  }
  // a is now upper triangular.
  for (int i = n - 1; i >= 0; --i)
  {
    for (int j = i + 1; j < n; ++j)
    {
      b[i] -= a[i][j] * b[j];
    }
    b[i] /= a[i][i];
  }
  return b;
}
