#include "vtkExpressionTransform.h"

#include "finite_points.h"
#include "fit.h"
#include "locator_buckets.h"
#include "spline_field.h"

#include <vtkDataArray.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>
#include <vtkWeakPointer.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkExpressionTransform);

namespace
{
// One expression: its landmarks in single precision, its weight, the group of expressions whose
// sources it shares and its coefficients (weights in the group's list order, then c0 ... c3).
struct expression_fit
{
  std::string Name;
  vtkNew<vtkPoints> Source;
  vtkNew<vtkPoints> Target;
  double Weight = 0.0;
  std::size_t Group = 0;
  // Order[id] is the index in Source of the group's control point id.
  std::vector<int> Order;
  std::vector<float> Coeff[3];

  expression_fit()
  {
    this->Source->SetDataType(VTK_FLOAT);
    this->Target->SetDataType(VTK_FLOAT);
  }
};

// The expressions with one set of sources: their order, locator and factorisation are shared.
struct source_group
{
  vtkPoints* Controls = nullptr; // the Source of the first member
  vtkNew<vtkPolyData> ControlSet;
  vtkNew<vtkPointLocator> Locator;
  std::unique_ptr<locator_buckets> Neighbours;
  std::vector<int> UnList;
  std::vector<std::size_t> Members;
};

// True when points holds the same positions as controls, in any order; then order[id] is the index
// in points of control point id. Both sets are single precision; positions compare exactly.
bool SamePositions(vtkPoints* controls, vtkPoints* points, std::vector<int>& order)
{
  const vtkIdType n = controls->GetNumberOfPoints();
  if (points->GetNumberOfPoints() != n)
  {
    return false;
  }
  const float* c = static_cast<const float*>(controls->GetVoidPointer(0));
  const float* p = static_cast<const float*>(points->GetVoidPointer(0));
  order.resize(n);
  if (std::equal(c, c + 3 * n, p))
  {
    for (vtkIdType i = 0; i < n; ++i)
    {
      order[i] = static_cast<int>(i);
    }
    return true;
  }
  using Key = std::array<float, 3>;
  std::vector<std::pair<Key, int>> sorted(n);
  for (vtkIdType i = 0; i < n; ++i)
  {
    sorted[i] = { { p[3 * i], p[3 * i + 1], p[3 * i + 2] }, static_cast<int>(i) };
  }
  std::sort(sorted.begin(), sorted.end());
  std::vector<bool> taken(n, false);
  for (vtkIdType id = 0; id < n; ++id)
  {
    const Key key = { c[3 * id], c[3 * id + 1], c[3 * id + 2] };
    auto at = std::lower_bound(
      sorted.begin(), sorted.end(), key, [](const auto& e, const Key& k) { return e.first < k; });
    while (at != sorted.end() && at->first == key && taken[at->second])
    {
      ++at;
    }
    if (at == sorted.end() || at->first != key)
    {
      return false;
    }
    taken[at->second] = true;
    order[id] = at->second;
  }
  return true;
}

bool IsExpressionName(const char* name)
{
  if (!name || !*name)
  {
    return false;
  }
  for (const char* c = name; *c; ++c)
  {
    if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_')
    {
      return false;
    }
  }
  return true;
}

// Throws the text of a failed step of the fit.
void Check(const animation::core::outcome& outcome)
{
  switch (outcome.Code)
  {
    case animation::core::status::ok:
      return;
    case animation::core::status::not_positive_definite:
    case animation::core::status::coincident:
      throw "the interpolation matrix is not positive definite; two control points probably "
            "share one source position";
    case animation::core::status::not_finite:
      throw "the coefficients are not finite";
    default:
      throw "the interpolation matrix does not fit in memory";
  }
}

// Points blended in blocks of this many coordinates: the block stays in the first-level cache
// while every expression's displacements stream past it once.
constexpr vtkIdType BlendBlock = 3 * 1024;
}

class vtkExpressionTransform::vtkInternals
{
public:
  std::vector<std::unique_ptr<expression_fit>> Expressions;
  std::vector<std::unique_ptr<source_group>> Groups;
  float Radius = 0.0f;
  animation::core::fit_options Options;
  bool Fitted = false;
  std::string FitError;
  // Modified when a fit is made or found impossible, and when the expressions or the radius
  // change.
  vtkTimeStamp FitTime;
  vtkTimeStamp ParametersTime;

