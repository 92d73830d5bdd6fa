// Assembly and solution of the interpolation system of vtkMatrixSolver.
//
// For each coordinate the unknowns are the weights c (n) and the polynomial
// coefficients d (4) of the bordered system
//
//   [ A + lambda I  P' ] [ c ]   [ b ]     A(i,j) = phi(|p(i) - p(j)|),
//   [ P             0  ] [ d ] = [ 0 ],    P = [1 ...; x ...; y ...; z ...],
//
// lambda >= 0 the smoothing (0 interpolates). A is assembled row by row in
// list order into envelope storage, looking only at the Max list positions
// before each row, and factored once. Block elimination then gives, with
// W = inv(A)*P' and S = -P*W (A standing for A + lambda I from here on),
//
//   S*d = -P*inv(A)*b,    c = inv(A)*b - W*d,
//
// so seven envelope solves (four columns of P', three right-hand sides) and
// three 4x4 QR solves with the same S do the whole work.
//
// Points that do not span space (fewer than four, or all in one plane or on
// one line) make S singular: over them, 1, x, y and z are linearly
// dependent. P is then reduced to 1 and the coordinates along the affine hull
// of the points (two in a plane, one on a line, none for one point), and the
// same elimination runs with that smaller S; the reduced coefficients are
// expanded into d0 ... d3 of 1, x, y, z, so that the field is evaluated as
// usual. Without the polynomial part, c = inv(A)*b and d = 0.
#include "vtkMatrixSolver.h"

#include "allocate_matrix.h"
#include "envelope.h"
#include "envelope_assembly.h"
#include "progress.h"
#include "qr.h"
#include "spline_fit.h"
#include "stopwatch.h"

