// The fit of the radial spline; the system and its solution are described in
// fit.h.
#include "fit.h"

#include "affine_hull.h"
#include "basis_function.h"
#include "dense_qr.h"
#include "envelope_assembly.h"
#include "envelope_estimate.h"
#include "envelope_view.h"
#include "finite_points.h"
#include "locator_buckets.h"
#include "spline_field.h"

#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <new>

namespace animation
{
namespace core
{
// A + lambda I factored, with what solving a value set with it needs: the
// control points in list order and the elimination of the polynomial part.
// Made by factor_system, read-only afterwards, so that any number of solves
// may use it at once.
struct fit_factor
{
  int n = 0;
  fit_options Options;            // R, phi, the polynomial part and lambda of the system
  std::vector<int> Xenv;          // n + 1 entries: row starts of the envelope
  envelope_rows Rows;             // the strictly lower part of L, in envelope storage
  std::vector<float> Diag;        // n entries: the diagonal of L
  std::vector<float> Coordinates; // 3n: x of every list position, then y, then z
  affine_hull Hull = {};          // of the control points, with the polynomial part
  int Order = 0;                  // polynomial terms: 0 without them, else Hull.Dimension + 1
  std::vector<float> P;           // 4n: row r at P + r*n, reduced to the hull
  std::vector<float> W;           // 4n: inv(A)*P', column k at W + k*n
  float S[16] = {};               // -P*W, S(r,c) at S[Order*r + c]