  // Every expression's displacement (3 floats a point) and, when normals asked for them, its
  // Jacobian (9 floats a point, row by row) at every point of CachedPoints, as they were at
  // CachedPointsTime, under the fit of CachedFitTime.
  vtkWeakPointer<vtkPoints> CachedPoints;
  vtkMTimeType CachedPointsTime = 0;
  vtkMTimeType CachedFitTime = 0;
  bool CachedJacobians = false;
  std::vector<std::vector<float>> Displacement;
  std::vector<std::vector<float>> Jacobian;

  spline_field Field(const expression_fit& e) const
  {
    const source_group& group = *this->Groups[e.Group];
    return { this->Radius,
             group.Controls,
             static_cast<const float*>(group.Controls->GetVoidPointer(0)),
             { e.Coeff[0].data(), e.Coeff[1].data(), e.Coeff[2].data() },
             group.UnList.data(),
             this->Options.Kernel };
  }

  void Forget()
  {
    this->Fitted = false;
    this->Groups.clear();
    for (auto& e : this->Expressions)
    {
      for (auto& c : e->Coeff)
      {
        c.clear();
      }
    }
    this->CachedPoints = nullptr;
    this->Displacement.clear();
    this->Jacobian.clear();
  }

  // Sorts the expressions into groups of equal sources.
  void Group()
  {
    for (std::size_t k = 0; k < this->Expressions.size(); ++k)
    {
      expression_fit& e = *this->Expressions[k];
      auto same = std::find_if(this->Groups.begin(),
                               this->Groups.end(),
                               [&e](const std::unique_ptr<source_group>& g)
                               { return SamePositions(g->Controls, e.Source, e.Order); });
      if (same == this->Groups.end())
      {
        this->Groups.push_back(std::make_unique<source_group>());
        this->Groups.back()->Controls = e.Source;
        SamePositions(e.Source, e.Source, e.Order);
        same = this->Groups.end() - 1;
      }
      e.Group = static_cast<std::size_t>(same - this->Groups.begin());
      (*same)->Members.push_back(k);
    }
  }

  // Orders the group's sources, factors their matrix once and solves for every member. Throws
  // the text of a failure.
  void FitGroup(source_group& group)
  {
    const int count = static_cast<int>(group.Controls->GetNumberOfPoints());
    group.ControlSet->SetPoints(group.Controls);
    group.Locator->SetDataSet(group.ControlSet);
    group.Locator->BuildLocator();
    int max = 0;
    std::vector<int> list;
    Check(animation::core::order_points(
      group.Controls, group.Locator, count, this->Radius, list, max, nullptr));
    group.UnList.resize(count);
    std::vector<float> position[3];
    const float* controls = static_cast<const float*>(group.Controls->GetVoidPointer(0));
    for (int k = 0; k < count; ++k)
    {
      group.UnList[list[k]] = k;
      for (int a = 0; a < 3; ++a)
      {
        position[a].push_back(controls[3 * list[k] + a]);
      }
    }

    // Source minus target in list order, x y z of each member.
    const std::size_t members = group.Members.size();
    std::vector<std::vector<float>> values(3 * members, std::vector<float>(count));
    std::vector<float*> columns(3 * members);
    for (std::size_t m = 0; m < members; ++m)
    {
      const expression_fit& e = *this->Expressions[group.Members[m]];
      const float* source = static_cast<const float*>(e.Source->GetVoidPointer(0));
      const float* target = static_cast<const float*>(e.Target->GetVoidPointer(0));
      for (int k = 0; k < count; ++k)
      {
        const int j = e.Order[list[k]];
        for (int a = 0; a < 3; ++a)
        {
          values[3 * m + a][k] = source[3 * j + a] - target[3 * j + a];
        }
      }
      for (int a = 0; a < 3; ++a)
      {
        columns[3 * m + a] = values[3 * m + a].data();
      }
    }
    std::vector<float> polynomials(12 * members);
    animation::core::fit_options options = this->Options;
    options.Radius = this->Radius;
    Check(animation::core::solve_system(position[0].data(),
                                        position[1].data(),
                                        position[2].data(),
                                        count,
                                        max,
                                        options,
                                        columns.data(),
                                        static_cast<int>(3 * members),
                                        reinterpret_cast<float(*)[4]>(polynomials.data()),
                                        nullptr));
    for (std::size_t m = 0; m < members; ++m)
    {
      expression_fit& e = *this->Expressions[group.Members[m]];
      for (int a = 0; a < 3; ++a)
      {
        e.Coeff[a] = std::move(values[3 * m + a]);
        const float* d = &polynomials[4 * (3 * m + a)];
        e.Coeff[a].insert(e.Coeff[a].end(), d, d + 4);
      }
    }
    group.Neighbours = std::make_unique<locator_buckets>(group.Locator);
  }

