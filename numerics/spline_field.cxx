#include "spline_field.h"

#include "basis_function.h"

#include <vtkMath.h>
#include <vtkPoints.h>

#include <limits>

namespace animation
{
namespace core
{
namespace
{
// Control point k in double precision, from the float coordinates when there are any.
template<typename Real>
void ReadControl(const spline_field_of<Real>& field, vtkIdType k, double p[3])
{
  if (field.ControlCoords)
  {
    const float* c = field.ControlCoords + 3 * k;
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
    return;
  }
  field.Controls->GetPoint(k, p);
}

// Adds the terms w_a(k) phi(r_k) of the count control points to s, in the
// order of ids. The values phi come first, a block at a time, in a loop of
// independent square roots and divisions that the compiler vectorises; the
// sums then run in the same order as one term at a time would take them.
template<typename Real>
void AddValues(const spline_field_of<Real>& field,
               const vtkIdType* ids,
               vtkIdType count,
               const double* distances2,
               double s[3])
{
  constexpr vtkIdType block = 64;
  double phi[block];
  const double radius = field.Radius;
  for (vtkIdType first = 0; first < count; first += block)
  {
    const vtkIdType size = count - first < block ? count - first : block;
    if (field.Kernel == animation::core::basis_kernel::wendland)
    {
      for (vtkIdType j = 0; j < size; ++j)
      {
        phi[j] = animation::core::basis_value(
          animation::core::basis_kernel::wendland, std::sqrt(distances2[first + j]), radius);
      }
    }
    else
    {
      for (vtkIdType j = 0; j < size; ++j)
      {
        phi[j] = animation::core::basis_value(
          animation::core::basis_kernel::quadratic, std::sqrt(distances2[first + j]), radius);
      }
    }
    for (vtkIdType j = 0; j < size; ++j)
    {
      const int m = field.UnList[ids[first + j]];
      for (int a = 0; a < 3; ++a)
      {
        s[a] += phi[j] * field.Coeff[a][m];
      }
    }
  }
}

// The values and Jacobian terms of the neighbours at the squared distances
// distances2, block by block: phi and its gradient factor are formed for a
// whole block first, in loops with no other work that the compiler can
// vectorise, then added. Each term is the expression of the one-by-one loop
// of evaluate_spline_field, so the sums are the same to the bit.
template<typename Real>
void AddValuesAndSlopes(const spline_field_of<Real>& field,
                        const double x[3],
                        const vtkIdType* ids,
                        vtkIdType count,
                        const double* distances2,
                        double s[3],
                        double derivative[3][3])
{
  constexpr vtkIdType block = 64;
  double phi[block];
  double slope[block];
  const double radius = field.Radius;
  for (vtkIdType first = 0; first < count; first += block)
  {
    const vtkIdType size = count - first < block ? count - first : block;
    for (vtkIdType j = 0; j < size; ++j)
    {
      const double r = std::sqrt(distances2[first + j]);
      phi[j] = animation::core::basis_value(field.Kernel, r, radius);
      slope[j] = animation::core::basis_gradient_factor(field.Kernel, r, radius);
    }
    for (vtkIdType j = 0; j < size; ++j)
    {
      const vtkIdType k = ids[first + j];
      double p[3];
      ReadControl(field, k, p);
      const int m = field.UnList[k];
      for (int a = 0; a < 3; ++a)
      {
        const double w = field.Coeff[a][m];
        s[a] += phi[j] * w;
        for (int b = 0; b < 3; ++b)
        {
          derivative[a][b] += w * slope[j] * (x[b] - p[b]);
        }
      }
    }
  }
}

// The polynomial part c0 + c1 x + c2 y + c3 z of one coordinate; the
// coefficients follow the nc weights.
template<typename Real>
double Polynomial(const Real* coeff, vtkIdType nc, const double x[3])
{
  return x[0] * coeff[nc + 1] + x[1] * coeff[nc + 2] + x[2] * coeff[nc + 3] + coeff[nc];
}
}

// The terms are added in the order of ids and the polynomial part last, in double precision; the
// caller rounds.
template<typename Real>
void evaluate_spline_field(const spline_field_of<Real>& field,
                           const double x[3],
                           const vtkIdType* ids,
                           vtkIdType count,
                           double s[3],
                           double jacobian[3][3],
                           const double* distances2)
{
  // The sums are kept in locals, which the compiler holds in registers: through
  // s and jacobian every term would wait for the store of the one before.
  double sum[3] = { 0.0, 0.0, 0.0 };
  double derivative[3][3] = { { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 } };
  const double radius = field.Radius;
  if (distances2)
  {
    if (jacobian)
    {
      AddValuesAndSlopes(field, x, ids, count, distances2, sum, derivative);
    }
    else
    {
      AddValues(field, ids, count, distances2, sum);
    }
    count = 0;
  }
  for (vtkIdType j = 0; j < count; ++j)
  {
    const vtkIdType k = ids[j];
    double p[3];
    if (jacobian || !distances2)
    {
      ReadControl(field, k, p);
    }
    const double r = std::sqrt(distances2 ? distances2[j] : vtkMath::Distance2BetweenPoints(p, x));
    const double phi = animation::core::basis_value(field.Kernel, r, radius);
    const int m = field.UnList[k];
    for (int a = 0; a < 3; ++a)
    {
      sum[a] += phi * field.Coeff[a][m];
    }
    if (jacobian)
    {
      const double slope = animation::core::basis_gradient_factor(field.Kernel, r, radius);
      for (int a = 0; a < 3; ++a)
      {
        const double w = field.Coeff[a][m];
        for (int b = 0; b < 3; ++b)
        {
          derivative[a][b] += w * slope * (x[b] - p[b]);
        }
      }
    }
  }
  const vtkIdType nc = field.Controls->GetNumberOfPoints();
  for (int a = 0; a < 3; ++a)
  {
    s[a] = sum[a] + Polynomial(field.Coeff[a], nc, x);
    if (jacobian)
    {
      for (int b = 0; b < 3; ++b)
      {
        jacobian[a][b] = derivative[a][b] + field.Coeff[a][nc + 1 + b];
      }
    }
  }
}

template void evaluate_spline_field<float>(const spline_field_of<float>&,
                                           const double[3],
                                           const vtkIdType*,
                                           vtkIdType,
                                           double[3],
                                           double[3][3],
                                           const double*);
template void evaluate_spline_field<double>(const spline_field_of<double>&,
                                            const double[3],
                                            const vtkIdType*,
                                            vtkIdType,
                                            double[3],
                                            double[3][3],
                                            const double*);

void normal_terms(const float jacobian[9], const float normal[3], float terms[9])
{
  double j[3][3];
  for (int a = 0; a < 3; ++a)
  {
    for (int b = 0; b < 3; ++b)
    {
      j[a][b] = jacobian[3 * a + b];
    }
  }
  const double n[3] = { normal[0], normal[1], normal[2] };
  double jn[3];  // J' n
  double jjn[3]; // J' J' n
  for (int b = 0; b < 3; ++b)
  {
    jn[b] = j[0][b] * n[0] + j[1][b] * n[1] + j[2][b] * n[2];
  }
  for (int b = 0; b < 3; ++b)
  {
    jjn[b] = j[0][b] * jn[0] + j[1][b] * jn[1] + j[2][b] * jn[2];
  }
  const double trace = j[0][0] + j[1][1] + j[2][2];
  double traceOfSquare = 0.0;
  for (int a = 0; a < 3; ++a)
  {
    for (int b = 0; b < 3; ++b)
    {
      traceOfSquare += j[a][b] * j[b][a];
    }
  }
  const double sigma = 0.5 * (trace * trace - traceOfSquare);
  for (int a = 0; a < 3; ++a)
  {
    terms[a] = static_cast<float>(jn[a] - trace * n[a]);
    terms[3 + a] = static_cast<float>(sigma * n[a] - trace * jn[a] + jjn[a]);
  }
  terms[6] = static_cast<float>(trace);
  terms[7] = static_cast<float>(sigma);
  terms[8] = static_cast<float>(vtkMath::Determinant3x3(j));
}

namespace
{
// The loop of blend_normals in one version per instruction set, chosen at
// the first call; internal, as a version's entry point would otherwise be
// exported whatever the library's visibility. Not under ThreadSanitizer,
// whose runtime is not yet set up when the loader runs the chooser.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void blend_normals_loop(vtkIdType n, const float* terms, float blend, const float* in, float* out)
{
  const float* __restrict u0 = terms;
  const float* __restrict u1 = terms + n;
  const float* __restrict u2 = terms + 2 * n;
  const float* __restrict v0 = terms + 3 * n;
  const float* __restrict v1 = terms + 4 * n;
  const float* __restrict v2 = terms + 5 * n;
  const float* __restrict trace = terms + 6 * n;
  const float* __restrict sigma = terms + 7 * n;
  const float* __restrict det = terms + 8 * n;
  const float* __restrict normals = in;
  float* __restrict carried = out;
  for (vtkIdType i = 0; i < n; ++i)
  {
    const float nx = normals[3 * i];
    const float ny = normals[3 * i + 1];
    const float nz = normals[3 * i + 2];
    const float x = nx + blend * (u0[i] + blend * v0[i]);
    const float y = ny + blend * (u1[i] + blend * v1[i]);
    const float z = nz + blend * (u2[i] + blend * v2[i]);
    const float determinant = 1.0f + blend * (-trace[i] + blend * (sigma[i] - blend * det[i]));
    const float square = x * x + y * y + z * z;
    // Selections and copysign rather than branches, so that the loop vectorises.
    const bool usable = (square > 0.0f) & (square <= std::numeric_limits<float>::max());
    const float scale = std::copysign(1.0f / std::sqrt(usable ? square : 1.0f), determinant);
    carried[3 * i] = usable ? x * scale : nx;
    carried[3 * i + 1] = usable ? y * scale : ny;
    carried[3 * i + 2] = usable ? z * scale : nz;
  }
}
}

void blend_normals(vtkIdType n, const float* terms, float blend, const float* in, float* out)
{
  blend_normals_loop(n, terms, blend, in, out);
}
}
}