  // The factor as the envelope solves take it; they only read it.
  envelope_view View() const
  {
    return {
      this->n, this->Xenv.data(), this->Rows.Env.get(), const_cast<float*>(this->Diag.data())
    };
  }
};

namespace
{
// Forms W = inv(A)*P' and S = -P*W with the factor of A.
//   P      4*n, in: row r at P + r*n; its first order rows are used
//   order  in: the number of polynomial terms, 1 ... 4
//   W      4*n, out: column k at W + k*n, k < order
//   S      order*order, out: S(r,c) at S[order*r + c]
void eliminate_polynomial(const envelope_view& a, const float* P, int order, float* W, float* S)
{
  const int n = a.n;
  float* columns[4];
  for (int k = 0; k < order; ++k)
  {
    columns[k] = W + std::size_t(k) * n;
    std::copy(P + std::size_t(k) * n, P + std::size_t(k + 1) * n, columns[k]);
  }
  envelope_solve_many(a, order, columns);
  for (int r = 0; r < order; ++r)
  {
    for (int c = 0; c < order; ++c)
    {
      double sum = 0.0;
      for (int i = 0; i < n; ++i)
      {
        sum += static_cast<double>(P[std::size_t(r) * n + i]) * W[std::size_t(c) * n + i];
      }
      S[order * r + c] = static_cast<float>(0.0f - sum);
    }
  }
}

// Finishes one value set, given W, S and b solved with the factor of A.
//   order  in: the number of polynomial terms, as for eliminate_polynomial
//   b      n entries, in/out: inv(A) times the values, then the weights
//   d      4 entries, out: the order coefficients of the polynomial part
void solve_value_set(const float* P,
                     const float* W,
                     const float* S,
                     int n,
                     int order,
                     float* b,
                     float d[4])
{
  float matrix[16];
  for (int r = 0; r < order; ++r)
  {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
    {
      sum += static_cast<double>(P[std::size_t(r) * n + i]) * b[i];
    }
    d[r] = static_cast<float>(0.0f - sum);
  }
  // d = -P*inv(A)*b; the QR solve overwrites it with the solution of S*d = d.
  std::copy(S, S + order * order, matrix);
  qr_solve(matrix, d, order);
  for (int i = 0; i < n; ++i)
  {
    double sum = 0.0;
    for (int k = 0; k < order; ++k)
    {
      sum += static_cast<double>(d[k]) * W[std::size_t(k) * n + i];
    }
    b[i] = static_cast<float>(b[i] - sum);
  }
}

// A vector of count elements, or false when it cannot be obtained.
template<typename T>
bool obtain(std::vector<T>& block, std::int64_t count)
{
  try
  {
    block.resize(static_cast<std::size_t>(count));
    return true;
  }
  catch (const std::exception&) // std::bad_alloc or std::length_error
  {
    return false;
  }
}

// Refines the single-precision solution (refinement.h) as request asks.
//   b  sets pointers, each to n entries, in: the values in double precision
outcome measure_and_refine(const fit_factor& factor,
                           const double* const* b,
                           float* const* values,
                           int sets,
                           float (*polynomial)[4],
                           refinement_request& request)
{
  fit_accuracy& accuracy = request.Accuracy;
  const int n = factor.n;
  const envelope_view a = factor.View();
  const float* x = factor.Coordinates.data();
  const std::size_t stride = std::size_t(n) + 4;
  // Without Solution the iterates live here, and the rounded result is measured.
  std::vector<double> local;
  if (!request.Solution && !obtain(local, std::int64_t(sets) * stride))
  {
    return out_of_memory(storage::refinement, 8.0 * sets * stride);
  }
  std::vector<double*> solution(sets);
  auto load_single = [&]()
  {
    for (int v = 0; v < sets; ++v)
    {
      solution[v] = request.Solution ? request.Solution[v] : &local[v * stride];
      std::copy(values[v], values[v] + n, solution[v]);
      std::copy(polynomial[v], polynomial[v] + 4, solution[v] + n);
    }
  };
  load_single();
  outcome step = refine_solution(a, x, factor.Options, b, sets, solution.data(), accuracy);
  if (!step.Ok() || accuracy.Steps == 0)
  {
    return step;
  }
  for (int v = 0; v < sets; ++v)
  {
    std::copy(solution[v], solution[v] + n, values[v]);
    std::copy(solution[v] + n, solution[v] + n + 4, polynomial[v]);
  }
  if (request.Solution)
  {
    return {};
  }
  load_single();
  fit_options measureOnly = factor.Options;
  measureOnly.RefineAbove = HUGE_VAL;
  fit_accuracy rounded;
  step = refine_solution(a, x, measureOnly, b, sets, solution.data(), rounded);
  accuracy.After = rounded.Before;
  return step;
}

// All of solve_system (fit.h) that does not depend on the values: the
// assembly, the factor and the elimination of the polynomial part. The
// arguments are those of solve_system; factor is set when the outcome is ok.
outcome factor_system(const float* x,
                      const float* y,
                      const float* z,
                      int n,
                      int max,
                      const fit_options& options,
                      fit_monitor* monitor,
                      fit_factor& factor)
{
  fit_monitor silent;
  fit_monitor& report = monitor ? *monitor : silent;
  factor.n = n;
  factor.Options = options;
  if (!obtain(factor.Diag, n))
  {
    return out_of_memory(storage::diagonal, 4.0 * n);
  }
  if (!obtain(factor.Xenv, std::int64_t(n) + 1))
  {
    return out_of_memory(storage::row_starts, 4.0 * (n + 1.0));
  }
  if (!obtain(factor.P, 4 * std::int64_t(n)) || !obtain(factor.W, 4 * std::int64_t(n)))
  {
    return out_of_memory(storage::polynomial_rows, 16.0 * n);
  }
  if (!obtain(factor.Coordinates, 3 * std::int64_t(n)))
  {
    return out_of_memory(storage::work_columns, 12.0 * n);
  }
  const float* coordinates[3] = { x, y, z };
  float* P = factor.P.data();
  // The diagonal of A + lambda I: phi(0) = 1 plus the smoothing.
  const float diagonal = static_cast<float>(1.0 + options.Smoothing);
  for (int i = 0; i < n; ++i)
  {
    P[i] = 1.0f;
    for (int a = 0; a < 3; ++a)
    {
      P[std::size_t(a + 1) * n + i] = coordinates[a][i];
      factor.Coordinates[std::size_t(a) * n + i] = coordinates[a][i];
    }
    factor.Diag[i] = diagonal;
  }

  envelope_rows& rows = factor.Rows;
  outcome step = start_envelope(n, max, rows);
  if (!step.Ok())
  {
    return step;
  }
  report.AssemblyStarted();
  step =
    assemble_envelope(x, y, z, n, max, options.Radius, options.Kernel, factor.Xenv.data(), rows);
  if (!step.Ok())
  {
    return step;
  }
  report.Assembled(n, rows.Entries, rows.Relocations);
  resize_envelope(rows, rows.Entries);

  const envelope_view a = factor.View();
  report.FactorStarted(envelope_factor_work(factor.Xenv.data(), 0, n));
  const int failed = envelope_factor(a, &report);
  report.Factored(failed);
  if (failed == envelope_no_memory)
  {
    return out_of_memory(storage::factor_work, 0.0);
  }
  if (failed >= 0)
  {
    return failure(status::not_positive_definite, failed);
  }
  if (rows.Coincident)
  {
    return failure(status::coincident);
  }
  if (options.Polynomial)
  {
    // Points that do not span space determine only the affine functions of
    // their hull; the polynomial part is reduced to those.
    factor.Hull = find_affine_hull(x, y, z, n);
    if (factor.Hull.Dimension < 3)
    {
      hull_rows(factor.Hull, x, y, z, n, P);
    }
    factor.Order = factor.Hull.Dimension + 1;
    eliminate_polynomial(a, P, factor.Order, factor.W.data(), factor.S);
  }
  return {};
}

// The rest of solve_system, on the factor of factor_system: the arguments
// are those of solve_system.
outcome solve_factored(const fit_factor& factor,
                       float* const* values,
                       int sets,
                       float (*polynomial)[4],
                       refinement_request* refinement)
{
  const int n = factor.n;
  // The values b in double precision, as given or kept before the solves
  // overwrite them.
  const bool keep = refinement && !refinement->Values;
  std::vector<double> kept;
  if (keep && !obtain(kept, std::int64_t(sets) * n))
  {
    return out_of_memory(storage::refinement, 8.0 * sets * n);
  }
  std::vector<const double*> b(sets);
  for (int v = 0; refinement && v < sets; ++v)
  {
    b[v] = keep ? &kept[std::size_t(v) * n] : refinement->Values[v];
    if (keep)
    {
      std::copy(values[v], values[v] + n, &kept[std::size_t(v) * n]);
    }
  }
  envelope_solve_many(factor.View(), sets, values);
  for (int v = 0; v < sets; ++v)
  {
    // Without the polynomial part, c = inv(A + lambda I) b and d = 0.
    std::fill(polynomial[v], polynomial[v] + 4, 0.0f);
    if (factor.Order > 0)
    {
      solve_value_set(
        factor.P.data(), factor.W.data(), factor.S, n, factor.Order, values[v], polynomial[v]);
    }
    if (factor.Order > 0 && factor.Hull.Dimension < 3)
    {
      // The coefficients of the reduced basis as d0 ... d3 of 1, x, y, z.
      const double e[4] = { polynomial[v][0], polynomial[v][1], polynomial[v][2] };
      double d[4];
      monomials_from_hull(factor.Hull, e, d);
      std::copy(d, d + 4, polynomial[v]);
    }
    if (!AllFinite(values[v], n) || !AllFinite(polynomial[v], 4))
    {
      return failure(status::not_finite, v);
    }
  }
  if (!refinement)
  {
    return {};
  }
  return measure_and_refine(factor, b.data(), values, sets, polynomial, *refinement);
}
}

outcome order_points(vtkPoints* points,
                     vtkPointLocator* locator,
                     int count,
                     float radius,
                     std::vector<int>& list,
                     int& max,
                     progress_sink* progress,
                     std::int64_t* envelope)
{
  const int unassigned = INT_MAX;
  max = 0;
  std::int64_t gaps = 0;
  std::vector<int> position;
  if (!obtain(position, count) || !obtain(list, count))
  {
    return out_of_memory(storage::ordering, 8.0 * count);
  }
  std::fill(position.begin(), position.end(), unassigned);
  // One id list serves every query; it has room for all points up front, so
  // no query ever grows it.
  vtkNew<vtkIdList> neighbours;
  neighbours->Allocate(count);
  int placed = 0;
  int lowestUnplaced = 0; // no id below it is unplaced: placement is permanent
  for (int n = 0; placed < count; ++n)
  {
    if (n == placed)
    {
      // Positions 0..n-1 are all expanded and place no more: start the next group.
      while (position[lowestUnplaced] != unassigned)
      {
        ++lowestUnplaced;
      }
      list[n] = lowestUnplaced;
      position[lowestUnplaced] = n;
      ++placed;
    }
    double centre[3];
    points->GetPoint(list[n], centre);
    locator->FindPointsWithinRadius(radius, centre, neighbours);
    const vtkIdType found = neighbours->GetNumberOfIds();
    const vtkIdType* ids = neighbours->GetPointer(0);
    for (vtkIdType k = 0; k < found; ++k)
    {
      const vtkIdType id = ids[k];
      if (position[id] == unassigned)
      {
        max = std::max(max, placed - n);
        gaps += placed - n;
        list[placed] = static_cast<int>(id);
        position[id] = placed;
        ++placed;
      }
    }
    // Every neighbour of positions 0..n is now placed, at most max after it.
    advance(progress, 1);
  }
  if (envelope)
  {
    *envelope = gaps;
  }
  return {};
}

void list_order_coordinates(vtkPoints* points, const int* list, int n, float* coordinates)
{
  for (int k = 0; k < n; ++k)
  {
    double p[3];
    points->GetPoint(list[k], p);
    for (int a = 0; a < 3; ++a)
    {
      coordinates[std::size_t(a) * n + k] = static_cast<float>(p[a]);
    }
  }
}

void list_order_differences(const float* sources,
                            const float* targets,
                            const int* list,
                            int n,
                            float* const values[3])
{
  for (int k = 0; k < n; ++k)
  {
    const std::size_t id = list[k];
    for (int a = 0; a < 3; ++a)
    {
      values[a][k] = sources[3 * id + a] - targets[3 * id + a];
    }
  }
}

outcome solve_system(const float* x,
                     const float* y,
                     const float* z,
                     int n,
                     int max,
                     const fit_options& options,
                     float* const* values,
                     int sets,
                     float (*polynomial)[4],
                     fit_monitor* monitor,
                     refinement_request* refinement)
{
  fit_factor factor;
  outcome step = factor_system(x, y, z, n, max, options, monitor, factor);
  if (step.Ok())
  {
    step = solve_factored(factor, values, sets, polynomial, refinement);
  }
  if (step.Ok() && monitor)
  {
    monitor->Solved();
  }
  return step;
}

outcome make_fit(int n,
                 const float* sources,
                 const float* const* targets,
                 int fields,
                 const fit_options& options,
                 fit_monitor* monitor,
                 fit& result,
                 const double* const* moves)
{
  // The steps obtain their own storage and report its lack; what they do not
  // obtain themselves (the locator, the point sets) throws std::bad_alloc.
  try
  {
    fit made;
    made.Count = n;
    made.Radius = options.Radius;
    made.Kernel = options.Kernel;
    made.Controls = vtkSmartPointer<vtkPoints>::New();
    made.Controls->SetDataTypeToFloat();
    made.Controls->SetNumberOfPoints(n);
    std::copy(
      sources, sources + 3 * std::size_t(n), static_cast<float*>(made.Controls->GetVoidPointer(0)));
    made.Controls->Modified();
    vtkNew<vtkPolyData> set;
    set->SetPoints(made.Controls);
    vtkNew<vtkPointLocator> locator;
    locator->SetDataSet(set);
    locator->BuildLocator();

    // The estimate errs low, so a matrix it finds too large is too large. It
    // never exceeds n (n - 1) / 2, every pair of points, so when even that
    // many entries would pass both checks it cannot refuse, and its walk of the
    // points is spared.
    const std::int64_t limit = options.MemoryLimit;
    const std::int64_t everyPair = std::int64_t(n) * (n - 1) / 2;
    if (everyPair >= INT_MAX || (limit >= 0 && MatrixBytes(everyPair, n) > limit))
    {
      const envelope_estimate estimate = EstimateEnvelope(n, made.Radius, made.Controls, locator);
      if (estimate.Entries >= INT_MAX)
      {
        return failure(status::too_many_entries, -1, double(estimate.Entries));
      }
      if (limit >= 0 && MatrixBytes(estimate.Entries, n) > limit)
      {
        return failure(status::too_large_for_memory, estimate.Entries, double(limit));
      }
    }

    outcome step =
      order_points(made.Controls, locator, n, made.Radius, made.List, made.Max, monitor);
    if (!step.Ok())
    {
      return step;
    }
    std::vector<float> coordinates;
    if (!obtain(made.UnList, n) || !obtain(coordinates, 3 * std::int64_t(n)))
    {
      return out_of_memory(storage::ordering, 16.0 * n);
    }
    const int sets = 3 * fields;
    // The single-precision solve works on values, and Coeff receives its refinement.
    std::vector<float> single;
    std::vector<float*> values(sets);
    std::vector<double*> precise(sets);
    made.Coeff.resize(sets);
    bool obtained = obtain(single, std::int64_t(sets) * n);
    for (int v = 0; v < sets; ++v)
    {
      obtained = obtained && obtain(made.Coeff[v], std::int64_t(n) + 4);
      if (!obtained)
      {
        return out_of_memory(storage::coefficients, 12.0 * sets * (n + 4.0));
      }
      values[v] = &single[std::size_t(v) * n];
      precise[v] = made.Coeff[v].data();
    }
    for (int k = 0; k < n; ++k)
    {
      made.UnList[made.List[k]] = k;
    }
    list_order_coordinates(made.Controls, made.List.data(), n, coordinates.data());
    std::vector<float> polynomial(4 * std::size_t(sets));
    // The values in double precision, for the refinement: the moves given, or
    // the differences of the float positions, which double precision holds
    // exactly.
    std::vector<double> exact;
    if (!obtain(exact, std::int64_t(sets) * n))
    {
      return out_of_memory(storage::refinement, 8.0 * sets * n);
    }
    std::vector<const double*> exactValues(sets);
    for (int f = 0; f < fields; ++f)
    {
      list_order_differences(sources, targets[f], made.List.data(), n, &values[3 * f]);
      for (int a = 0; a < 3; ++a)
      {
        double* b = &exact[std::size_t(3 * f + a) * n];
        for (int k = 0; k < n; ++k)
        {
          const std::size_t id = made.List[k];
          b[k] = moves ? moves[f][3 * id + a]
                       : static_cast<double>(sources[3 * id + a]) - targets[f][3 * id + a];
        }
        exactValues[3 * f + a] = b;
      }
    }
    const float* x = coordinates.data();
    auto factor = std::make_shared<fit_factor>();
    step = factor_system(x, x + n, x + 2 * std::size_t(n), n, made.Max, options, monitor, *factor);
    if (!step.Ok())
    {
      return step;
    }
    refinement_request refinement = { exactValues.data(), precise.data(), {} };
    step = solve_factored(
      *factor, values.data(), sets, reinterpret_cast<float(*)[4]>(polynomial.data()), &refinement);
    made.Accuracy = refinement.Accuracy;
    if (!step.Ok())
    {
      return step;
    }
    if (monitor)
    {
      monitor->Solved();
    }
    made.Factor = std::move(factor);
    made.Neighbours = std::make_shared<const locator_buckets>(locator);
    result = std::move(made);
    return {};
  }
  catch (const std::bad_alloc&)
  {
    return out_of_memory(storage::control_points, 0.0);
  }
}

outcome solve_with_fit(const fit& f,
                       const double* const* values,
                       int sets,
                       double* const* solution,
                       fit_accuracy& accuracy)
{
  const int n = f.Count;
  std::vector<float> single;
  if (!obtain(single, std::int64_t(sets) * n))
  {
    return out_of_memory(storage::coefficients, 4.0 * sets * n);
  }
  std::vector<float*> rows(sets);
  std::vector<float> polynomial(4 * std::size_t(sets));
  for (int v = 0; v < sets; ++v)
  {
    rows[v] = &single[std::size_t(v) * n];
    std::copy(values[v], values[v] + n, rows[v]);
  }
  refinement_request refinement = { values, solution, {} };
  const outcome step = solve_factored(
    *f.Factor, rows.data(), sets, reinterpret_cast<float(*)[4]>(polynomial.data()), &refinement);
  accuracy = refinement.Accuracy;
  return step;
}

outcome cardinal_coefficients(const fit& f,
                              int id,
                              std::vector<double>& gamma,
                              fit_accuracy& accuracy)
{
  // The refinement measures a displacement, three value sets together: the
  // unit value is solved as all three, and they come out alike.
  const int n = f.Count;
  std::vector<double> unit;
  std::vector<double> solutions;
  if (!obtain(unit, n) || !obtain(solutions, 3 * (std::int64_t(n) + 4)) ||
      !obtain(gamma, std::int64_t(n) + 4))
  {
    return out_of_memory(storage::coefficients, 8.0 * 5 * (n + 4.0));
  }
  std::fill(unit.begin(), unit.end(), 0.0);
  unit[f.UnList[id]] = 1.0;
  const double* values[3] = { unit.data(), unit.data(), unit.data() };
  double* solution[3] = { solutions.data(),
                          solutions.data() + (n + 4),
                          solutions.data() + 2 * std::size_t(n + 4) };
  const outcome step = solve_with_fit(f, values, 3, solution, accuracy);
  std::copy(solution[0], solution[0] + n + 4, gamma.begin());
  return step;
}

void evaluate_cardinal(const fit& f,
                       const std::vector<double>& gamma,
                       const double x[3],
                       const std::vector<vtkIdType>& ids,
                       double& value,
                       double gradient[3])
{
  // One scalar field: the terms of spline_field.h for a single coefficient set.
  const float* controls = static_cast<const float*>(f.Controls->GetVoidPointer(0));
  const double radius = f.Radius;
  const int n = f.Count;
  value = 0.0;
  double slopeSum[3] = { 0.0, 0.0, 0.0 };
  for (const vtkIdType k : ids)
  {
    const float* p = controls + 3 * k;
    const double d[3] = { x[0] - p[0], x[1] - p[1], x[2] - p[2] };
    const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double w = gamma[f.UnList[k]];
    value += w * basis_value(f.Kernel, r, radius);
    if (gradient)
    {
      const double slope = w * basis_gradient_factor(f.Kernel, r, radius);
      for (int b = 0; b < 3; ++b)
      {
        slopeSum[b] += slope * d[b];
      }
    }
  }
  value += gamma[n] + x[0] * gamma[n + 1] + x[1] * gamma[n + 2] + x[2] * gamma[n + 3];
  for (int b = 0; gradient && b < 3; ++b)
  {
    gradient[b] = slopeSum[b] + gamma[n + 1 + b];
  }
}

void find_neighbours(const fit& f, const double x[3], std::vector<vtkIdType>& ids)
{
  f.Neighbours->FindPointsWithinRadius(f.Radius, x, ids);
}

void evaluate_field(const fit& f,
                    int field,
                    const double x[3],
                    const std::vector<vtkIdType>& ids,
                    double s[3],
                    double jacobian[3][3],
                    const double* distances2)
{
  const std::vector<double>* coeff = &f.Coeff[3 * field];
  const spline_field_of<double> spline = { f.Radius,
                                           f.Controls,
                                           static_cast<const float*>(f.Controls->GetVoidPointer(0)),
                                           { coeff[0].data(), coeff[1].data(), coeff[2].data() },
                                           f.UnList.data(),
                                           f.Kernel };
  evaluate_spline_field(
    spline, x, ids.data(), static_cast<vtkIdType>(ids.size()), s, jacobian, distances2);
}

void evaluate(const fit& f,
              const double x[3],
              std::vector<vtkIdType>& ids,
              double s[3],
              double jacobian[3][3])
{
  // The squared distances of the query, kept by the calling thread, spare the
  // field forming them again.
  thread_local std::vector<double> distances2;
  ids.resize(f.Neighbours->FindPointsWithinRadius(f.Radius, x, ids, distances2));
  evaluate_field(f, 0, x, ids, s, jacobian, distances2.data());
}

double landmark_residual(const fit& f,
                         int field,
                         double smoothing,
                         const double* sources,
                         const double* targets)
{
  std::vector<vtkIdType> ids;
  double largestMove = 0.0;
  double largestMiss = 0.0;
  for (int i = 0; i < f.Count; ++i)
  {
    const double* p = sources + 3 * std::size_t(i);
    const double* q = targets + 3 * std::size_t(i);
    double s[3];
    find_neighbours(f, p, ids);
    evaluate_field(f, field, p, ids, s, nullptr);
    double move2 = 0.0;
    double miss2 = 0.0;
    for (int a = 0; a < 3; ++a)
    {
      const double move = p[a] - q[a];
      const double miss = move - s[a] - smoothing * f.Coeff[3 * field + a][f.UnList[i]];
      move2 += move * move;
      miss2 += miss * miss;
    }
    largestMove = std::max(largestMove, std::sqrt(move2));
    // A miss that is not a number counts as infinite.
    largestMiss = std::isfinite(miss2) ? std::max(largestMiss, std::sqrt(miss2)) : HUGE_VAL;
  }
  return largestMove > 0.0 ? largestMiss / largestMove : largestMiss;
}
}
}