  // s = sum_k w_k s_k(x) and J = sum_k w_k J_k(x); ids is working storage.
  void Evaluate(const double x[3], std::vector<vtkIdType>& ids, double s[3], double J[3][3]) const
  {
    std::fill(s, s + 3, 0.0);
    std::fill(&J[0][0], &J[0][0] + 9, 0.0);
    for (const auto& group : this->Groups)
    {
      group->Neighbours->FindPointsWithinRadius(this->Radius, x, ids);
      for (std::size_t k : group->Members)
      {
        const expression_fit& e = *this->Expressions[k];
        if (e.Weight == 0.0)
        {
          continue;
        }
        double sk[3];
        double jk[3][3];
        evaluate_spline_field(
          this->Field(e), x, ids.data(), static_cast<vtkIdType>(ids.size()), sk, jk);
        for (int a = 0; a < 3; ++a)
        {
          s[a] += e.Weight * sk[a];
          for (int b = 0; b < 3; ++b)
          {
            J[a][b] += e.Weight * jk[a][b];
          }
        }
      }
    }
  }

  // Caches every expression's displacement (and Jacobian) at point i of inPts: each group's
  // neighbours are found once, and every member evaluated from them.
  void CachePoint(vtkPoints* inPts, vtkIdType i, std::vector<vtkIdType>& ids, bool withJacobians)
  {
    double x[3];
    inPts->GetPoint(i, x);
    for (const auto& group : this->Groups)
    {
      group->Neighbours->FindPointsWithinRadius(this->Radius, x, ids);
      for (std::size_t k : group->Members)
      {
        double s[3];
        double J[3][3];
        evaluate_spline_field(this->Field(*this->Expressions[k]),
                              x,
                              ids.data(),
                              static_cast<vtkIdType>(ids.size()),
                              s,
                              withJacobians ? J : nullptr);
        for (int a = 0; a < 3; ++a)
        {
          this->Displacement[k][3 * i + a] = static_cast<float>(s[a]);
        }
        for (int c = 0; withJacobians && c < 9; ++c)
        {
          this->Jacobian[k][9 * i + c] = static_cast<float>(J[c / 3][c % 3]);
        }
      }
    }
  }

  // Fills the cache for inPts on the threads of vtkSMPTools. The terms of each point come in a
  // fixed order, so the cache does not depend on the number of threads.
  void Cache(vtkPoints* inPts, bool withJacobians)
  {
    const vtkIdType n = inPts->GetNumberOfPoints();
    const std::size_t count = this->Expressions.size();
    this->Displacement.assign(count, std::vector<float>(3 * n));
    this->Jacobian.assign(withJacobians ? count : 0, std::vector<float>(9 * n));
    vtkSMPThreadLocal<std::vector<vtkIdType>> found;
    auto fill = [&](vtkIdType begin, vtkIdType end)
    {
      for (vtkIdType i = begin; i < end; ++i)
      {
        this->CachePoint(inPts, i, found.Local(), withJacobians);
      }
    };
    vtkSMPTools::For(0, n, 1024, fill);
    this->CachedPoints = inPts;
    this->CachedPointsTime = inPts->GetMTime();
    this->CachedFitTime = this->FitTime.GetMTime();
    this->CachedJacobians = withJacobians;
  }

  // out = x - sum_k w_k d_k over the 3n coordinates, in single precision, skipping the
  // expressions of weight 0: a block of the output at a time, each displacement array read once.
  void Blend(const float* x, vtkIdType n, float* out) const
  {
    for (vtkIdType begin = 0; begin < 3 * n; begin += BlendBlock)
    {
      const vtkIdType end = std::min(3 * n, begin + BlendBlock);
      std::copy(x + begin, x + end, out + begin);
      for (std::size_t k = 0; k < this->Expressions.size(); ++k)
      {
        const float w = static_cast<float>(this->Expressions[k]->Weight);
        if (w == 0.0f)
        {
          continue;
        }
        const float* d = this->Displacement[k].data();
        for (vtkIdType j = begin; j < end; ++j)
        {
          out[j] -= w * d[j];
        }
      }
    }
  }

