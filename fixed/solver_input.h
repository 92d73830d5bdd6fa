// The hand-offs of a read scene to the solver and of the fitted spline to a
// shape transform, which the program's solve stage and the benchmark share:
// the three classes build on nothing, so none knows the others.
#ifndef solver_input_h
#define solver_input_h

#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"
#include "vtkShapeTransform.h"

// Gives solver the control points that reader has read, each through its
// setter: Radius, PointArray, List, Max, BX, BY, BZ and the fit's options.
inline void HandControlPointsTo(vtkMatrixSolver* solver, vtkDatReader* reader)
{
  solver->SetRadius(reader->GetRadius());
  solver->SetPointArray(reader->GetPointArray());
  solver->SetList(reader->GetList());
  solver->SetMax(reader->GetMax());
  solver->SetBX(reader->GetBX());
  solver->SetBY(reader->GetBY());
  solver->SetBZ(reader->GetBZ());
  solver->SetOptions(reader->GetFitOptions());
}

// Gives transform the spline that solver fitted through reader's control
// points, with reader's radius and kernel; discards its cache.
inline void HandSplineTo(vtkShapeTransform* transform,
                         vtkDatReader* reader,
                         vtkMatrixSolver* solver)
{
  transform->SetSpline(reader->GetRadius(),
                       reader->GetPointArray(),
                       solver->GetSplineCoeffX(),
                       solver->GetSplineCoeffY(),
                       solver->GetSplineCoeffZ(),
                       reader->GetUnList(),
                       reader->GetTree(),
                       reader->GetFitOptions().Kernel);
}

#endif
