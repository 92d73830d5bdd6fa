#include "dense_solve.h"

#include <cmath>
#include <utility>

std::vector<double> DenseSolve(std::vector<std::vector<double>> a, std::vector<double> b)
{
  return DenseSolveMany(std::move(a), { std::move(b) })[0];
}

std::vector<std::vector<double>> DenseSolveMany(std::vector<std::vector<double>> a,
                                                std::vector<std::vector<double>> bs)
{
  const int n = static_cast<int>(a.size());
  for (int k = 0; k < n; ++k)
  {
    int pivot = k;
    for (int i = k + 1; i < n; ++i)
    {
      if (std::fabs(a[i][k]) > std::fabs(a[pivot][k]))
      {
        pivot = i;
      }
    }
    std::swap(a[k], a[pivot]);
    for (auto& b : bs)
    {
      std::swap(b[k], b[pivot]);
    }
    for (int i = k + 1; i < n; ++i)
    {
      const double m = a[i][k] / a[k][k];
      for (int j = k; j < n; ++j)
      {
        a[i][j] -= m * a[k][j];
      }
      for (auto& b : bs)
      {
        b[i] -= m * b[k];
      }
    }
  }
  // a is now upper triangular.
  for (auto& b : bs)
  {
    for (int i = n - 1; i >= 0; --i)
    {
      for (int j = i + 1; j < n; ++j)
      {
        b[i] -= a[i][j] * b[j];
      }
      b[i] /= a[i][i];
    }
  }
  return bs;
}

DenseSplineField::DenseSplineField(const DenseSplineDefinition& definition,
                                   const std::vector<DensePoint>& sources,
                                   const std::vector<DensePoint>& values)
  : Definition(definition)
  , Sources(sources)
{
  const std::size_t n = sources.size();
  const std::size_t m = definition.Polynomial ? 1 + definition.LinearTerms.size() : 0;
  std::vector<std::vector<double>> a(n + m, std::vector<double>(n + m, 0.0));
  for (std::size_t i = 0; i < n; ++i)
  {
    for (std::size_t j = 0; j < n; ++j)
    {
      a[i][j] = this->Phi(sources[i], sources[j]) + (i == j ? definition.Smoothing : 0.0);
    }
    const std::vector<double> terms = this->Terms(sources[i]);
    for (std::size_t t = 0; t < m; ++t)
    {
      a[i][n + t] = a[n + t][i] = terms[t];
    }
  }
  std::vector<std::vector<double>> b(3, std::vector<double>(n + m, 0.0));
  for (int axis = 0; axis < 3; ++axis)
  {
    for (std::size_t i = 0; i < n; ++i)
    {
      b[axis][i] = values[i][axis];
    }
  }
  std::vector<std::vector<double>> solved = DenseSolveMany(std::move(a), std::move(b));
  for (int axis = 0; axis < 3; ++axis)
  {
    this->Coefficients[axis] = std::move(solved[axis]);
  }
}

DensePoint DenseSplineField::operator()(const DensePoint& x) const
{
  DensePoint s = { 0.0, 0.0, 0.0 };
  const std::size_t n = this->Sources.size();
  const std::vector<double> terms = this->Terms(x);
  for (int axis = 0; axis < 3; ++axis)
  {
    const std::vector<double>& c = this->Coefficients[axis];
    for (std::size_t k = 0; k < n; ++k)
    {
      s[axis] += c[k] * this->Phi(x, this->Sources[k]);
    }
    for (std::size_t t = 0; n + t < c.size(); ++t)
    {
      s[axis] += c[n + t] * terms[t];
    }
  }
  return s;
}

double DenseSplineField::Phi(const DensePoint& a, const DensePoint& b) const
{
  const double r = std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                             (a[2] - b[2]) * (a[2] - b[2]));
  const double t = r / this->Definition.Radius;
  if (t >= 1.0)
  {
    return 0.0;
  }
  return this->Definition.Wendland ? std::pow(1.0 - t, 4) * (4.0 * t + 1.0) : (1.0 - t) * (1.0 - t);
}

std::vector<double> DenseSplineField::Terms(const DensePoint& x) const
{
  std::vector<double> terms = { 1.0 };
  for (int coordinate : this->Definition.LinearTerms)
  {
    terms.push_back(x[coordinate]);
  }
  return terms;
}
