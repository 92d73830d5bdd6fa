#include "vtkExpressionTransform.h"

#include "available_memory.h"
#include "fit.h"
#include "fit_failure.h"
#include "landmark_frame.h"
#include "point_set_paths.h"

#include <vtkDataArray.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPoints.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkExpressionTransform);

namespace
{
namespace core = animation::core;
using animation::landmark_frame;

// One expression: its landmarks in double precision and its weight.
struct expression
{
  std::string Name;
  vtkNew<vtkPoints> Source;
  vtkNew<vtkPoints> Target;
  double Weight = 0.0;

  expression()
  {
    this->Source->SetDataType(VTK_DOUBLE);
    this->Target->SetDataType(VTK_DOUBLE);
  }
};

// The ids of the n points x in the order of their positions, equal positions by id.
std::vector<int> SortedByPosition(const double* x, vtkIdType n)
{
  std::vector<int> ids(n);
  std::iota(ids.begin(), ids.end(), 0);
  std::stable_sort(
    ids.begin(),
    ids.end(),
    [x](int a, int b)
    { return std::lexicographical_compare(x + 3 * a, x + 3 * a + 3, x + 3 * b, x + 3 * b + 3); });
  return ids;
}

// True when points holds the same positions as controls, in any order; then order[id] is the index
// in points of control point id, equal positions paired in the order of their ids. Both sets are
// double precision; positions compare exactly.
bool SamePositions(vtkPoints* controls, vtkPoints* points, std::vector<int>& order)
{
  const vtkIdType n = controls->GetNumberOfPoints();
  if (points->GetNumberOfPoints() != n)
  {
    return false;
  }
  const double* c = static_cast<const double*>(controls->GetVoidPointer(0));
  const double* p = static_cast<const double*>(points->GetVoidPointer(0));
  order.resize(n);
  const std::vector<int> byControl = SortedByPosition(c, n);
  const std::vector<int> byPoint = SortedByPosition(p, n);
  for (vtkIdType r = 0; r < n; ++r)
  {
    const double* at = c + 3 * byControl[r];
    if (!std::equal(at, at + 3, p + 3 * byPoint[r]))
    {
      return false;
    }
    order[byControl[r]] = byPoint[r];
  }
  return true;
}

// Points blended in blocks of this many coordinates: the block stays in the first-level cache
// while every expression's displacements stream past it once.
constexpr vtkIdType BlendBlock = 3 * 1024;

// The fits of every expression, immutable once made: one fit of the core per group of
// expressions with the same sources, whose field m is the group's m-th member, in the frame of
// the group's sources (landmark_frame.h).
struct expression_fits
{
  std::vector<core::fit> Groups;
  std::vector<landmark_frame> Frames;
  std::vector<std::vector<std::size_t>> Members; // per group, its expressions in field order

  // Calls visit(k, group, m, u, scale) for every expression k, field m of fit group in whose
  // frame x is u and a displacement of u is scale times one of x: each group's neighbours are
  // found once at x, into ids, and serve all its members.
  template<typename Visit>
  void ForEachField(const double x[3], std::vector<vtkIdType>& ids, Visit visit) const
  {
    for (std::size_t g = 0; g < this->Groups.size(); ++g)
    {
      double u[3];
      this->Frames[g].ToFrame(x, u);
      core::find_neighbours(this->Groups[g], u, ids);
      for (std::size_t m = 0; m < this->Members[g].size(); ++m)
      {
        visit(this->Members[g][m], this->Groups[g], static_cast<int>(m), u, this->Frames[g].Scale);
      }
    }
  }
};
}

class vtkExpressionTransform::vtkInternals
{
public:
  std::vector<std::unique_ptr<expression>> Expressions;
  // The last fit, or null when there is none. Written only by Fit(), which Update() runs under
  // the transform's update lock.
  std::shared_ptr<const expression_fits> Fit;
  // How well the last fit meets the landmarks, all 0 after a failed one: the largest landmark
  // residual of the expressions (relative to the largest landmark move) and the group that has
  // it, with its landmarks and largest move; the largest residual before the refinement, the
  // largest error of a single-precision polynomial part and the most correction steps of a
  // group's fit.
  struct
  {
    double Residual = 0.0;
    std::string Worst;
    vtkIdType WorstCount = 0;
    double WorstMove = 0.0;
    double Before = 0.0;
    double PolynomialLoss = 0.0;
    int Steps = 0;
  } Quality;
  // Whether the error of the last fit has been reported by Update().
  bool FitErrorReported = false;
  // Modified when a fit is made or found impossible.
  vtkTimeStamp FitTime;

