// Solve stage: fits the spline through the control points and wraps it as
// the shape transform that deforms the face.
#ifndef solve_stage_h
#define solve_stage_h

struct ExpressionRun;
class vtkAbstractTransform;
class vtkDatReader;
class vtkMatrixSolver;
class vtkShapeTransform;

struct SplineFit
{
  vtkMatrixSolver* Solver;      // owns the coefficient arrays the transform reads
  vtkShapeTransform* Transform; // BlendFactor 0 until the animation writes it
  // A scene with Expression or Key lines has these instead of the two above.
  ExpressionRun* Expressions = nullptr;
};

// Hands the reader's control-point data to a new solver, solves (printing
// "Solving time: ... sec. ") and gives the coefficients to a new shape
// transform. The solver's program_error is thrown on after the solver is
// released; the reader is left to the caller. A scene with Expression or Key
// lines is solved by SolveExpressions() (expressions.h) instead.
SplineFit SolveSpline(vtkDatReader* reader);

// The transform that deforms the face: the shape transform, or the
// expressions' transform.
vtkAbstractTransform* FaceTransform(const SplineFit& fit);

#endif
