#include "qr.h"

#include "dense_qr.h"

float qr_matrix[qr_order * qr_order];
float qr_rhs[qr_order];

void qr_solve()
{
  animation::core::qr_solve(qr_matrix, qr_rhs);
}

void qr_factor(int rows, int columns, float* scalars)
{
  animation::core::qr_factor(qr_matrix, rows, columns, scalars);
}

void qr_forward_solve(float* vector, int rows, int columns)
{
  animation::core::qr_forward_solve(qr_matrix, vector, rows, columns);
}

void qr_apply_q(const float* scalars, float* vector, int rows, int columns)
{
  animation::core::qr_apply_q(qr_matrix, scalars, vector, rows, columns);
}

double vector_norm(const float* x, int count)
{
  return animation::core::vector_norm(x, count);
}

double vector_dot(const float* x, const float* y, int count)
{
  return animation::core::vector_dot(x, y, count);
}

void vector_scale(float a, float* x, int count)
{
  animation::core::vector_scale(a, x, count);
}

void vector_axpy(float a, const float* x, float* y, int count)
{
  animation::core::vector_axpy(a, x, y, count);
}