  // Every expression's displacement (3 floats a point) and, when normals asked for them, its
  // Jacobian (9 floats a point): field k of a cache is expression k.
  animation::point_set_cache<expression_fits, float> Caches;

  // Expression index, or null when there is none.
  expression* At(int index) const
  {
    const bool known = index >= 0 && index < static_cast<int>(this->Expressions.size());
    return known ? this->Expressions[index].get() : nullptr;
  }

  void Forget()
  {
    this->Fit.reset();
    this->Caches.Clear();
  }

  // The expressions sorted into groups of equal sources; order[k][id] is the index in expression
  // k's landmarks of its group's control point id (the first member's landmark id).
  std::vector<std::vector<std::size_t>> Group(std::vector<std::vector<int>>& order) const
  {
    std::vector<std::vector<std::size_t>> groups;
    order.assign(this->Expressions.size(), {});
    for (std::size_t k = 0; k < this->Expressions.size(); ++k)
    {
      vtkPoints* source = this->Expressions[k]->Source;
      auto same =
        std::find_if(groups.begin(),
                     groups.end(),
                     [&](const std::vector<std::size_t>& g)
                     { return SamePositions(this->Expressions[g[0]]->Source, source, order[k]); });
      if (same == groups.end())
      {
        SamePositions(source, source, order[k]);
        groups.emplace_back();
        same = groups.end() - 1;
      }
      same->push_back(k);
    }
    return groups;
  }

  // Fits group g of fits with one factorisation, in the frame of its sources: the first
  // member's sources, and each member's targets in the order of those sources; its frame and
  // fit go into fits, how well it meets its landmarks into Quality. Returns why the group gives
  // no fit, or an empty text.
  //   order          in: as Group() gave it
  //   options        in: all but the radius
  //   supportRadius  in: the radius as the caller gave it
  std::string FitGroup(std::size_t g,
                       const std::vector<std::vector<int>>& order,
                       const core::fit_options& options,
                       double supportRadius,
                       expression_fits& fits)
  {
    const std::vector<std::size_t>& members = fits.Members[g];
    vtkPoints* controls = this->Expressions[members[0]]->Source;
    const int count = static_cast<int>(controls->GetNumberOfPoints());
    fits.Frames[g] = landmark_frame::Of(controls);
    const landmark_frame& frame = fits.Frames[g];
    const std::string beyond = animation::DescribeRadiusBeyondPrecision(supportRadius, frame);
    if (!beyond.empty())
    {
      return beyond;
    }
    // The landmarks in the frame in double precision, where the miss is measured and whose
    // differences the refinement fits, and rounded for the single-precision fit.
    std::vector<double> p(3 * std::size_t(count));
    for (int id = 0; id < count; ++id)
    {
      frame.ToFrame(controls->GetPoint(id), &p[3 * std::size_t(id)]);
    }
    const std::vector<float> sources(p.begin(), p.end());
    std::vector<std::vector<double>> q(members.size(), std::vector<double>(3 * count));
    std::vector<std::vector<double>> moves(members.size(), std::vector<double>(3 * count));
    std::vector<std::vector<float>> targets(members.size());
    std::vector<const float*> fields;
    std::vector<const double*> fieldMoves;
    for (std::size_t m = 0; m < members.size(); ++m)
    {
      const std::size_t k = members[m];
      vtkPoints* target = this->Expressions[k]->Target;
      for (int id = 0; id < count; ++id)
      {
        frame.ToFrame(target->GetPoint(order[k][id]), &q[m][3 * std::size_t(id)]);
      }
      targets[m].assign(q[m].begin(), q[m].end());
      std::transform(p.begin(), p.end(), q[m].begin(), moves[m].begin(), std::minus<double>());
      fields.push_back(targets[m].data());
      fieldMoves.push_back(moves[m].data());
    }
    core::fit_options relative = options;
    relative.Radius = static_cast<float>(supportRadius / frame.Scale);
    core::fit& made = fits.Groups[g];
    const core::outcome fitted = core::make_fit(count,
                                                sources.data(),
                                                fields.data(),
                                                static_cast<int>(fields.size()),
                                                relative,
                                                nullptr,
                                                made,
                                                fieldMoves.data());
    if (!fitted.Ok())
    {
      return animation::DescribeFailedFit(
        fitted, controls, sources.data(), frame, relative.Kernel, supportRadius);
    }
    auto& quality = this->Quality;
    quality.Before = std::max(quality.Before, made.Accuracy.Before);
    quality.PolynomialLoss = std::max(quality.PolynomialLoss, made.Accuracy.PolynomialLoss);
    quality.Steps = std::max(quality.Steps, made.Accuracy.Steps);
    for (std::size_t m = 0; m < members.size(); ++m)
    {
      const double miss = core::landmark_residual(
        made, static_cast<int>(m), relative.Smoothing, p.data(), q[m].data());
      if (!(miss <= quality.Residual))
      {
        quality.Residual = miss;
        quality.Worst = this->Expressions[members[m]]->Name;
        quality.WorstCount = count;
        quality.WorstMove = 0.0;
        for (int id = 0; id < count; ++id)
        {
          quality.WorstMove = std::max(quality.WorstMove,
                                       frame.Scale * vtkMath::Norm(&moves[m][3 * std::size_t(id)]));
        }
      }
    }
    return std::string();
  }

