// Householder QR solve of a small dense system on the matrix handed to it;
// the method and the storage are described in dense_qr.h.
#include "dense_qr.h"

#include <cmath>

namespace animation
{
namespace core
{
template<typename T>
void qr_solve(T* matrix, T* rhs, int order)
{
  T scalars[qr_size];
  qr_factor(matrix, order, order, scalars);
  qr_forward_solve(matrix, rhs, order, order);
  qr_apply_q(matrix, scalars, rhs, order, order);
}

template<typename T>
void qr_factor(T* matrix, int rows, int columns, T* scalars)
{
  for (int l = 0; l < columns - 1; ++l)
  {
    // Columns 0 ... l-1 are reduced: M(l:rows-1, 0:l-1) holds reflection data.
    T* column = matrix + l * rows + l;
    const int length = rows - l;
    T eta = static_cast<T>(vector_norm(column, length));
    if (eta == T(0))
    {
      for (int k = l; k < columns - 1; ++k)
      {
        scalars[k] = T(0);
      }
      return;
    }
    // The sign of eta follows M(l,l), so that 1 + |M(l,l)|/eta avoids cancellation.
    if (column[0] < T(0))
    {
      eta = -eta;
    }
    vector_scale(T(1) / eta, column, length);
    column[0] += T(1);
    for (int j = l + 1; j < columns; ++j)
    {
      T* target = matrix + j * rows + l;
      const T t = static_cast<T>(-vector_dot(column, target, length) / column[0]);
      vector_axpy(t, column, target, length);
    }
    // The reflection's leading component goes to scalars, and R(l,l) takes its place.
    scalars[l] = column[0];
    column[0] = -eta;
  }
}

template<typename T>
void qr_forward_solve(const T* matrix, T* vector, int rows, int columns)
{
  for (int j = 0; j < columns; ++j)
  {
    // vector[0 ... j-1] hold the solution; the others hold b less the
    // contributions of those components.
    const T y = static_cast<T>(static_cast<double>(vector[j]) / matrix[j * rows + j]);
    vector[j] = y;
    for (int k = j + 1; k < columns; ++k)
    {
      vector[k] = static_cast<T>(vector[k] - static_cast<double>(y) * matrix[k * rows + j]);
    }
  }
}

template<typename T>
void qr_apply_q(const T* matrix, const T* scalars, T* vector, int rows, int columns)
{
  T u[qr_size];
  for (int l = columns - 2; l >= 0; --l)
  {
    // vector[l+1 ... rows-1] holds H(l+1)*...*H(columns-2) applied to the
    // vector; H(l) changes only its components from l on.
    if (scalars[l] != T(0))
    {
      const int length = rows - l;
      const T* below = matrix + l * rows + l;
      u[0] = scalars[l];
      for (int k = 1; k < length; ++k)
      {
        u[k] = below[k];
      }
      const T t = static_cast<T>(-vector_dot(u, vector + l, length) / scalars[l]);
      vector_axpy(t, u, vector + l, length);
    }
  }
}

template<typename T>
double vector_norm(const T* x, int count)
{
  return std::sqrt(vector_dot(x, x, count));
}

template<typename T>
double vector_dot(const T* x, const T* y, int count)
{
  double sum = 0.0;
  for (int k = 0; k < count; ++k)
  {
    sum += static_cast<double>(x[k]) * y[k];
  }
  return sum;
}

template<typename T>
void vector_scale(T a, T* x, int count)
{
  for (int k = 0; k < count; ++k)
  {
    x[k] = a * x[k];
  }
}

template<typename T>
void vector_axpy(T a, const T* x, T* y, int count)
{
  for (int k = 0; k < count; ++k)
  {
    y[k] = static_cast<T>(static_cast<double>(a) * x[k] + y[k]);
  }
}

#define ANIMATION_DENSE_QR_FOR(T)                                                                  \
  template void qr_solve<T>(T*, T*, int);                                                          \
  template void qr_factor<T>(T*, int, int, T*);                                                    \
  template void qr_forward_solve<T>(const T*, T*, int, int);                                       \
  template void qr_apply_q<T>(const T*, const T*, T*, int, int);                                   \
  template double vector_norm<T>(const T*, int);                                                   \
  template double vector_dot<T>(const T*, const T*, int);                                          \
  template void vector_scale<T>(T, T*, int);                                                       \
  template void vector_axpy<T>(T, const T*, T*, int);
ANIMATION_DENSE_QR_FOR(float)
ANIMATION_DENSE_QR_FOR(double)
#undef ANIMATION_DENSE_QR_FOR
}
}
