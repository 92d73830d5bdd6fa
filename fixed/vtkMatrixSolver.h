// vtkMatrixSolver - fits the spline of the control points; accessors first (traces name lines).
#ifndef vtkMatrixSolver_h
#define vtkMatrixSolver_h
#include "fit_options.h"
#include "refinement.h" // For the fit's accuracy
#include "vtkAnimationMacros.h"
#include <vtkObject.h>
#include <vtkPoints.h>
class vtkMath;
class vtkMatrixSolver : public vtkObject
{
public:
  vtkTypeMacro(vtkMatrixSolver, vtkObject);
  static vtkMatrixSolver* New();
  int Solve();
  animSetObjectMacro(PointArray, vtkPoints);
  animGetObjectMacro(PointArray, vtkPoints);
  animSetMacro(SplineCoeffX, float*);
  animGetMacro(SplineCoeffX, float*);
  animSetMacro(SplineCoeffY, float*);
  animGetMacro(SplineCoeffY, float*);
  animSetMacro(SplineCoeffZ, float*);
  animGetMacro(SplineCoeffZ, float*);
  animSetMacro(List, int*);
  animGetMacro(List, int*);
  animSetMacro(BX, float*);
  animGetMacro(BX, float*);
  animSetMacro(BY, float*);
  animGetMacro(BY, float*);
  animSetMacro(BZ, float*);
  animGetMacro(BZ, float*);
  animSetMacro(Radius, float);
  animGetMacro(Radius, float);
  animSetMacro(Max, int);
  animGetMacro(Max, int);

  // Description:
  // vtkMatrixSolver computes the spline that the shape transform evaluates.
  // For each coordinate it fits, to the values given at the control points,
  //
  //   s(q) = sum_i c(i) * phi(|q - p(i)|) + d0 + d1*qx + d2*qy + d3*qz,
  //   phi(r) = (1 - r/R)^2 for r < R, 0 otherwise,
  //
  // with the side conditions sum_i c(i) = sum_i c(i)*p(i) = 0. The matrix
  // A(i,j) = phi(|p(i) - p(j)|) is sparse and positive definite; it is held in
  // envelope storage, factored once by envelope Cholesky, and the four
  // polynomial terms are eliminated through a 4x4 system solved by QR.
  // Control points that do not span space (fewer than four, in one plane, on
  // one line) determine only the affine functions of their hull: the
  // polynomial part is reduced to those. Options choose Wendland's C2
  // function (1 - r/R)^4 (4r/R + 1) as phi, no polynomial part (d = 0, a
  // strictly local field), and a smoothing lambda: (A + lambda I) c + P'd = b.
  //
  // Usage: set Radius, PointArray, List, Max, BX, BY and BZ, and Options when
  // the defaults do not suit, call Solve(), and read SplineCoeffX,
  // SplineCoeffY and SplineCoeffZ.
  //
  // Warnings: Solve() overwrites BX, BY and BZ with the weights. The control
  // points need at least one point and no two of them at one position;
  // Solve() throws program_error otherwise.
  //
  // Properties (accessors above):
  // PointArray: the control points (source positions). The solver holds a
  // counted reference. Default null.
  // List: List[k] is the id in PointArray of the control point at list
  // position k; n entries, borrowed. Default null.
  // Max: two control points closer than Radius lie at most Max list positions
  // apart; only that window before each row is searched. Default 0.
  // Radius: the support radius R of the basis function. Default 0.
  // BX, BY, BZ: the values the x, y and z interpolants take at the control
  // points, in list order; n entries each, borrowed, overwritten by Solve()
  // with the weights. Default null.
  // SplineCoeffX, SplineCoeffY, SplineCoeffZ: n + 4 coefficients each, the n
  // weights in list order followed by d0, d1, d2, d3. Solve() assigns arrays
  // that the solver owns: they stay valid while the solver lives and until
  // the next Solve(), and the destructor releases them. An array given
  // through a setter is not owned. Default null.
  //
  // Solve() returns 1. It prints three lines on standard output: the
  // assembly time with the number of envelope relocations, the size of the
  // envelope storage against a full matrix, and the solving time. Whoever
  // keeps the coefficient arrays (the shape transform) must be deleted
  // before the solver.
  //
  // Failures of Solve() throw program_error with the text:
  // - a storage message ("Not enough memory to allocate Diag", ...) when a
  //   block cannot be obtained;
  // - "Solve: the interpolation matrix is not positive definite; ..." after
  //   the assembly lines when the factorisation meets a pivot that is not
  //   positive (the kernels print "Matrix is not positive  Iflag =1" first)
  //   or two control points coincide to single precision;
  // - "Solve: there are no control points to fit" at once, with no output,
  //   when there are no points at all;
  // - "Solve: the spline coefficients are not finite; ..." when a weight or
  //   coefficient comes out infinite or undefined (no solving-time line).
  // After a throw the coefficient members keep the arrays of the last
  // successful Solve(), BX, BY and BZ may already hold partial results, and
  // no work storage is left allocated.

  // The basis function, the polynomial part and the smoothing of the fit
  // (fit_options.h; its Radius is not used: Solve() fits with Radius).
  // Default: the quadratic function, with the polynomial part, no smoothing.
  void SetOptions(const animation::core::fit_options& options);
  const animation::core::fit_options& GetOptions() const { return this->Options; }

  // How well the last Solve() lands the control points, before and after
  // the refinement that the options' RefineAbove asks for (refinement.h):
  // After is that of the coefficients in SplineCoeffX, Y and Z.
  const animation::core::fit_accuracy& GetAccuracy() const { return this->Accuracy; }

protected:
  vtkMatrixSolver();
  ~vtkMatrixSolver() override;

  vtkPoints* PointArray = nullptr;
  float* SplineCoeffX = nullptr;
  float* SplineCoeffY = nullptr;
  float* SplineCoeffZ = nullptr;
  int* List = nullptr;
  float* BX = nullptr;
  float* BY = nullptr;
  float* BZ = nullptr;
  float Radius = 0.0f;
  int Max = 0;
  animation::core::fit_options Options;
  animation::core::fit_accuracy Accuracy;
  vtkMath* Math; // made by the constructor, deleted by the destructor; unused

  // The coefficient arrays made by the last Solve(), X, Y, Z; owned.
  float* SolvedCoeff[3] = { nullptr, nullptr, nullptr };

private:
  vtkMatrixSolver(const vtkMatrixSolver&) = delete;
  void operator=(const vtkMatrixSolver&) = delete;
};

#endif