  // Fills a cache for points: each group's neighbours are found once at a point, and every
  // member evaluated from them.
  static void Fill(const expression_fits& fits,
                   vtkPoints* points,
                   bool withJacobians,
                   core::displacement_cache<float>& cache)
  {
    std::size_t expressions = 0;
    for (const auto& members : fits.Members)
    {
      expressions += members.size();
    }
    cache.Fill(
      points->GetNumberOfPoints(),
      static_cast<int>(expressions),
      withJacobians,
      [points](vtkIdType i, double x[3]) { points->GetPoint(i, x); },
      [&fits](const double x[3], std::vector<vtkIdType>& ids, double* s, double(*jacobian)[3])
      {
        fits.ForEachField(
          x,
          ids,
          [&](std::size_t k, const core::fit& group, int m, const double u[3], double scale)
          {
            core::evaluate_field(
              group, m, u, ids, s + 3 * k, jacobian ? jacobian + 3 * k : nullptr);
            for (int a = 0; a < 3; ++a)
            {
              s[3 * k + a] *= scale;
            }
          });
      },
      [](vtkIdType, const double*, const double*) {},
      nullptr);
  }

  // out = x - sum_k w_k d_k over the 3n coordinates, in the precision of the points (single
  // for float points, whose blend vectorises), skipping the expressions of weight 0: a block of
  // the output at a time, copied from x while it stays in cache, each displacement array read
  // once. out may be x.
  template<typename Real>
  void Blend(const core::displacement_cache<float>& cache, const Real* x, Real* out) const
  {
    const vtkIdType n = cache.Count;
    for (vtkIdType begin = 0; begin < 3 * n; begin += BlendBlock)
    {
      const vtkIdType end = std::min(3 * n, begin + BlendBlock);
      if (x != out)
      {
        std::copy(x + begin, x + end, out + begin);
      }
      for (int k = 0; k < cache.Sets; ++k)
      {
        const Real w = static_cast<Real>(this->Expressions[k]->Weight);
        if (w == Real(0))
        {
          continue;
        }
        const float* d = cache.DisplacementOf(k);
        for (vtkIdType j = begin; j < end; ++j)
        {
          out[j] -= w * d[j];
        }
      }
    }
  }
};

vtkExpressionTransform::vtkExpressionTransform()
  : Internals(new vtkInternals)
{
}

vtkExpressionTransform::~vtkExpressionTransform()
{
  delete this->Internals;
}

