// Householder QR solve of a small dense system on the matrix handed to it;
// the method and the storage are described in dense_qr.h.
#include "dense_qr.h"

#include <cmath>

namespace animation
{
namespace core
{
void qr_solve(float* matrix, float* rhs, int order)
{
  float scalars[qr_size];
  qr_factor(matrix, order, order, scalars);
  qr_forward_solve(matrix, rhs, order, order);
  qr_apply_q(matrix, scalars, rhs, order, order);
}

void qr_factor(float* matrix, int rows, int columns, float* scalars)
{
  float v[qr_size];
  for (int l = 0; l < columns - 1; ++l)
  {
    // Columns 0 ... l-1 are reduced: M(l:rows-1, 0:l-1) holds reflection data.
    float* column = matrix + l * rows + l;
    const int length = rows - l;
    float eta = static_cast<float>(vector_norm(column, length));
    if (eta == 0.0f)
    {
      for (int k = l; k < columns - 1; ++k)
      {
        scalars[k] = 0.0f;
      }
      return;
    }
    // The sign of eta follows M(l,l), so that 1 + |M(l,l)|/eta avoids cancellation.
    if (column[0] < 0.0f)
    {
      eta = -eta;
    }
    vector_scale(1.0f / eta, column, length);
    column[0] += 1.0f;
    for (int k = 0; k < length; ++k)
    {
      v[k] = column[k];
    }
    scalars[l] = column[0];
    column[0] = -eta;
    for (int j = l + 1; j < columns; ++j)
    {
      float* target = matrix + j * rows + l;
      const float t = static_cast<float>(-vector_dot(v, target, length) / v[0]);
      vector_axpy(t, v, target, length);
    }
  }
}

void qr_forward_solve(const float* matrix, float* vector, int rows, int columns)
{
  for (int j = 0; j < columns; ++j)
  {
    // vector[0 ... j-1] hold the solution; the others hold b less the
    // contributions of those components.
    const float y = static_cast<float>(static_cast<double>(vector[j]) / matrix[j * rows + j]);
    vector[j] = y;
    for (int k = j + 1; k < columns; ++k)
    {
      vector[k] = static_cast<float>(vector[k] - static_cast<double>(y) * matrix[k * rows + j]);
    }
  }
}

void qr_apply_q(const float* matrix, const float* scalars, float* vector, int rows, int columns)
{
  float w[qr_size];
  float u[qr_size];
  for (int k = columns - 1; k < rows; ++k)
  {
    w[k] = vector[k];
  }
  for (int l = columns - 2; l >= 0; --l)
  {
    // w[l+1 ... rows-1] = H(l+1)*...*H(columns-2) applied to the vector.
    w[l] = vector[l];
    if (scalars[l] != 0.0f)
    {
      const int length = rows - l;
      const float* below = matrix + l * rows + l;
      u[0] = scalars[l];
      for (int k = 1; k < length; ++k)
      {
        u[k] = below[k];
      }
      const float t = static_cast<float>(-vector_dot(u, w + l, length) / scalars[l]);
      vector_axpy(t, u, w + l, length);
    }
  }
  for (int k = 0; k < rows; ++k)
  {
    vector[k] = w[k];
  }
}

double vector_norm(const float* x, int count)
{
  return std::sqrt(vector_dot(x, x, count));
}

double vector_dot(const float* x, const float* y, int count)
{
  double sum = 0.0;
  for (int k = 0; k < count; ++k)
  {
    sum += static_cast<double>(x[k]) * y[k];
  }
  return sum;
}

void vector_scale(float a, float* x, int count)
{
  for (int k = 0; k < count; ++k)
  {
    x[k] = a * x[k];
  }
}

void vector_axpy(float a, const float* x, float* y, int count)
{
  for (int k = 0; k < count; ++k)
  {
    y[k] = static_cast<float>(static_cast<double>(a) * x[k] + y[k]);
  }
}
}
}
