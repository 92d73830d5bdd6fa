// The hand-off of a read scene to the solver, which the program's solve
// stage and the benchmark share: the solver builds on nothing, so neither
// class knows the other.
#ifndef solver_input_h
#define solver_input_h

#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

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

#endif
