// The fit of vtkCompactSplineTransform in the landmarks' frame, and its exact
// update when only target landmarks move (the class documentation gives what
// is kept, the costs and the bounds on the rounding).
//
// The fit is linear in its values b = (p - q) / Scale, one per landmark and
// coordinate. Moving the target q_j of landmark j by m changes b_j by
// -m / Scale, so the weights and d0 ... d3 of coordinate a change by
// gamma_j (-m_a / Scale), gamma_j the coefficients of the cardinal field g_j
// of landmark j (fit.h: the kept factor solved for 1 at j and 0 elsewhere),
// the displacement at x by -g_j(u(x)) m and its Jacobian by
// -m (grad_u g_j)' / Scale, at every point: g_j is not zero beyond R of
// landmark j.
#ifndef target_update_h
#define target_update_h

#include "fit.h"
#include "landmark_frame.h"
#include "point_set_paths.h"

#include <atomic>
#include <memory>
#include <vector>

class vtkPoints;

namespace animation
{
// More target landmarks moved at once than this are solved again whole with
// the kept factor, and every point set evaluated again.
constexpr std::size_t most_moved_landmarks = 8;

// The cardinal fields of this many landmarks, the ones moved last, are kept
// at the points of each cached point set (more while a single update moves
// more at once).
constexpr std::size_t kept_cardinal_fields = 4;

// The move m = q_new - q_old of the target of one landmark, in the units of
// the landmarks.
struct target_move
{
  int Landmark;
  double Move[3];
};

// The coefficients gamma of the cardinal field of one landmark, Count + 4
// entries as fit::Coeff holds them.
struct cardinal_coefficients_of
{
  int Landmark;
  std::vector<double> Gamma;
};

struct relative_fit;

// A fit that a later one was updated from, and the moves between them,
// summed per landmark. Weak: only a fit that a cached point set still holds
// is worth deriving from.
struct fit_ancestor
{
  std::weak_ptr<const relative_fit> Fit;
  std::vector<target_move> Moves;
};

// The fit in the landmarks' frame (landmark_frame.h). Immutable once made.
struct relative_fit
{
  core::fit Fit;
  landmark_frame Frame;
  // The largest landmark move |p_k - q_k|, and whether a move of points beyond the supports by
  // more than a tenth of it has been reported for this fit or the one it was updated from.
  double LargestLandmarkMove = 0.0;
  mutable std::atomic<bool> FarMoveReported{ false };
  std::vector<double> Sources; // 3*Count: the sources in the frame, by id
  std::vector<double> Targets; // 3*Count: the targets fitted, in the landmarks' units, by id
  // The cardinal fields of the landmarks moved last, most recent first; they hold for every fit
  // solved with the same factor.
  std::vector<std::shared_ptr<const cardinal_coefficients_of>> Cardinals;
  // The fits this one was updated from, most recent first.
  std::vector<fit_ancestor> Ancestors;

  // s and, when jacobian is not null, ds/dx at x; ids is left holding the
  // landmarks within R of x. Safe from any number of threads at once, each
  // with its own ids.
  void Evaluate(const double x[3],
                std::vector<vtkIdType>& ids,
                double s[3],
                double jacobian[3][3]) const
  {
    double u[3];
    this->Frame.ToFrame(x, u);
    core::evaluate(this->Fit, u, ids, s, jacobian);
    for (int a = 0; a < 3; ++a)
    {
      s[a] *= this->Frame.Scale;
    }
  }
};

// The displacements of a point set under a fit.
using keyed_cache = keyed_displacements<relative_fit, double>;

// The fit of the same sources to the targets as they are now, from the
// factor that fit keeps: fit itself when no target moved; an update by the
// cardinal fields of the moved landmarks when at most most_moved_landmarks
// moved; else, or when the update misses the landmarks by more than limit,
// the values solved again whole with the factor. Null when that too misses
// by more than limit or cannot be made: the caller then fits whole.
//   targets    in: as many points as the fit has landmarks, all finite
//   smoothing  in: the lambda of the fit
//   limit      in: the largest landmark residual accepted, relative
//   residual   out: the landmark residual of the fit returned
//   resolved   out: whether the values were solved again whole
std::shared_ptr<const relative_fit> MoveTargets(const std::shared_ptr<const relative_fit>& fit,
                                                vtkPoints* targets,
                                                double smoothing,
                                                double limit,
                                                double& residual,
                                                bool& resolved);

// Makes made, the displacements of points under fit, from old, those under a
// fit that fit was updated from, by adding the cardinal fields of the moved
// landmarks: evaluated at every point for a landmark that old keeps none
// for, else read from old. Takes old's storage when sole. False, and nothing
// changed, when old's fit is not an ancestor of fit.
bool DeriveDisplacements(const relative_fit& fit,
                         vtkPoints* points,
                         keyed_cache& old,
                         bool sole,
                         keyed_cache& made);
}

#endif