#include <vtkMath.h>
#include <vtkObjectFactory.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace
{
// Failures of Solve() besides the storage messages.
const char* const no_points = "Solve: there are no control points to fit";
const char* const not_positive_definite =
  "Solve: the interpolation matrix is not positive definite; two control points probably share "
  "one source position";
const char* const not_finite =
  "Solve: the spline coefficients are not finite; check the control points and the right-hand "
  "sides for infinite or undefined values";

// The eigenvalues of the scatter matrix of the control points are the
// squared extents of the cloud along its principal axes, and the condition
// of S grows at least like the largest over the smallest. Below this ratio
// (a cloud thinner than 1e-4 of its length) S is singular to single
// precision, and the axis counts as no extent of the cloud.
constexpr double planar_eigenvalue_ratio = 1e-8;

struct free_deleter
{
  void operator()(void* block) const { std::free(block); }
};
template<typename T>
using heap_block = std::unique_ptr<T[], free_deleter>;

// malloc of count elements, or null when the byte count does not fit; an
// empty block is a valid one-element block.
template<typename T>
T* try_obtain(std::int64_t count)
{
  if (count < 0 || static_cast<std::uint64_t>(count) > SIZE_MAX / sizeof(T))
  {
    return nullptr;
  }
  return static_cast<T*>(std::malloc(std::max<std::size_t>(1, count) * sizeof(T)));
}

template<typename T>
heap_block<T> obtain(std::int64_t count, const char* failure)
{
  heap_block<T> block(try_obtain<T>(count));
  if (!block)
  {
    throw failure;
  }
  return block;
}

// A row-pointer matrix of allocate_matrix indexed from 0, released when it
// goes out of scope.
class row_matrix
{
public:
  row_matrix(std::size_t rows, std::size_t columns)
    : Rows(rows)
    , Columns(columns)
    , Data(allocate_matrix(0, rows - 1, 0, columns - 1))
  {
  }
  ~row_matrix() { free_matrix(this->Data, 0, this->Rows - 1, 0, this->Columns - 1); }
  row_matrix(const row_matrix&) = delete;
  void operator=(const row_matrix&) = delete;
  float* operator[](std::size_t row) const { return this->Data[row]; }

private:
  std::size_t Rows;
  std::size_t Columns;
  float** Data;
};

// Points the module-level envelope matrix at the arrays of one Solve() and
// detaches it again when the call ends, however it ends.
class envelope_binding
{
public:
  envelope_binding(int n, float* diag, int* xenv, float* env)
  {
    envelope = { n, diag, xenv, env, 0 };
  }
  ~envelope_binding() { envelope = { 0, nullptr, nullptr, nullptr, 0 }; }
  envelope_binding(const envelope_binding&) = delete;
  void operator=(const envelope_binding&) = delete;
};

double seconds_since(int mark)
{
  return (stopwatch_ticks() - mark) * 0.001;
}

// The affine hull of the control points: its dimension and, when it is less
// than 3, a frame of it. The eigenvectors of the scatter matrix of the points
// about their centroid are the principal axes of the cloud and its
// eigenvalues the squared extents along them; an axis whose eigenvalue is at
// most planar_eigenvalue_ratio times the largest is taken as no extent.
struct affine_hull
{
  int Dimension;      // 0 (one point) ... 3 (the points span space)
  double Centroid[3]; // the mean of the points
  double Axes[3][3];  // Axes[0 ... Dimension-1]: unit directions of the hull
};

// The affine hull of the points in rows 1 to 3 of P.
//   P  4 x n, in
//   n  in, >= 1
affine_hull find_affine_hull(const row_matrix& P, int n)
{
  affine_hull hull = { 3, { 0.0, 0.0, 0.0 }, {} };
  for (int a = 0; a < 3; ++a)
  {
    for (int i = 0; i < n; ++i)
    {
      hull.Centroid[a] += P[a + 1][i];
    }
    hull.Centroid[a] /= n;
  }
  double scatter[3][3] = {};
  for (int i = 0; i < n; ++i)
  {
    const double d[3] = { P[1][i] - hull.Centroid[0],
                          P[2][i] - hull.Centroid[1],
                          P[3][i] - hull.Centroid[2] };
    for (int a = 0; a < 3; ++a)
    {
      for (int b = 0; b < 3; ++b)
      {
        scatter[a][b] += d[a] * d[b];
      }
    }
  }
  // The eigenvectors are the columns of the result.
  double eigenvalues[3];
  double eigenvectors[3][3];
  vtkMath::Diagonalize3x3(scatter, eigenvalues, eigenvectors);
  // Undefined coordinates keep the full polynomial part; their coefficients
  // come out not finite instead.
  if (!std::isfinite(eigenvalues[0] + eigenvalues[1] + eigenvalues[2]))
  {
    return hull;
  }
  const double largest = std::max({ eigenvalues[0], eigenvalues[1], eigenvalues[2] });
  hull.Dimension = 0;
  for (int k = 0; k < 3; ++k)
  {
    if (eigenvalues[k] > planar_eigenvalue_ratio * largest)
    {
      for (int b = 0; b < 3; ++b)
      {
        hull.Axes[hull.Dimension][b] = eigenvectors[b][k];
      }
      ++hull.Dimension;
    }
  }
  return hull;
}

// The polynomial part reduced to the affine functions of the hull of points
// that do not span space: 1 and the coordinates u_j = Axes[j].(p - Centroid)
// along the hull, j < Dimension. Rows 1 ... Dimension of P are replaced by
// the u_j of the points; the order of the reduced system is Dimension + 1.
//   hull  in: Dimension < 3
//   P     4 x n, in/out
//   n     in
void reduce_polynomial_basis(const affine_hull& hull, const row_matrix& P, int n)
{
  for (int i = 0; i < n; ++i)
  {
    const double d[3] = { P[1][i] - hull.Centroid[0],
                          P[2][i] - hull.Centroid[1],
                          P[3][i] - hull.Centroid[2] };
    double u[3];
    for (int j = 0; j < hull.Dimension; ++j)
    {
      u[j] = hull.Axes[j][0] * d[0] + hull.Axes[j][1] * d[1] + hull.Axes[j][2] * d[2];
    }
    for (int j = 0; j < hull.Dimension; ++j)
    {
      P[j + 1][i] = static_cast<float>(u[j]);
    }
  }
}

// The coefficients e of the reduced basis as d0 ... d3 of 1, x, y, z:
// e0 + sum_j e_j Axes[j].(x - Centroid) = d0 + d1 x + d2 y + d3 z.
//   hull     in
//   reduced  Dimension + 1 entries, in
//   d        4 entries, out
void expand_polynomial(const affine_hull& hull, const float* reduced, float d[4])
{
  double constant = reduced[0];
  double linear[3] = { 0.0, 0.0, 0.0 };
  for (int j = 0; j < hull.Dimension; ++j)
  {
    for (int b = 0; b < 3; ++b)
    {
      linear[b] += reduced[j + 1] * hull.Axes[j][b];
      constant -= reduced[j + 1] * hull.Axes[j][b] * hull.Centroid[b];
    }
  }
  d[0] = static_cast<float>(constant);
  for (int b = 0; b < 3; ++b)
  {
    d[b + 1] = static_cast<float>(linear[b]);
  }
}

// Forms W = inv(A)*P' and S = -P*W with the factor of A in `envelope`.
//   P      4 x n, in: its first order rows are used
//   n      in
//   order  in: the number of polynomial terms, 1 ... 4
//   W      n x 4, out: its first order columns
//   S      4 x 4, in/out: zero on entry; its leading order x order block
//   FFF    4*n entries, work
void eliminate_polynomial(const row_matrix& P,
                          int n,
                          int order,
                          const row_matrix& W,
                          const row_matrix& S,
                          float* FFF)
{
  float* columns[4];
  for (int k = 0; k < order; ++k)
  {
    columns[k] = FFF + std::size_t(k) * n;
    std::copy(P[k], P[k] + n, columns[k]);
  }
  envelope_solve_many(order, columns);
  for (int k = 0; k < order; ++k)
  {
    for (int i = 0; i < n; ++i)
    {
      W[i][k] = columns[k][i];
    }
  }
  for (int r = 0; r < order; ++r)
  {
    for (int c = 0; c < order; ++c)
    {
      double sum = 0.0;
      for (int i = 0; i < n; ++i)
      {
        sum += static_cast<double>(P[r][i]) * W[i][c];
      }
      S[r][c] = static_cast<float>(S[r][c] - sum);
    }
  }
}

// Finishes one coordinate, given W, S and b solved with the factor of A.
//   order  in: the number of polynomial terms, as for eliminate_polynomial
//   b      n entries, in/out: inv(A) times the values at the control points, then the weights
//   F      4 entries, in/out: zero on entry, then the order polynomial coefficients
void solve_coordinate(const row_matrix& P,
                      const row_matrix& W,
                      const row_matrix& S,
                      int n,
                      int order,
                      float* b,
                      float* F)
{
  for (int r = 0; r < order; ++r)
  {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
    {
      sum += static_cast<double>(P[r][i]) * b[i];
    }
    F[r] = static_cast<float>(F[r] - sum);
  }
  // F = -P*inv(A)*b; the QR solve overwrites it with d, S*d = F.
  for (int r = 0; r < order; ++r)
  {
    for (int c = 0; c < order; ++c)
    {
      qr_matrix[order * r + c] = S[r][c];
    }
    qr_rhs[r] = F[r];
  }
  qr_solve(order);
  std::copy(qr_rhs, qr_rhs + order, F);
  for (int i = 0; i < n; ++i)
  {
    double sum = 0.0;
    for (int k = 0; k < order; ++k)
    {
      sum += static_cast<double>(F[k]) * W[i][k];
    }
    b[i] = static_cast<float>(b[i] - sum);
  }
}

bool all_finite(const float* values, int count)
{
  return std::all_of(values, values + count, [](float v) { return std::isfinite(v); });
}
}

