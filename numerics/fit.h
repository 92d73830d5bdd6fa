// The fit of the compactly supported radial spline: from control points and
// the values wanted at them to the coefficients that the field evaluation
// reads. Every function here works on its arguments alone (no process-wide
// storage, no output), so separate fits may run at once on separate threads.
//
// For each value set b (one per coordinate of the displacement) the unknowns
// are the weights c (n) and the polynomial coefficients d (4) of
//
//   [ A + lambda I  P' ] [ c ]   [ b ]     A(i,j) = phi(|p(i) - p(j)|),
//   [ P             0  ] [ d ] = [ 0 ],    P = [1 ...; x ...; y ...; z ...],
//
// phi one of the basis functions of basis_function.h for r < R, lambda >= 0
// the smoothing (0 interpolates; fit_options.h). The points are numbered
// breadth-first over their neighbourhoods (order_points), A + lambda I is
// assembled in that order in envelope storage (envelope_assembly.h)
// and factored once by envelope Cholesky (envelope_view.h). Block elimination
// then gives, with A standing for A + lambda I, W = inv(A)*P' and S = -P*W,
//
//   S*d = -P*inv(A)*b,    c = inv(A)*b - W*d,
//
// so four envelope solves for W, one per value set, and one 4x4 QR solve per
// value set with the same S (dense_qr.h) do the whole work. Every value set
// shares the one factor of A.
//
// Points that do not span space (fewer than four, or all in one plane or on
// one line) make S singular: over them 1, x, y and z are linearly dependent.
// P is then reduced to 1 and the coordinates along the affine hull of the
// points (two in a plane, one on a line, none for one point), the same
// elimination runs with that smaller S, and the reduced coefficients are
// expanded into d0 ... d3 of 1, x, y, z. Without the polynomial part,
// c = inv(A)*b and d = 0. Stored values are 32-bit floats; sums of
// products are accumulated in double precision and rounded once. The
// solution can then be refined in mixed precision (refinement.h); make_fit
// always asks for it when options.RefineAbove allows, and keeps the
// coefficients in double precision.
//
// The factor, the order and the elimination depend on the control points and
// the options alone, not on the values: a fit keeps them (fit_factor), so
// that new values at the same control points (targets that moved) are solved
// by solve_with_fit without a new assembly or factorisation, and the field is
// linear in them.
#ifndef animation_core_fit_h
#define animation_core_fit_h

#include "fit_options.h"
#include "progress_sink.h"
#include "refinement.h"
#include "status.h"

#include <vtkSmartPointer.h>
#include <vtkType.h>

#include <cstdint>
#include <memory>
#include <vector>

class vtkPointLocator;
class vtkPoints;

