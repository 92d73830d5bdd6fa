// Solve stage: fits the spline through the control points and wraps it as
// the shape transform that deforms the face.
#ifndef solve_stage_h
#define solve_stage_h

class vtkDatReader;
class vtkMatrixSolver;
class vtkShapeTransform;

struct SplineFit
{
  vtkMatrixSolver* Solver;      // owns the coefficient arrays the transform reads
  vtkShapeTransform* Transform; // BlendFactor 0 until the animation writes it
};

// Hands the reader's control-point data to a new solver, solves (printing
// "Solving time: ... sec. ") and gives the coefficients to a new shape
// transform. The solver's failures are thrown as text, after the solver is
// released; the reader is left to the caller.
SplineFit SolveSpline(vtkDatReader* reader);

#endif
