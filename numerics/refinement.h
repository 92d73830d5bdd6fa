// Iterative refinement of the fit in mixed precision.
//
// The fit of fit.h rounds A + lambda I to float, factors it and eliminates the
// polynomial part in single precision. Its solution (c, d) solves a system
// near the wanted one; when A or S is ill-conditioned (a support radius far
// larger than the spacing of the points, a kernel whose matrix is nearly
// singular, points nearly in a plane) it can miss the values at the control
// points by percents. Refinement measures the residual of the wanted system
// itself, in double precision with the basis values formed exactly from the
// coordinates,
//
//   r = b - (A + lambda I) c - Q'e,     t = -Q c,
//
// solves the correction [A + lambda I, Q'; Q, 0] [dc; de] = [r; t] with the
// single-precision factor of A, by the block elimination of fit.h,
//
//   y = inv(A) r,   S de = t - Q y,   dc = y - W de,   W = inv(A) Q',  S = -Q W,
//
// and adds it in double precision. W comes from the float factor; S is formed
// and solved (dense_qr.h) in double precision. Each step leaves about
// cond(A) 2^-24 of the error, so the iteration converges wherever that is
// below 1: the factor's speed, and double precision's accuracy as far as the
// conditioning allows.
//
// Q is the polynomial part over the hull of the control points (hull_rows of
// affine_hull.h), with coefficients e that are expanded into d0 ... d3 of
// 1, x, y, z at the end. A cloud that is nearly
// flat gives a row of Q that is small but held to full relative precision,
// so S is formed without the cancellation that 1, x, y, z suffer there, and
// the affine part far from the points comes out as a dense double-precision
// solve gives it.
#ifndef animation_core_refinement_h
#define animation_core_refinement_h

#include "envelope_view.h"
#include "fit_options.h"
#include "status.h"

namespace animation
{
namespace core
{
// How well a solution fits the control points: the largest landmark residual
// |b(i) - ((A + lambda I) c + P'd)(i)|, the three value sets of a
// displacement field taken together as one vector per control point, over
// every control point and field, relative to the largest landmark move |b(i)|
// (absolute when every move is 0).
struct fit_accuracy
{
  double Before = 0.0; // of the single-precision solution
  double After = 0.0;  // of the solution returned
  int Steps = 0;       // correction steps applied; 0 leaves the single-precision solution
  // The relative error that the single-precision polynomial part can carry:
  // 2^-24 ((|Centroid| + largest extent) / smallest extent)^2, the rounding
  // of float times the condition of the Gram matrix of 1, x, y, z over the
  // control points (affine_hull.h). Large for points far from the origin
  // beside their thinnest extent, such as a nearly flat patch: the affine
  // part far from the points can then be off although the landmarks are met.
  double PolynomialLoss = 0.0;
};

// At most this many correction steps; the iteration stops earlier when the
// residual no longer decreases or reaches the rounding of double precision.
constexpr int refinement_step_limit = 30;

// Refines solutions of the system of fit.h when the landmark residual of the
// single-precision solution, or its PolynomialLoss, exceeds
// options.RefineAbove; otherwise leaves them as they are. Every step is kept only if it lowers the
// residual, so the result is never worse than the single-precision solution.
//   a            in: the factor of A + lambda I, in single precision
//   coordinates  3*n entries, in: the control points in list order, x of
//                every position, then y, then z
//   options      in: R, the basis function, the polynomial part, the smoothing
//   values       sets pointers, each to n entries, in: b, the values at the
//                control points in list order, in double precision
//   sets         in: a multiple of 3, the x, y and z sets of each field in turn
//   solution     sets pointers, each to n + 4 entries, in/out: the weights c
//                in list order, then d0 ... d3
//   accuracy     out
// Fails only with no_memory (storage::refinement); the solutions are then
// the single-precision ones.
outcome refine_solution(const envelope_view& a,
                        const float* coordinates,
                        const fit_options& options,
                        const double* const* values,
                        int sets,
                        double* const* solution,
                        fit_accuracy& accuracy);
}
}

#endif
