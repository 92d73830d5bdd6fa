// Solve stage: fits the spline through the control points and wraps it as
// the shape transform that deforms the face.
#ifndef solve_stage_h
#define solve_stage_h

#include "scene_input.h"

#include <cstdint>

struct ExpressionRun;
class vtkAbstractTransform;
class vtkMatrixSolver;
class vtkShapeTransform;

struct SplineFit
{
  vtkMatrixSolver* Solver;      // owns the coefficient arrays the transform reads
  vtkShapeTransform* Transform; // BlendFactor 0 until the animation writes it
  // The same field for the user's face mesh when the drawn surface is
  // another mesh. A shape transform caches the field for one point set,
  // known only by its size: the drawn surface and the user's mesh, which may
  // have the same size in another order, each need a transform of their own.
  vtkShapeTransform* MeshTransform = nullptr;
  // A scene with Expression or Key lines has these instead of the two above.
  ExpressionRun* Expressions = nullptr;
  // The run's number of frames, frame 0 included: the timeline's for a scene
  // with expressions, otherwise FrameCount of FramesNumber and LoopCount.
  int64_t Frames = 1;
};

// Hands the scene's control-point data to a new solver, solves (printing
// "Solving time: ... sec. ") and gives the coefficients to a new shape
// transform. The solver's program_error is thrown on after the solver is
// released. A scene with Expression or Key lines is solved by
// SolveExpressions() (expressions.h) instead.
SplineFit SolveSpline(const SceneInput& input);

// The transform that deforms the drawn face: the shape transform, or the
// expressions' transform.
vtkAbstractTransform* FaceTransform(const SplineFit& fit);

#endif
