// Iterative refinement of the fit; the method is described in refinement.h.
#include "refinement.h"

#include "affine_hull.h"
#include "basis_function.h"
#include "dense_qr.h"
#include "finite_points.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>
#include <utility>
#include <vector>

namespace animation
{
namespace core
{
namespace
{
// Below this backward error, relative to the largest landmark move, the
// residual is at the rounding of double precision and no step can lower it.
constexpr double rounding_level = 1e-15;

// The system being refined and what every step shares.
struct refined_system
{
  const envelope_view* Factor = nullptr; // A + lambda I in single precision, factored
  const float* Coordinates[3] = {};      // n entries each: the control points in list order
  int n = 0;
  int Sets = 0;
  const fit_options* Options = nullptr;  // R, phi, the polynomial part and lambda
  const double* const* Values = nullptr; // Sets pointers to n entries: b
  double LargestMove = 0.0;              // the largest |b(i)| of a field, > 0
  // The polynomial part in the frame of the cloud: Order rows of n at
  // Q + k*n (row 0 all 1, row j the coordinate along Hull.Axes[j-1]), and
  // the largest magnitude of each row. Order is 0 without a polynomial part,
  // and Hull then empty, so that d0 = e0 = 0 pass through its conversions.
  int Order = 0;
  affine_hull Hull = {};
  std::vector<double> Q;
  double RowSize[qr_size] = {};
  // W = inv(A) Q' from the float factor, column k at W + k*n, and
  // S = -Q W, symmetric, Order*Order entries row by row.
  std::vector<float> W;
  double S[qr_size * qr_size] = {};
};

// The residual of one iterate and its measures.
struct residual
{
  std::vector<double> R; // Sets*n: b - (A + lambda I) c - Q'e
  std::vector<double> T; // Sets*qr_size: -Q c
  double Landmark = 0.0; // the largest landmark residual, relative
  double Backward = 0.0; // the larger of Landmark and the relative -Q c
};

// An iterate: per set, n weights c then the coefficients e of Q, at
// v*(n + qr_size).
using iterate = std::vector<double>;

std::size_t stride(const refined_system& s)
{
  return std::size_t(s.n) + qr_size;
}

// The residual of u, with every basis value formed in double precision from
// the float coordinates, over the envelope of the factor: two control points
// closer than R always lie in it.
void form_residual(const refined_system& s, const iterate& u, residual& out)
{
  const int n = s.n;
  const double radius = s.Options->Radius;
  const double diagonal = 1.0 + s.Options->Smoothing; // of A + lambda I
  for (int v = 0; v < s.Sets; ++v)
  {
    const double* c = &u[v * stride(s)];
    const double* e = c + n;
    double* r = &out.R[std::size_t(v) * n];
    for (int i = 0; i < n; ++i)
    {
      double sum = s.Values[v][i] - diagonal * c[i];
      for (int k = 0; k < s.Order; ++k)
      {
        sum -= s.Q[std::size_t(k) * n + i] * e[k];
      }
      r[i] = sum;
    }
  }
  const float* x = s.Coordinates[0];
  const float* y = s.Coordinates[1];
  const float* z = s.Coordinates[2];
  const double radius2 = radius * radius;
  const int* Xenv = s.Factor->Xenv;
  for (int i = 1; i < n; ++i)
  {
    for (int j = i - (Xenv[i + 1] - Xenv[i]); j < i; ++j)
    {
      const double dx = static_cast<double>(x[i]) - x[j];
      const double dy = static_cast<double>(y[i]) - y[j];
      const double dz = static_cast<double>(z[i]) - z[j];
      const double r2 = dx * dx + dy * dy + dz * dz;
      if (!(r2 < radius2))
      {
        continue;
      }
      const double phi = basis_value(s.Options->Kernel, std::sqrt(r2), radius);
      for (int v = 0; v < s.Sets; ++v)
      {
        const double* c = &u[v * stride(s)];
        double* r = &out.R[std::size_t(v) * n];
        r[i] -= phi * c[j];
        r[j] -= phi * c[i];
      }
    }
  }
  double landmark = 0.0;
  for (int f = 0; f < s.Sets / 3; ++f)
  {
    for (int i = 0; i < n; ++i)
    {
      double length2 = 0.0;
      for (int a = 0; a < 3; ++a)
      {
        const double ra = out.R[std::size_t(3 * f + a) * n + i];
        length2 += ra * ra;
      }
      landmark = std::max(landmark, std::sqrt(length2));
    }
  }
  // Not finite anywhere makes the measure not finite, and no step lowers it.
  out.Landmark = landmark / s.LargestMove;
  out.Backward = out.Landmark;
  for (int v = 0; v < s.Sets; ++v)
  {
    const double* c = &u[v * stride(s)];
    for (int k = 0; k < s.Order; ++k)
    {
      double sum = 0.0;
      for (int i = 0; i < n; ++i)
      {
        sum -= s.Q[std::size_t(k) * n + i] * c[i];
      }
      out.T[v * qr_size + k] = sum;
      out.Backward = std::max(out.Backward, std::fabs(sum) / s.RowSize[k] / s.LargestMove);
    }
  }
  if (!AllFinite(out.R.data(), out.R.size()))
  {
    out.Landmark = out.Backward = HUGE_VAL;
  }
}

// The polynomial frame: Order, Hull, Q and RowSize.
void prepare_frame(refined_system& s)
{
  const int n = s.n;
  s.Order = 0;
  if (!s.Options->Polynomial)
  {
    return;
  }
  s.Hull = find_affine_hull(s.Coordinates[0], s.Coordinates[1], s.Coordinates[2], n);
  s.Order = s.Hull.Dimension + 1;
  hull_rows(s.Hull, s.Coordinates[0], s.Coordinates[1], s.Coordinates[2], n, s.Q.data());
  for (int k = 0; k < s.Order; ++k)
  {
    s.RowSize[k] = 0.0;
    for (int i = 0; i < n; ++i)
    {
      s.RowSize[k] = std::max(s.RowSize[k], std::fabs(s.Q[std::size_t(k) * n + i]));
    }
  }
}

// W and S of the frame, from the float factor.
void prepare_elimination(refined_system& s)
{
  const int n = s.n;
  float* columns[qr_size];
  for (int k = 0; k < s.Order; ++k)
  {
    columns[k] = &s.W[std::size_t(k) * n];
    for (int i = 0; i < n; ++i)
    {
      columns[k][i] = static_cast<float>(s.Q[std::size_t(k) * n + i]);
    }
  }
  envelope_solve_many(*s.Factor, s.Order, columns);
  for (int r = 0; r < s.Order; ++r)
  {
    for (int c = 0; c <= r; ++c)
    {
      double sum = 0.0;
      for (int i = 0; i < n; ++i)
      {
        sum += s.Q[std::size_t(r) * n + i] * s.W[std::size_t(c) * n + i] +
               s.Q[std::size_t(c) * n + i] * s.W[std::size_t(r) * n + i];
      }
      s.S[r * s.Order + c] = s.S[c * s.Order + r] = -0.5 * sum;
    }
  }
}

// u += the correction that the factor gives for the residual res.
//   columns  Sets*n floats of work storage
void correct(const refined_system& s, const residual& res, iterate& u, std::vector<float>& columns)
{
  const int n = s.n;
  std::vector<float*> rhs(s.Sets);
  std::vector<double> scale(s.Sets);
  for (int v = 0; v < s.Sets; ++v)
  {
    // Scaled to 1 in single precision, so that no small residual underflows.
    const double* r = &res.R[std::size_t(v) * n];
    double largest = 0.0;
    for (int i = 0; i < n; ++i)
    {
      largest = std::max(largest, std::fabs(r[i]));
    }
    scale[v] = largest > 0.0 ? largest : 1.0;
    rhs[v] = &columns[std::size_t(v) * n];
    for (int i = 0; i < n; ++i)
    {
      rhs[v][i] = static_cast<float>(r[i] / scale[v]);
    }
  }
  envelope_solve_many(*s.Factor, s.Sets, rhs.data());
  for (int v = 0; v < s.Sets; ++v)
  {
    double* c = &u[v * stride(s)];
    double* e = c + n;
    double de[qr_size] = {};
    if (s.Order > 0)
    {
      // S de = t - Q y.
      for (int k = 0; k < s.Order; ++k)
      {
        double sum = res.T[v * qr_size + k];
        for (int i = 0; i < n; ++i)
        {
          sum -= s.Q[std::size_t(k) * n + i] * (scale[v] * rhs[v][i]);
        }
        de[k] = sum;
      }
      double matrix[qr_size * qr_size];
      std::copy(s.S, s.S + s.Order * s.Order, matrix);
      qr_solve(matrix, de, s.Order);
    }
    for (int i = 0; i < n; ++i)
    {
      double dc = scale[v] * rhs[v][i];
      for (int k = 0; k < s.Order; ++k)
      {
        dc -= s.W[std::size_t(k) * n + i] * de[k];
      }
      c[i] += dc;
    }
    for (int k = 0; k < s.Order; ++k)
    {
      e[k] += de[k];
    }
  }
}

// fit_accuracy::PolynomialLoss of the frame; 0 without a polynomial part or
// for a single point.
double polynomial_loss(const refined_system& s)
{
  if (s.Order < 2)
  {
    return 0.0;
  }
  const double* extents = s.Hull.Extents;
  const double largest = *std::max_element(extents, extents + s.Hull.Dimension);
  const double smallest = *std::min_element(extents, extents + s.Hull.Dimension);
  const double* c = s.Hull.Centroid;
  const double ratio = (std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) + largest) / smallest;
  return std::ldexp(ratio * ratio, -24);
}
}

outcome refine_solution(const envelope_view& a,
                        const float* coordinates,
                        const fit_options& options,
                        const double* const* values,
                        int sets,
                        double* const* solution,
                        fit_accuracy& accuracy)
{
  accuracy = {};
  const int n = a.n;
  refined_system s;
  s.Factor = &a;
  s.Coordinates[0] = coordinates;
  s.Coordinates[1] = coordinates + n;
  s.Coordinates[2] = coordinates + 2 * std::size_t(n);
  s.n = n;
  s.Sets = sets;
  s.Options = &options;
  s.Values = values;
  for (int f = 0; f < sets / 3; ++f)
  {
    for (int i = 0; i < n; ++i)
    {
      const double b[3] = { values[3 * f][i], values[3 * f + 1][i], values[3 * f + 2][i] };
      s.LargestMove = std::max(s.LargestMove, std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]));
    }
  }
  if (!(s.LargestMove > 0.0))
  {
    s.LargestMove = 1.0;
  }
  iterate u;
  iterate trial;
  residual current;
  residual next;
  std::vector<float> columns;
  try
  {
    u.resize(sets * stride(s));
    trial.resize(u.size());
    for (residual* r : { &current, &next })
    {
      r->R.resize(std::size_t(sets) * n);
      r->T.resize(std::size_t(sets) * qr_size);
    }
    columns.resize(std::size_t(sets) * n);
    s.Q.resize(std::size_t(qr_size) * n);
    s.W.resize(std::size_t(qr_size) * n);
  }
  catch (const std::exception&) // std::bad_alloc or std::length_error
  {
    return out_of_memory(storage::refinement, 8.0 * (4.0 * sets + 10.0) * (n + 4.0));
  }

  prepare_frame(s);
  for (int v = 0; v < sets; ++v)
  {
    std::copy(solution[v], solution[v] + n, u.begin() + v * stride(s));
    hull_from_monomials(s.Hull, solution[v] + n, &u[v * stride(s) + n]);
  }
  form_residual(s, u, current);
  accuracy.Before = accuracy.After = current.Landmark;
  accuracy.PolynomialLoss = polynomial_loss(s);
  if (!(current.Landmark > options.RefineAbove) && !(accuracy.PolynomialLoss > options.RefineAbove))
  {
    return {};
  }
  prepare_elimination(s);
  while (accuracy.Steps < refinement_step_limit && current.Backward > rounding_level)
  {
    trial = u;
    correct(s, current, trial, columns);
    form_residual(s, trial, next);
    if (!(next.Backward < current.Backward))
    {
      break;
    }
    std::swap(u, trial);
    std::swap(current, next);
    ++accuracy.Steps;
  }
  accuracy.After = current.Landmark;
  if (accuracy.Steps == 0)
  {
    return {};
  }
  for (int v = 0; v < sets; ++v)
  {
    std::copy(u.begin() + v * stride(s), u.begin() + v * stride(s) + n, solution[v]);
    monomials_from_hull(s.Hull, &u[v * stride(s) + n], solution[v] + n);
  }
  return {};
}
}
}
