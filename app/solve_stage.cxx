#include "solve_stage.h"

#include "expressions.h"
#include "stopwatch.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

#include <iostream>

SplineFit SolveSpline(vtkDatReader* reader)
{
  if (HasExpressions(reader))
  {
    return { nullptr, nullptr, SolveExpressions(reader) };
  }
  vtkMatrixSolver* solver = vtkMatrixSolver::New();
  solver->SetRadius(reader->GetRadius());
  solver->SetPointArray(reader->GetPointArray());
  solver->SetList(reader->GetList());
  solver->SetMax(reader->GetMax());
  solver->SetBX(reader->GetBX());
  solver->SetBY(reader->GetBY());
  solver->SetBZ(reader->GetBZ());
  solver->SetOptions(reader->GetFitOptions());

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

  vtkShapeTransform* transform = vtkShapeTransform::New();
  vtkPointLocator* tree = reader->GetTree();
  int* unlist = reader->GetUnList();
  float* coeffZ = solver->GetSplineCoeffZ();
  float* coeffY = solver->GetSplineCoeffY();
  float* coeffX = solver->GetSplineCoeffX();
  vtkPoints* points = reader->GetPointArray();
  float radius = reader->GetRadius();
  transform->SetSpline(
    radius, points, coeffX, coeffY, coeffZ, unlist, tree, reader->GetFitOptions().Kernel);
  return { solver, transform };
}

vtkAbstractTransform* FaceTransform(const SplineFit& fit)
{
  if (fit.Expressions)
  {
    return fit.Expressions->Transform;
  }
  return fit.Transform;
}