  // The derivative I - sum_k w_k J_k at cached point i.
  void Derivative(vtkIdType i, double m[3][3]) const
  {
    for (int c = 0; c < 9; ++c)
    {
      double sum = c % 4 == 0 ? 1.0 : 0.0;
      for (std::size_t k = 0; k < this->Expressions.size(); ++k)
      {
        sum -= this->Expressions[k]->Weight * this->Jacobian[k][9 * i + c];
      }
      m[c / 3][c % 3] = sum;
    }
  }
};

vtkExpressionTransform::vtkExpressionTransform()
  : SupportRadius(0.5)
  , Wendland(false)
  , Polynomial(true)
  , Smoothing(0.0)
  , Internals(new vtkInternals)
{
}

vtkExpressionTransform::~vtkExpressionTransform()
{
  delete this->Internals;
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
  auto e = std::make_unique<expression_fit>();
  e->Name = name;
  for (auto pair :
       { std::make_pair(source, e->Source.Get()), std::make_pair(target, e->Target.Get()) })
  {
    const vtkIdType n = pair.first->GetNumberOfPoints();
    pair.second->SetNumberOfPoints(n);
    for (vtkIdType i = 0; i < n; ++i)
    {
      pair.second->SetPoint(i, pair.first->GetPoint(i));
    }
  }
  this->Internals->Expressions.push_back(std::move(e));
  this->Internals->ParametersTime.Modified();
  this->Modified();
  return static_cast<int>(this->Internals->Expressions.size()) - 1;
}

void vtkExpressionTransform::RemoveAllExpressions()
{
  this->Internals->Forget();
  this->Internals->Expressions.clear();
  this->Internals->ParametersTime.Modified();
  this->Modified();
}

int vtkExpressionTransform::GetNumberOfExpressions()
{
  return static_cast<int>(this->Internals->Expressions.size());
}

const char* vtkExpressionTransform::GetExpressionName(int index)
{
  if (index < 0 || index >= this->GetNumberOfExpressions())
  {
    return nullptr;
  }
  return this->Internals->Expressions[index]->Name.c_str();
}

int vtkExpressionTransform::GetExpressionIndex(const char* name)
{
  for (int k = 0; name && k < this->GetNumberOfExpressions(); ++k)
  {
    if (this->Internals->Expressions[k]->Name == name)
    {
      return k;
    }
  }
  return -1;
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
  if (index < 0 || index >= this->GetNumberOfExpressions())
  {
    vtkErrorMacro(<< "SetWeight: there is no expression " << index);
    return;
  }
  if (this->Internals->Expressions[index]->Weight != weight)
  {
    this->Internals->Expressions[index]->Weight = weight;
    this->Modified();
  }
}

double vtkExpressionTransform::GetWeight(const char* name)
{
  return this->GetWeight(this->GetExpressionIndex(name));
}

double vtkExpressionTransform::GetWeight(int index)
{
  if (index < 0 || index >= this->GetNumberOfExpressions())
  {
    return 0.0;
  }
  return this->Internals->Expressions[index]->Weight;
}

void vtkExpressionTransform::SetSupportRadius(double radius)
{
  if (this->SupportRadius != radius)
  {
    this->SupportRadius = radius;
    this->Internals->ParametersTime.Modified();
    this->Modified();
  }
}

void vtkExpressionTransform::SetWendland(bool wendland)
{
  if (this->Wendland != wendland)
  {
    this->Wendland = wendland;
    this->Internals->ParametersTime.Modified();
    this->Modified();
  }
}

void vtkExpressionTransform::SetPolynomial(bool polynomial)
{
  if (this->Polynomial != polynomial)
  {
    this->Polynomial = polynomial;
    this->Internals->ParametersTime.Modified();
    this->Modified();
  }
}

void vtkExpressionTransform::SetSmoothing(double smoothing)
{
  if (this->Smoothing != smoothing)
  {
    this->Smoothing = smoothing;
    this->Internals->ParametersTime.Modified();
    this->Modified();
  }
}

