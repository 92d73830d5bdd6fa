#include "solve_stage.h"

#include "expressions.h"
#include "read_stage.h"
#include "solver_input.h"
#include "stopwatch.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <iostream>

SplineFit SolveSpline(const SceneInput& input)
{
  vtkDatReader* reader = input.Settings;
  if (HasExpressions(reader))
  {
    ExpressionRun* expressions = SolveExpressions(reader);
    return { nullptr, nullptr, nullptr, expressions, expressions->Keys.Frames };
  }
  vtkMatrixSolver* solver = vtkMatrixSolver::New();
  HandControlPointsTo(solver, reader);

  stopwatch_start();
  try
  {
    solver->Solve();
  }
  catch (...)
  {
    solver->Delete();
    throw;
  }
  std::cout << "Solving time: " << stopwatch_elapsed() << " sec. " << std::endl;
  if (solver->GetAccuracy().Steps > 0)
  {
    const animation::core::fit_accuracy& accuracy = solver->GetAccuracy();
    ReportFitRefinement(accuracy.Before, accuracy.After, accuracy.PolynomialLoss);
  }

  vtkShapeTransform* transforms[2] = { vtkShapeTransform::New(), vtkShapeTransform::New() };
  for (vtkShapeTransform* transform : transforms)
  {
    HandSplineTo(transform, reader, solver);
  }
  return { solver,
           transforms[0],
           transforms[1],
           nullptr,
           FrameCount(reader->GetFramesNumber(), reader->GetLoopCount()) };
}

vtkAbstractTransform* FaceTransform(const SplineFit& fit)
{
  if (fit.Expressions)
  {
    return fit.Expressions->Transform;
  }
  return fit.Transform;
}