vtkMatrixSolver* vtkMatrixSolver::New()
{
  if (vtkObject* made = vtkObjectFactory::CreateInstance("vtkMatrixSolver"))
  {
    return static_cast<vtkMatrixSolver*>(made);
  }
  return new vtkMatrixSolver;
}

vtkMatrixSolver::vtkMatrixSolver()
  : PointArray(nullptr)
  , SplineCoeffX(nullptr)
  , SplineCoeffY(nullptr)
  , SplineCoeffZ(nullptr)
  , List(nullptr)
  , BX(nullptr)
  , BY(nullptr)
  , BZ(nullptr)
  , Radius(0.0f)
  , Max(0)
  , Math(vtkMath::New())
  , SolvedCoeff{ nullptr, nullptr, nullptr }
{
}

void vtkMatrixSolver::SetOptions(const spline_options& options)
{
  this->Options = options;
  this->Modified();
}

vtkMatrixSolver::~vtkMatrixSolver()
{
  this->SetSplineCoeffX(nullptr);
  this->SetSplineCoeffY(nullptr);
  this->SetSplineCoeffZ(nullptr);
  this->SetPointArray(nullptr);
  this->SetList(nullptr);
  this->SetBX(nullptr);
  this->SetBY(nullptr);
  this->SetBZ(nullptr);
  this->Math->Delete();
  for (float* block : this->SolvedCoeff)
  {
    std::free(block);
  }
}