namespace animation
{
namespace core
{
class locator_buckets;
struct fit_factor;

// Hears the stages of a fit as they happen, and their progress. The default
// hears nothing; the program's solver prints its report lines from these.
class fit_monitor : public progress_sink
{
public:
  void Advance(std::int64_t) override {}
  // Before the rows of A are assembled.
  virtual void AssemblyStarted() {}
  // A is assembled: n rows, entries below the diagonal in its envelope, and
  // the times its storage grew.
  virtual void Assembled(int, std::int64_t, int) {}
  // Before A is factored; work in the units that Advance then reports.
  virtual void FactorStarted(std::int64_t) {}
  // A is factored; failedRow is -1, envelope_no_memory (envelope_view.h) or
  // the first row whose pivot failed.
  virtual void Factored(int) {}
  // The coefficients are computed.
  virtual void Solved() {}
};

// Fitted fields on one set of control points, owning all they need: the
// control points, their order and the coefficients of every value set. Each
// field is a displacement, three value sets (x, y, z) that share the factor
// of A with the value sets of the other fields.
//
// Memory: the factor stays with the fit as long as the fit lives, 4 bytes an
// envelope entry plus 52 bytes a control point, about what the factorisation
// itself took; a fit shares it with every fit solved from it.
struct fit
{
  int Count = 0;                                 // n, the control points
  float Radius = 0.0f;                           // support radius R
  basis_kernel Kernel = basis_kernel::quadratic; // the basis function phi
  vtkSmartPointer<vtkPoints> Controls;           // the n control points, single precision, by id
  std::vector<int> List;                         // list position -> id
  std::vector<int> UnList;                       // id -> list position (index of its weight)
  int Max = 0;                                   // two neighbours lie at most Max positions apart
  // Per value set, field k's x y z at 3k ... 3k+2: n weights in list order, then d0 ... d3,
  // refined in double precision (refinement.h).
  std::vector<std::vector<double>> Coeff;
  fit_accuracy Accuracy; // the landmark residual of the single-precision solve and of Coeff
  std::shared_ptr<const locator_buckets> Neighbours; // the control points' buckets, read-only
  std::shared_ptr<const fit_factor> Factor;          // the factor of A (fit.cxx), read-only
};

// Numbers count points breadth-first over their neighbourhoods: vertices are
// the points, and two points are joined when the locator finds one within
// radius of the other. Each position is expanded by one locator query around
// its point, and every unplaced point the query returns takes the next free
// position; when the queue runs dry the lowest unplaced id seeds the next
// connected group. Every point is therefore placed after the point that
// first reached it, and the half-bandwidth max is the largest gap between a
// point's position and that of the point that placed it; seeds do not count.
// No neighbour of a point precedes the point that placed it, which would
// have placed it first, so that gap is also the length of the point's row
// of the envelope of neighbours.
//   points    in: the query centres
//   locator   in: built over the same points
//   count     in
//   radius    in: neighbourhood radius
//   list      out: count entries, position -> id
//   max       out: the half-bandwidth
//   progress  in: one unit per position expanded; may be null
//   envelope  out: the sum of the gaps, the entries of that envelope; may be null
outcome order_points(vtkPoints* points,
                     vtkPointLocator* locator,
                     int count,
                     float radius,
                     std::vector<int>& list,
                     int& max,
                     progress_sink* progress,
                     std::int64_t* envelope = nullptr);

// The control points in list order, rounded to single precision, as
// solve_system takes them.
//   points       in: the control points by id
//   list         n entries, in: list position -> id
//   n            in
//   coordinates  3*n entries, out: x of every list position, then y, then z
void list_order_coordinates(vtkPoints* points, const int* list, int n, float* coordinates);

// Source minus target of every control point in list order, in single
// precision: the values of one displacement field for solve_system.
//   sources, targets  3*n entries each, in: x y z by id
//   list              n entries, in: list position -> id
//   n                 in
//   values            3 pointers, each to n entries, out: the x, y and z
//                     differences by list position
void list_order_differences(const float* sources,
                            const float* targets,
                            const int* list,
                            int n,
                            float* const values[3]);

// What solve_system is asked to refine, and what it gives back.
struct refinement_request
{
  // in: sets pointers, each to n entries: the values b in double precision,
  // when the caller has them more exactly than the float values; or null.
  const double* const* Values = nullptr;
  // out: sets pointers, each to n + 4 entries: c and d0 ... d3 in double
  // precision, of which the float results hold the rounding; or null. They
  // may not overlap Values, which the refinement reads throughout.
  double* const* Solution = nullptr;
  // out: the landmark residual before and after; without Solution, After
  // is that of the rounded float results.
  fit_accuracy Accuracy;
};

// Assembles and factors A + lambda I of n control points given in list
// order, eliminates the polynomial part, and solves every value set with
// that one factor.
//   x, y, z     n entries each, in: the control points in list order
//   n           in, >= 1
//   max         in: half-bandwidth of the order
//   options     in: R, the basis function, the polynomial part, the smoothing
//   values      sets pointers, each to n entries, in/out: the values in list
//               order, then the weights c
//   sets        in
//   polynomial  sets entries, out: d0 ... d3 of each value set
//   monitor     in: may be null
//   refinement  in/out: the refinement that options.RefineAbove asks for
//               (refinement.h); null measures nothing and keeps the
//               single-precision solution
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
                     struct refinement_request* refinement = nullptr);

// The whole hand-off, from control points to a fit: the locator over the
// sources, the memory check, the order, the values source minus target (in
// single precision, one value set per coordinate of each field) and the
// solve, with one factor of A for every field.
//   n        in: control points, >= 1
//   sources  3*n entries, in: x y z of each source position
//   targets  fields pointers, each to 3*n entries, in: x y z of each target
//            position of one field
//   fields   in, >= 1
//   options  in
//   monitor  in: may be null
//   result   out: the fit when the outcome is ok
//   moves    fields pointers, each to 3*n entries, in: source minus target
//            of each control point in double precision, the values that the
//            refinement fits; or null, and the differences of the float
//            positions are taken exactly
// Storage that cannot be obtained is a no_memory outcome; nothing is thrown.
outcome make_fit(int n,
                 const float* sources,
                 const float* const* targets,
                 int fields,
                 const fit_options& options,
                 fit_monitor* monitor,
                 fit& result,
                 const double* const* moves = nullptr);

// make_fit of one field.
inline outcome make_fit(int n,
                        const float* sources,
                        const float* targets,
                        const fit_options& options,
                        fit_monitor* monitor,
                        fit& result,
                        const double* moves = nullptr)
{
  return make_fit(n, sources, &targets, 1, options, monitor, result, moves ? &moves : nullptr);
}

// Solves new value sets on the control points of a fit with its kept factor,
// refined in double precision as make_fit refines (refinement.h): no
// assembly, no factorisation, no neighbour query.
//   f         in: made by make_fit
//   values    sets pointers, each to Count entries, in: b by list position
//   sets      in: a multiple of 3, the x, y and z sets of each field in turn
//   solution  sets pointers, each to Count + 4 entries, out: the weights by
//             list position, then d0 ... d3, as Coeff holds them
//   accuracy  out: the landmark residual before and after the refinement
outcome solve_with_fit(const fit& f,
                       const double* const* values,
                       int sets,
                       double* const* solution,
                       fit_accuracy& accuracy);

// The cardinal field of control point id: the fit of the same system to the
// value 1 at that control point and 0 at every other. The fit is linear in its
// values, so a move delta of that control point's value changes the weights
// and d0 ... d3 of a value set by gamma*delta, and the field by g(x)*delta,
// g the field of gamma; and it is dense: inv(A) is, and d couples every point.
//   f         in: made by make_fit
//   id        in: 0 ... Count-1
//   gamma     Count + 4 entries, out: weights by list position, then d0 ... d3
//   accuracy  out: of the solve, relative to the value 1
outcome cardinal_coefficients(const fit& f, int id, std::vector<double>& gamma, fit_accuracy& accuracy);

// The cardinal field gamma of a fit at x, with its gradient, from the
// neighbours find_neighbours gave there.
//   value     out: g(x)
//   gradient  3 entries, out: dg/dx; may be null
void evaluate_cardinal(const fit& f,
                       const std::vector<double>& gamma,
                       const double x[3],
                       const std::vector<vtkIdType>& ids,
                       double& value,
                       double gradient[3]);

// The control points within R of x (3 entries), in the order of the
// locator's answer: the order in which evaluate_field adds their terms.
//   ids  out: their ids; empty when x lies beyond every support
void find_neighbours(const fit& f, const double x[3], std::vector<vtkIdType>& ids);

// Field k of a fit at x from the neighbours find_neighbours gave there: s
// and, when jacobian is not null, ds/dx row by row (spline_field.h). The
// polynomial part is evaluated at every x, so s is continuous.
//   field       in: 0 ... Coeff.size()/3 - 1
//   distances2  in: the squared distances of the neighbours as the query
//               gave them (spline_field.h); may be null
void evaluate_field(const fit& f,
                    int field,
                    const double x[3],
                    const std::vector<vtkIdType>& ids,
                    double s[3],
                    double jacobian[3][3],
                    const double* distances2 = nullptr);

// How far field k of a fit misses its landmarks as it is evaluated: the
// largest |(p(i) - q(i)) - s(p(i)) - lambda c(i)| over the control points,
// the residual of (A + lambda I) c + P'd = b at each (with lambda = 0, how
// far s(p(i)) lies from p(i) - q(i)), divided by the largest |p(i) - q(i)|
// (not divided when every move is 0).
//   field     in: 0 ... Coeff.size()/3 - 1
//   smoothing in: the lambda of the fit
//   sources, targets  3*Count entries each, in: x y z of each landmark, by
//             control point id, in the coordinates of the fit
double landmark_residual(const fit& f,
                         int field,
                         double smoothing,
                         const double* sources,
                         const double* targets);

// Field 0 of a fit at x, with its neighbour query; ids is left holding the
// control points within R of x.
//   ids  work storage for the neighbour query
void evaluate(const fit& f,
              const double x[3],
              std::vector<vtkIdType>& ids,
              double s[3],
              double jacobian[3][3]);
}
}

#endif
