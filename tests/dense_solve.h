// Test support: a plain dense solver to check the sparse ones against, and
// the spline field fitted densely with it.
#ifndef dense_solve_h
#define dense_solve_h

#include <array>
#include <vector>

// Solves a x = b by Gaussian elimination with partial pivoting, in double
// precision; a is n rows of n entries.
std::vector<double> DenseSolve(std::vector<std::vector<double>> a, std::vector<double> b);

// The same for several right-hand sides at once, with one elimination.
std::vector<std::vector<double>> DenseSolveMany(std::vector<std::vector<double>> a,
                                                std::vector<std::vector<double>> bs);

using DensePoint = std::array<double, 3>;

// What defines the fitted field besides the control points.
struct DenseSplineDefinition
{
  double Radius = 0.5;
  bool Wendland = false;  // phi = (1 - t)^4 (4t + 1) instead of (1 - t)^2, t = r/R
  bool Polynomial = true; // whether the constant and the linear terms are there
  double Smoothing = 0;   // lambda of (A + lambda I) c + P'd = b
  // The coordinates (0 x, 1 y, 2 z) whose linear terms the polynomial part has.
  std::vector<int> LinearTerms = { 0, 1, 2 };
};

// The field s(x) = sum_k c(k) phi(|x - p(k)|) + d0 + sum_j d_j x_j of the
// definition, fitted to the values at the sources by one dense bordered
// solve [A + lambda I, P'; P, 0] [c; d] = [b; 0] for the three coordinates, in
// double precision, and evaluated over all sources: continuous everywhere.
class DenseSplineField
{
public:
  DenseSplineField(const DenseSplineDefinition& definition,
                   const std::vector<DensePoint>& sources,
                   const std::vector<DensePoint>& values);

  DensePoint operator()(const DensePoint& x) const;

private:
  double Phi(const DensePoint& a, const DensePoint& b) const;
  // The polynomial terms at x: 1, then the chosen coordinates.
  std::vector<double> Terms(const DensePoint& x) const;

  DenseSplineDefinition Definition;
  std::vector<DensePoint> Sources;
  std::vector<double> Coefficients[3]; // weights, then the polynomial terms
};

#endif