bool vtkExpressionTransform::IsExpressionName(const char* name)
{
  return name && *name &&
         std::all_of(name,
                     name + std::strlen(name),
                     [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

int vtkExpressionTransform::AddExpression(const char* name, vtkPoints* source, vtkPoints* target)
{
  if (!IsExpressionName(name))
  {
    vtkErrorMacro(<< "AddExpression: the name \"" << (name ? name : "")
                  << "\" is not letters, digits and '_'");
    return -1;
  }
  if (this->GetExpressionIndex(name) >= 0)
  {
    vtkErrorMacro(<< "AddExpression: there is an expression named " << name << " already");
    return -1;
  }
  if (!source || !target || source->GetNumberOfPoints() != target->GetNumberOfPoints())
  {
    vtkErrorMacro(<< "AddExpression: " << name
                  << " needs source and target landmarks of the same number");
    return -1;
  }
  auto e = std::make_unique<expression>();
  e->Name = name;
  // Into the expression's own double-precision arrays, whatever the type of the given ones.
  e->Source->GetData()->DeepCopy(source->GetData());
  e->Target->GetData()->DeepCopy(target->GetData());
  this->Internals->Expressions.push_back(std::move(e));
  this->ParametersTime.Modified();
  this->Modified();
  return static_cast<int>(this->Internals->Expressions.size()) - 1;
}

void vtkExpressionTransform::RemoveAllExpressions()
{
  this->Internals->Forget();
  this->Internals->Expressions.clear();
  this->ParametersTime.Modified();
  this->Modified();
}

int vtkExpressionTransform::GetNumberOfExpressions()
{
  return static_cast<int>(this->Internals->Expressions.size());
}

const char* vtkExpressionTransform::GetExpressionName(int index)
{
  const expression* e = this->Internals->At(index);
  return e ? e->Name.c_str() : nullptr;
}

int vtkExpressionTransform::GetExpressionIndex(const char* name)
{
  const auto& all = this->Internals->Expressions;
  const auto named =
    std::find_if(all.begin(),
                 all.end(),
                 [name](const std::unique_ptr<expression>& e) { return name && e->Name == name; });
  return named == all.end() ? -1 : static_cast<int>(named - all.begin());
}

void vtkExpressionTransform::SetWeight(const char* name, double weight)
{
  const int index = this->GetExpressionIndex(name);
  if (index < 0)
  {
    vtkErrorMacro(<< "SetWeight: there is no expression named " << (name ? name : "(null)"));
    return;
  }
  this->SetWeight(index, weight);
}

void vtkExpressionTransform::SetWeight(int index, double weight)
{
  expression* e = this->Internals->At(index);
  if (!e)
  {
    vtkErrorMacro(<< "SetWeight: there is no expression " << index);
    return;
  }
  if (e->Weight != weight)
  {
    e->Weight = weight;
    this->Modified();
  }
}

double vtkExpressionTransform::GetWeight(const char* name)
{
  return this->GetWeight(this->GetExpressionIndex(name));
}

double vtkExpressionTransform::GetWeight(int index)
{
  const expression* e = this->Internals->At(index);
  return e ? e->Weight : 0.0;
}

int vtkExpressionTransform::Fit()
{
  vtkInternals& internals = *this->Internals;
  if (internals.FitTime.GetMTime() > this->ParametersTime.GetMTime())
  {
    return internals.Fit ? 1 : 0;
  }
  internals.Forget();
  internals.Quality = {};
  this->FitResidual = 0.0;
  internals.FitErrorReported = false;
  internals.FitTime.Modified();
  this->FitError = this->DescribeUnusableSettings();
  if (!this->FitError.empty())
  {
    return 0;
  }
  core::fit_options options = this->Options;
  options.MemoryLimit = available_memory_bytes();
  options.RefineAbove = this->RefinementThreshold;
  for (const auto& e : internals.Expressions)
  {
    if (!FittableLandmarks(e->Source, e->Target))
    {
      this->FitError = "expression " + e->Name + ": the landmarks are not finite or too many";
      return 0;
    }
  }
  auto fits = std::make_shared<expression_fits>();
  std::vector<std::vector<int>> order;
  fits->Members = internals.Group(order);
  fits->Groups.resize(fits->Members.size());
  fits->Frames.resize(fits->Members.size());
  for (std::size_t g = 0; g < fits->Groups.size(); ++g)
  {
    std::string why;
    try
    {
      why = internals.FitGroup(g, order, options, this->SupportRadius, *fits);
    }
    catch (const std::exception&) // std::bad_alloc or std::length_error
    {
      why = animation::DescribeMissingStorage(
        internals.Expressions[fits->Members[g][0]]->Source->GetNumberOfPoints());
    }
    if (!why.empty())
    {
      this->FitError =
        "expression " + internals.Expressions[fits->Members[g][0]]->Name + ": " + why;
      internals.Quality = {};
      return 0;
    }
  }
  internals.Fit = fits;
  const auto& quality = internals.Quality;
  this->FitResidual = quality.Residual;
  const std::string inaccurate = animation::DescribeInaccurateFit(quality.WorstCount,
                                                                  quality.Residual,
                                                                  quality.Before,
                                                                  quality.WorstMove,
                                                                  this->RefinementThreshold);
  if (!inaccurate.empty())
  {
    this->FitError = "expression " + quality.Worst + ": " + inaccurate;
  }
  return 1;
}

double vtkExpressionTransform::GetFitResidualBeforeRefinement()
{
  this->Update();
  return this->Internals->Quality.Before;
}

double vtkExpressionTransform::GetPolynomialLoss()
{
  this->Update();
  return this->Internals->Quality.PolynomialLoss;
}

int vtkExpressionTransform::GetRefinementSteps()
{
  this->Update();
  return this->Internals->Quality.Steps;
}

int vtkExpressionTransform::GetNumberOfFactorisations()
{
  this->Update();
  const expression_fits* fits = this->Internals->Fit.get();
  return fits ? static_cast<int>(fits->Groups.size()) : 0;
}

void vtkExpressionTransform::InternalUpdate()
{
  const bool fitted = this->Fit() != 0;
  if (!fitted)
  {
    vtkErrorMacro(<< "Update: " << this->FitError << "; the transform is the identity");
  }
  else if (!this->FitError.empty() && !this->Internals->FitErrorReported)
  {
    vtkErrorMacro(<< "Update: " << this->FitError);
  }
  this->Internals->FitErrorReported = true;
}

// s = sum_k w_k s_k(x) and J = sum_k w_k J_k(x), the expressions of weight 0 left out.
double vtkExpressionTransform::Displacement(const double x[3], double s[3], double jacobian[3][3])
{
  const expression_fits* fits = this->Internals->Fit.get();
  if (!fits)
  {
    return 1.0;
  }
  thread_local std::vector<vtkIdType> ids;
  fits->ForEachField(
    x,
    ids,
    [&](std::size_t k, const core::fit& group, int m, const double u[3], double scale)
    {
      const double weight = this->Internals->Expressions[k]->Weight;
      if (weight == 0.0)
      {
        return;
      }
      double sk[3];
      double jk[3][3];
      core::evaluate_field(group, m, u, ids, sk, jacobian ? jk : nullptr);
      for (int a = 0; a < 3; ++a)
      {
        s[a] += weight * scale * sk[a];
        for (int b = 0; jacobian && b < 3; ++b)
        {
          jacobian[a][b] += weight * jk[a][b];
        }
      }
    });
  return 1.0;
}

bool vtkExpressionTransform::TransformPointSet(vtkPoints* inPts,
                                               vtkPoints* outPts,
                                               const animation::carried_tuples& carried)
{
  vtkInternals& internals = *this->Internals;
  const std::shared_ptr<const expression_fits> fits = internals.Fit;
  if (!fits)
  {
    return false;
  }
  const auto entry = internals.Caches.Find(
    inPts,
    fits,
    carried.Any(),
    [](auto&, bool, auto&) { return false; },
    [&](animation::keyed_displacements<expression_fits, float>& made)
    { vtkInternals::Fill(*fits, inPts, carried.Any(), made.Cache); });
  const core::displacement_cache<float>& cache = entry->Cache;

  const vtkIdType n = inPts->GetNumberOfPoints();
  const vtkIdType start = animation::AppendTuples(outPts->GetData(), n);
  if (inPts->GetDataType() == VTK_FLOAT && outPts->GetDataType() == VTK_FLOAT)
  {
    internals.Blend(cache,
                    static_cast<const float*>(inPts->GetVoidPointer(0)),
                    static_cast<float*>(outPts->GetVoidPointer(0)) + 3 * start);
  }
  else
  {
    std::vector<double> moved(3 * n);
    for (vtkIdType i = 0; i < n; ++i)
    {
      inPts->GetPoint(i, &moved[3 * i]);
    }
    internals.Blend(cache, moved.data(), moved.data());
    for (vtkIdType i = 0; i < n; ++i)
    {
      outPts->SetPoint(start + i, &moved[3 * i]);
    }
  }
  outPts->Modified();
  if (carried.Any())
  {
    std::vector<double> weights;
    for (const auto& e : internals.Expressions)
    {
      weights.push_back(e->Weight);
    }
    carried.CarryAll(cache, weights.data());
  }
  return true;
}

vtkAbstractTransform* vtkExpressionTransform::MakeTransform()
{
  return vtkExpressionTransform::New();
}

void vtkExpressionTransform::InternalDeepCopy(vtkAbstractTransform* transform)
{
  this->Superclass::InternalDeepCopy(transform);
  auto* other = static_cast<vtkExpressionTransform*>(transform);
  this->SetRefinementThreshold(other->RefinementThreshold);
  this->RemoveAllExpressions();
  for (const auto& e : other->Internals->Expressions)
  {
    this->SetWeight(this->AddExpression(e->Name.c_str(), e->Source, e->Target), e->Weight);
  }
}

void vtkExpressionTransform::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "Expressions: " << this->Internals->Expressions.size() << "\n";
  for (const auto& e : this->Internals->Expressions)
  {
    os << indent.GetNextIndent() << e->Name << ": " << e->Source->GetNumberOfPoints()
       << " landmarks, weight " << e->Weight << "\n";
  }
  const expression_fits* fits = this->Internals->Fit.get();
  os << indent << "Fitted: " << (fits ? "yes" : "no") << "\n";
  os << indent << "Factorisations: " << (fits ? fits->Groups.size() : 0) << "\n";
}