void fit_spline(vtkPoints* points,
                const int* list,
                int max,
                float radius,
                const spline_options& options,
                float* bx,
                float* by,
                float* bz,
                float polynomial[3][4],
                std::ostream* report)
{
  const int n = static_cast<int>(points->GetNumberOfPoints());

  // Work storage; all of it is released when Solve() ends, however it ends.
  heap_block<float> Diag = obtain<float>(n, "Not enough memory to allocate Diag");
  heap_block<int> Xenv = obtain<int>(std::int64_t(n) + 1, "Not enough memory to allocate Xenv");
  row_matrix P(4, n);
  row_matrix S(4, 4);
  row_matrix W(n, 4);
  heap_block<float> FrightX = obtain<float>(4, "allocation faliture for the Fright_partX");
  heap_block<float> FrightY = obtain<float>(4, "allocation faliture for the Fright_partY");
  heap_block<float> FrightZ = obtain<float>(4, "allocation faliture for the Fright_partZ");
  heap_block<float> FFF = obtain<float>(4 * std::int64_t(n), "allocation faliture for the FFF");

  for (int r = 0; r < 4; ++r)
  {
    FrightX[r] = FrightY[r] = FrightZ[r] = 0.0f;
    std::fill(S[r], S[r] + 4, 0.0f);
  }
  // The diagonal of A + lambda I: phi(0) = 1 plus the smoothing.
  const float diagonal = static_cast<float>(1.0 + options.Smoothing);
  for (int i = 0; i < n; ++i)
  {
    double p[3];
    points->GetPoint(list[i], p);
    P[0][i] = 1.0f;
    P[1][i] = static_cast<float>(p[0]);
    P[2][i] = static_cast<float>(p[1]);
    P[3][i] = static_cast<float>(p[2]);
    Diag[i] = diagonal;
  }

  envelope_rows rows = start_envelope(n, max);
  const int constructionStart = stopwatch_ticks();
  assemble_envelope(P[1], P[2], P[3], n, max, radius, options.Kernel, Xenv.get(), rows);
  if (report)
  {
    *report << "Constructing time: " << seconds_since(constructionStart) << " sec., ("
            << rows.Relocations << " relocations)." << std::endl;
  }

  // Four bytes per envelope entry and eight per row, against four per entry
  // of the full matrix.
  const std::int64_t envelopeBytes = 4 * (rows.Entries + 2 * std::int64_t(n));
  const std::int64_t fullBytes = 4 * std::int64_t(n) * n;
  if (report)
  {
    *report << "Size of matrix A is (" << n << "*" << n << "): " << envelopeBytes << " bytes "
            << "(" << envelopeBytes / 1048576 << " MiB) <= " << fullBytes << " bytes ("
            << fullBytes / 1048576 << " MiB) if stored as full matrix." << std::endl;
  }

  resize_envelope(rows, rows.Entries);
  const int solvingStart = stopwatch_ticks();
  envelope_binding binding(n, Diag.get(), Xenv.get(), rows.Env.get());
  {
    progress_stage factoring("Factorising the matrix", envelope_factor_work(Xenv.get(), 0, n));
    envelope_solve(1, nullptr);
  }
  if (envelope.Iflag == 1 || rows.Coincident)
  {
    throw not_positive_definite;
  }
  float* const coordinates[3] = { bx, by, bz };
  float* const solved[3] = { FrightX.get(), FrightY.get(), FrightZ.get() };
  if (options.Polynomial)
  {
    // Points that do not span space determine only the affine functions of
    // their hull; the polynomial part is reduced to those.
    const affine_hull hull = find_affine_hull(P, n);
    if (hull.Dimension < 3)
    {
      reduce_polynomial_basis(hull, P, n);
    }
    const int order = hull.Dimension + 1;
    eliminate_polynomial(P, n, order, W, S, FFF.get());
    envelope_solve_many(3, coordinates);
    for (int a = 0; a < 3; ++a)
    {
      solve_coordinate(P, W, S, n, order, coordinates[a], solved[a]);
    }
    if (hull.Dimension < 3)
    {
      for (float* d : solved)
      {
        float reduced[4];
        std::copy(d, d + 4, reduced);
        expand_polynomial(hull, reduced, d);
      }
    }
  }
  else
  {
    // The compactly supported part alone: c = inv(A + lambda I) b, d = 0.
    envelope_solve_many(3, coordinates);
  }
  if (!all_finite(bx, n) || !all_finite(by, n) || !all_finite(bz, n) ||
      !all_finite(FrightX.get(), 4) || !all_finite(FrightY.get(), 4) ||
      !all_finite(FrightZ.get(), 4))
  {
    throw not_finite;
  }
  if (report)
  {
    *report << "Solving time: " << seconds_since(solvingStart) << " sec." << std::endl;
  }
  for (int a = 0; a < 3; ++a)
  {
    std::copy(solved[a], solved[a] + 4, polynomial[a]);
  }
}