int vtkExpressionTransform::Fit()
{
  vtkInternals& fit = *this->Internals;
  if (fit.FitTime.GetMTime() > fit.ParametersTime.GetMTime())
  {
    return fit.Fitted || fit.Expressions.empty() ? 1 : 0;
  }
  fit.Forget();
  fit.FitError.clear();
  fit.FitTime.Modified();
  fit.Radius = static_cast<float>(this->SupportRadius);
  if (!(fit.Radius > 0.0f) || !std::isfinite(fit.Radius))
  {
    fit.FitError = "the support radius is not a positive number";
    return 0;
  }
  if (!(this->Smoothing >= 0.0) || !std::isfinite(this->Smoothing))
  {
    fit.FitError = "the smoothing is not a finite number of 0 or more";
    return 0;
  }
  fit.Options.Kernel = this->Wendland ? animation::core::basis_kernel::wendland
                                      : animation::core::basis_kernel::quadratic;
  fit.Options.Polynomial = this->Polynomial;
  fit.Options.Smoothing = this->Smoothing;
  for (const auto& e : fit.Expressions)
  {
    if (e->Source->GetNumberOfPoints() > VTK_INT_MAX - 4 || !AllPointsFinite(e->Source) ||
        !AllPointsFinite(e->Target))
    {
      fit.FitError = "expression " + e->Name + ": the landmarks are not finite or too many";
      return 0;
    }
  }
  fit.Group();
  for (const auto& group : fit.Groups)
  {
    try
    {
      fit.FitGroup(*group);
    }
    catch (const char* message)
    {
      fit.FitError = "expression " + fit.Expressions[group->Members[0]]->Name + ": " + message;
    }
    catch (const std::exception& failure)
    {
      fit.FitError =
        "expression " + fit.Expressions[group->Members[0]]->Name + ": " + failure.what();
    }
    if (!fit.FitError.empty())
    {
      fit.Forget();
      return 0;
    }
  }
  fit.Fitted = true;
  return 1;
}

const char* vtkExpressionTransform::GetFitError()
{
  return this->Internals->FitError.c_str();
}

int vtkExpressionTransform::GetNumberOfFactorisations()
{
  this->Update();
  return static_cast<int>(this->Internals->Groups.size());
}

void vtkExpressionTransform::InternalUpdate()
{
  if (!this->Fit())
  {
    vtkErrorMacro(<< "Update: " << this->Internals->FitError << "; the transform is the identity");
  }
}

void vtkExpressionTransform::ForwardTransformPoint(const double in[3], double out[3])
{
  double derivative[3][3];
  this->ForwardTransformDerivative(in, out, derivative);
}

