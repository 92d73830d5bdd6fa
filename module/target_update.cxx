// The update of a fit whose targets moved; the mathematics is in
// target_update.h.
#include "target_update.h"

#include <vtkMath.h>
#include <vtkPoints.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>

#include <algorithm>

namespace animation
{
namespace
{
// What a cached point set keeps to follow moves of targets: the cardinal
// fields of the landmarks moved last at each of its points, and which points
// lie beyond the support of every landmark.
struct cardinal_at_points
{
  int Landmark;
  std::vector<double> Value;    // g(x_i)
  std::vector<double> Gradient; // 3 a point: dg/dx in the landmarks' units, or none
};

struct point_set_cardinals
{
  std::vector<std::shared_ptr<const cardinal_at_points>> Fields; // most recent first
  std::shared_ptr<const std::vector<unsigned char>> Beyond; // 1 for a point beyond every support
};

// moves and more, summed per landmark.
std::vector<target_move> Merged(std::vector<target_move> moves,
                                const std::vector<target_move>& more)
{
  for (const target_move& m : more)
  {
    auto same = std::find_if(
      moves.begin(), moves.end(), [&m](const target_move& k) { return k.Landmark == m.Landmark; });
    if (same == moves.end())
    {
      moves.push_back(m);
      continue;
    }
    for (int a = 0; a < 3; ++a)
    {
      same->Move[a] += m.Move[a];
    }
  }
  return moves;
}

// Adds the cardinal field of every moved landmark to made's coefficients,
// solving the cardinal fields made does not keep yet. False when one cannot
// be solved.
bool AddCardinalFields(const std::vector<target_move>& moved, relative_fit& made)
{
  auto& kept = made.Cardinals;
  for (const target_move& m : moved)
  {
    auto found = std::find_if(kept.begin(),
                              kept.end(),
                              [&m](const std::shared_ptr<const cardinal_coefficients_of>& c)
                              { return c->Landmark == m.Landmark; });
    std::shared_ptr<const cardinal_coefficients_of> field;
    if (found != kept.end())
    {
      field = *found;
      kept.erase(found);
    }
    else
    {
      auto solved = std::make_shared<cardinal_coefficients_of>();
      solved->Landmark = m.Landmark;
      core::fit_accuracy accuracy;
      if (!core::cardinal_coefficients(made.Fit, m.Landmark, solved->Gamma, accuracy).Ok())
      {
        return false;
      }
      field = solved;
    }
    kept.insert(kept.begin(), field);
    for (int a = 0; a < 3; ++a)
    {
      const double change = -m.Move[a] / made.Frame.Scale;
      std::vector<double>& coefficients = made.Fit.Coeff[a];
      for (std::size_t i = 0; i < coefficients.size(); ++i)
      {
        coefficients[i] += field->Gamma[i] * change;
      }
    }
  }
  if (kept.size() > most_moved_landmarks)
  {
    kept.resize(most_moved_landmarks);
  }
  return true;
}

// The fits that made can be derived from: fit, and fit's own ancestors still
// held, with the moves since each, as long as few landmarks moved since.
void RecordAncestors(const std::shared_ptr<const relative_fit>& fit,
                     const std::vector<target_move>& moved,
                     relative_fit& made)
{
  made.Ancestors.push_back({ fit, moved });
  for (const fit_ancestor& older : fit->Ancestors)
  {
    if (made.Ancestors.size() >= kept_cardinal_fields || older.Fit.expired())
    {
      continue;
    }
    std::vector<target_move> since = Merged(older.Moves, moved);
    if (since.size() <= most_moved_landmarks)
    {
      made.Ancestors.push_back({ older.Fit, std::move(since) });
    }
  }
}

// Solves made's values again whole with the kept factor.
//   targets  3*Count entries, in: the targets in the frame, by id
bool SolveAgain(relative_fit& made, const std::vector<double>& targets)
{
  const core::fit& f = made.Fit;
  const int n = f.Count;
  std::vector<std::vector<double>> values(3, std::vector<double>(n));
  for (int k = 0; k < n; ++k)
  {
    const std::size_t id = f.List[k];
    for (int a = 0; a < 3; ++a)
    {
      values[a][k] = made.Sources[3 * id + a] - targets[3 * id + a];
    }
  }
  const double* b[3] = { values[0].data(), values[1].data(), values[2].data() };
  double* solution[3] = { made.Fit.Coeff[0].data(),
                          made.Fit.Coeff[1].data(),
                          made.Fit.Coeff[2].data() };
  core::fit_accuracy accuracy;
  if (!core::solve_with_fit(f, b, 3, solution, accuracy).Ok())
  {
    return false;
  }
  made.Fit.Accuracy = accuracy;
  made.Ancestors.clear();
  return true;
}

// The cardinal field of landmark at every point, with its gradient when
// asked; beyond, when not null, receives which points lie beyond every
// support.
std::shared_ptr<const cardinal_at_points> EvaluateCardinal(const relative_fit& fit,
                                                           const cardinal_coefficients_of& field,
                                                           vtkPoints* points,
                                                           bool withGradient,
                                                           std::vector<unsigned char>* beyond)
{
  const vtkIdType n = points->GetNumberOfPoints();
  auto made = std::make_shared<cardinal_at_points>();
  made->Landmark = field.Landmark;
  made->Value.resize(n);
  made->Gradient.resize(withGradient ? 3 * std::size_t(n) : 0);
  vtkSMPThreadLocal<std::vector<vtkIdType>> storage;
  vtkSMPTools::For(
    0,
    n,
    1024,
    [&](vtkIdType begin, vtkIdType end)
    {
      std::vector<vtkIdType>& ids = storage.Local();
      for (vtkIdType i = begin; i < end; ++i)
      {
        double x[3];
        double u[3];
        double gradient[3];
        points->GetPoint(i, x);
        fit.Frame.ToFrame(x, u);
        core::find_neighbours(fit.Fit, u, ids);
        core::evaluate_cardinal(
          fit.Fit, field.Gamma, u, ids, made->Value[i], withGradient ? gradient : nullptr);
        for (int b = 0; withGradient && b < 3; ++b)
        {
          made->Gradient[3 * i + b] = gradient[b] / fit.Frame.Scale;
        }
        if (beyond)
        {
          (*beyond)[i] = ids.empty() ? 1 : 0;
        }
      }
    });
  return made;
}
}

std::shared_ptr<const relative_fit> MoveTargets(const std::shared_ptr<const relative_fit>& fit,
                                                vtkPoints* targets,
                                                double smoothing,
                                                double limit,
                                                double& residual,
                                                bool& resolved)
{
  resolved = false;
  const int n = fit->Fit.Count;
  // What does not depend on the targets.
  auto made = std::make_shared<relative_fit>();
  made->Fit = fit->Fit;
  made->Frame = fit->Frame;
  made->Sources = fit->Sources;
  made->Cardinals = fit->Cardinals;
  made->Targets.resize(3 * std::size_t(n));
  std::vector<double> relative(3 * std::size_t(n));
  std::vector<target_move> moved;
  for (int k = 0; k < n; ++k)
  {
    double* q = &made->Targets[3 * std::size_t(k)];
    const double* before = &fit->Targets[3 * std::size_t(k)];
    targets->GetPoint(k, q);
    if (q[0] != before[0] || q[1] != before[1] || q[2] != before[2])
    {
      moved.push_back({ k, { q[0] - before[0], q[1] - before[1], q[2] - before[2] } });
    }
    double* u = &relative[3 * std::size_t(k)];
    made->Frame.ToFrame(q, u);
    const double* p = &made->Sources[3 * std::size_t(k)];
    const double move[3] = { p[0] - u[0], p[1] - u[1], p[2] - u[2] };
    made->LargestLandmarkMove =
      std::max(made->LargestLandmarkMove, made->Frame.Scale * vtkMath::Norm(move));
  }
  // The landmark residual of a fit to these targets, below the limit.
  auto lands = [&](const relative_fit& f)
  {
    residual = core::landmark_residual(f.Fit, 0, smoothing, f.Sources.data(), relative.data());
    return residual <= limit;
  };
  if (moved.empty())
  {
    lands(*fit);
    return fit;
  }
  if (moved.size() <= most_moved_landmarks && AddCardinalFields(moved, *made))
  {
    RecordAncestors(fit, moved, *made);
    made->FarMoveReported = fit->FarMoveReported.load();
    if (lands(*made))
    {
      return made;
    }
  }
  if (!SolveAgain(*made, relative))
  {
    return nullptr;
  }
  resolved = true;
  return lands(*made) ? made : nullptr;
}

bool DeriveDisplacements(const relative_fit& fit,
                         vtkPoints* points,
                         keyed_cache& old,
                         bool sole,
                         keyed_cache& made)
{
  auto ancestor = std::find_if(fit.Ancestors.begin(),
                               fit.Ancestors.end(),
                               [&old](const fit_ancestor& a) { return a.Fit.lock() == old.Field; });
  if (ancestor == fit.Ancestors.end())
  {
    return false;
  }
  const bool withJacobian = old.Cache.HasJacobian();
  const auto prior = std::static_pointer_cast<const point_set_cardinals>(old.Derivation);
  auto cardinals = std::make_shared<point_set_cardinals>();
  if (prior)
  {
    cardinals->Beyond = prior->Beyond;
  }
  // The fields of the moved landmarks first, in the order of the moves, then those kept before.
  auto& fields = cardinals->Fields;
  for (const target_move& m : ancestor->Moves)
  {
    std::shared_ptr<const cardinal_at_points> field;
    for (std::size_t k = 0; prior && k < prior->Fields.size() && !field; ++k)
    {
      const auto& kept = prior->Fields[k];
      if (kept->Landmark == m.Landmark && (!withJacobian || !kept->Gradient.empty()))
      {
        field = kept;
      }
    }
    if (!field)
    {
      auto coefficients =
        std::find_if(fit.Cardinals.begin(),
                     fit.Cardinals.end(),
                     [&m](const std::shared_ptr<const cardinal_coefficients_of>& c)
                     { return c->Landmark == m.Landmark; });
      if (coefficients == fit.Cardinals.end())
      {
        return false;
      }
      // The first field evaluated at the points also records which lie beyond every support.
      std::shared_ptr<std::vector<unsigned char>> beyond;
      if (!cardinals->Beyond)
      {
        beyond = std::make_shared<std::vector<unsigned char>>(points->GetNumberOfPoints());
        cardinals->Beyond = beyond;
      }
      field = EvaluateCardinal(fit, **coefficients, points, withJacobian, beyond.get());
    }
    fields.push_back(field);
  }
  for (std::size_t k = 0; prior && k < prior->Fields.size(); ++k)
  {
    const auto& kept = prior->Fields[k];
    if (fields.size() < kept_cardinal_fields &&
        std::find(fields.begin(), fields.end(), kept) == fields.end())
    {
      fields.push_back(kept);
    }
  }

  made.Cache = sole ? std::move(old.Cache) : old.Cache;
  const std::vector<target_move>& moves = ancestor->Moves;
  double* displacement = made.Cache.Displacement.data();
  double* jacobian = withJacobian ? made.Cache.Jacobian.data() : nullptr;
  const std::vector<unsigned char>& far = *cardinals->Beyond;
  vtkSMPThreadLocal<double> farthest(0.0);
  vtkSMPTools::For(0,
                   made.Cache.Count,
                   4096,
                   [&](vtkIdType begin, vtkIdType end)
                   {
                     double& largest = farthest.Local();
                     for (vtkIdType i = begin; i < end; ++i)
                     {
                       double* s = displacement + 3 * i;
                       for (std::size_t k = 0; k < moves.size(); ++k)
                       {
                         const double* m = moves[k].Move;
                         const double g = fields[k]->Value[i];
                         for (int a = 0; a < 3; ++a)
                         {
                           s[a] -= g * m[a];
                         }
                         for (int a = 0; jacobian && a < 3; ++a)
                         {
                           for (int b = 0; b < 3; ++b)
                           {
                             jacobian[9 * i + 3 * a + b] -= m[a] * fields[k]->Gradient[3 * i + b];
                           }
                         }
                       }
                       if (far[i])
                       {
                         largest = std::max(largest, vtkMath::Norm(s));
                       }
                     }
                   });
  made.LargestMoveBeyondSupports = LargestOf(farthest);
  made.Derivation = cardinals;
  return true;
}
}