int vtkMatrixSolver::Solve()
{
  const int n = this->PointArray ? static_cast<int>(this->PointArray->GetNumberOfPoints()) : 0;
  if (n == 0)
  {
    throw no_points;
  }
  if (!this->List || !this->BX || !this->BY || !this->BZ)
  {
    throw "Solve: List, BX, BY and BZ must be set before Solve";
  }
  float polynomial[3][4];
  fit_spline(this->PointArray,
             this->List,
             this->Max,
             this->Radius,
             this->Options,
             this->BX,
             this->BY,
             this->BZ,
             polynomial,
             &std::cout);

  // All three arrays are obtained before the earlier ones are released, so a
  // failure leaves the coefficients of the last Solve() in place.
  const char* const coeffFailure = "allocation faliture for the SplineCoeff";
  heap_block<float> coeff[3] = { obtain<float>(std::int64_t(n) + 4, coeffFailure),
                                 obtain<float>(std::int64_t(n) + 4, coeffFailure),
                                 obtain<float>(std::int64_t(n) + 4, coeffFailure) };
  const float* weights[3] = { this->BX, this->BY, this->BZ };
  for (int a = 0; a < 3; ++a)
  {
    std::copy(weights[a], weights[a] + n, coeff[a].get());
    std::copy(polynomial[a], polynomial[a] + 4, coeff[a].get() + n);
    std::free(this->SolvedCoeff[a]);
    this->SolvedCoeff[a] = coeff[a].release();
  }
  // Assigned directly: no trace, no new modification time.
  this->SplineCoeffX = this->SolvedCoeff[0];
  this->SplineCoeffY = this->SolvedCoeff[1];
  this->SplineCoeffZ = this->SolvedCoeff[2];
  return 1;
}