void vtkExpressionTransform::ForwardTransformPoint(const float in[3], float out[3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  this->ForwardTransformPoint(x, y);
  std::copy(y, y + 3, out);
}

void vtkExpressionTransform::ForwardTransformDerivative(const double in[3],
                                                        double out[3],
                                                        double derivative[3][3])
{
  double s[3] = { 0.0, 0.0, 0.0 };
  double J[3][3] = {};
  if (this->Internals->Fitted)
  {
    thread_local std::vector<vtkIdType> ids;
    this->Internals->Evaluate(in, ids, s, J);
  }
  for (int a = 0; a < 3; ++a)
  {
    out[a] = in[a] - s[a];
  }
  blended_derivative(&J[0][0], 1.0, derivative);
}

void vtkExpressionTransform::ForwardTransformDerivative(const float in[3],
                                                        float out[3],
                                                        float derivative[3][3])
{
  const double x[3] = { in[0], in[1], in[2] };
  double y[3];
  double d[3][3];
  this->ForwardTransformDerivative(x, y, d);
  for (int a = 0; a < 3; ++a)
  {
    out[a] = static_cast<float>(y[a]);
    for (int b = 0; b < 3; ++b)
    {
      derivative[a][b] = static_cast<float>(d[a][b]);
    }
  }
}

void vtkExpressionTransform::TransformPoints(vtkPoints* inPts, vtkPoints* outPts)
{
  this->TransformPointsNormalsVectors(inPts, outPts, nullptr, nullptr, nullptr, nullptr);
}

// The cache is keyed on the point set object, its modification time and the fit, as
// vtkCompactSplineTransform's is.
void vtkExpressionTransform::TransformPointsNormalsVectors(vtkPoints* inPts,
                                                           vtkPoints* outPts,
                                                           vtkDataArray* inNms,
                                                           vtkDataArray* outNms,
                                                           vtkDataArray* inVrs,
                                                           vtkDataArray* outVrs,
                                                           int nOptionalVectors,
                                                           vtkDataArray** inVrsArr,
                                                           vtkDataArray** outVrsArr)
{
  this->Update();
  vtkInternals& fit = *this->Internals;
  if (this->InverseFlag || !fit.Fitted)
  {
    this->Superclass::TransformPointsNormalsVectors(
      inPts, outPts, inNms, outNms, inVrs, outVrs, nOptionalVectors, inVrsArr, outVrsArr);
    return;
  }

  const vtkIdType n = inPts->GetNumberOfPoints();
  const bool derivatives = (inNms && outNms) || (inVrs && outVrs) || nOptionalVectors > 0;
  if (fit.CachedPoints != inPts || fit.CachedPointsTime != inPts->GetMTime() ||
      fit.CachedFitTime != fit.FitTime.GetMTime() || (derivatives && !fit.CachedJacobians) ||
      (!fit.Displacement.empty() && fit.Displacement[0].size() != static_cast<std::size_t>(3 * n)))
  {
    fit.Cache(inPts, derivatives);
  }

  std::vector<float> copied;
  const float* in = nullptr;
  if (inPts->GetDataType() == VTK_FLOAT)
  {
    in = static_cast<const float*>(inPts->GetVoidPointer(0));
  }
  else
  {
    copied.resize(3 * n);
    for (vtkIdType i = 0; i < n; ++i)
    {
      double x[3];
      inPts->GetPoint(i, x);
      std::copy(x, x + 3, &copied[3 * i]);
    }
    in = copied.data();
  }
  const vtkIdType start = outPts->GetNumberOfPoints();
  outPts->SetNumberOfPoints(start + n);
  if (outPts->GetDataType() == VTK_FLOAT)
  {
    fit.Blend(in, n, static_cast<float*>(outPts->GetVoidPointer(0)) + 3 * start);
  }
  else
  {
    std::vector<float> moved(3 * n);
    fit.Blend(in, n, moved.data());
    for (vtkIdType i = 0; i < n; ++i)
    {
      outPts->SetPoint(start + i, moved[3 * i], moved[3 * i + 1], moved[3 * i + 2]);
    }
  }
  if (!derivatives)
  {
    return;
  }

  for (vtkIdType i = 0; i < n; ++i)
  {
    double m[3][3];
    fit.Derivative(i, m);
    carry_tuples(m, i, inNms, outNms, inVrs, outVrs, nOptionalVectors, inVrsArr, outVrsArr);
  }
}

vtkAbstractTransform* vtkExpressionTransform::MakeTransform()
{
  return vtkExpressionTransform::New();
}

void vtkExpressionTransform::InternalDeepCopy(vtkAbstractTransform* transform)
{
  auto* other = static_cast<vtkExpressionTransform*>(transform);
  this->SetInverseTolerance(other->InverseTolerance);
  this->SetInverseIterations(other->InverseIterations);
  this->SetSupportRadius(other->SupportRadius);
  this->SetWendland(other->Wendland);
  this->SetPolynomial(other->Polynomial);
  this->SetSmoothing(other->Smoothing);
  this->RemoveAllExpressions();
  for (const auto& e : other->Internals->Expressions)
  {
    this->SetWeight(this->AddExpression(e->Name.c_str(), e->Source, e->Target), e->Weight);
  }
  if (this->InverseFlag != other->InverseFlag)
  {
    this->InverseFlag = other->InverseFlag;
    this->Modified();
  }
}

void vtkExpressionTransform::PrintSelf(ostream& os, vtkIndent indent)
{
  this->Superclass::PrintSelf(os, indent);
  os << indent << "SupportRadius: " << this->SupportRadius << "\n";
  os << indent << "Kernel: " << (this->Wendland ? "wendland" : "quadratic") << "\n";
  os << indent << "Polynomial: " << (this->Polynomial ? "on" : "off") << "\n";
  os << indent << "Smoothing: " << this->Smoothing << "\n";
  os << indent << "Expressions: " << this->Internals->Expressions.size() << "\n";
  for (const auto& e : this->Internals->Expressions)
  {
    os << indent.GetNextIndent() << e->Name << ": " << e->Source->GetNumberOfPoints()
       << " landmarks, weight " << e->Weight << "\n";
  }
  os << indent << "Fitted: " << (this->Internals->Fitted ? "yes" : "no") << "\n";
  os << indent << "Factorisations: " << this->Internals->Groups.size() << "\n";
}
