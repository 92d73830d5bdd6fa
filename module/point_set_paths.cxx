// The carry of normals and vectors that point_set_paths.h declares.
#include "point_set_paths.h"

#include "spline_field.h"

#include <vtkDataArray.h>

namespace animation
{
namespace
{
// out = m * v for a 3-component tuple.
void multiply(const double m[3][3], const double v[3], double out[3])
{
  for (int a = 0; a < 3; ++a)
  {
    out[a] = m[a][0] * v[0] + m[a][1] * v[1] + m[a][2] * v[2];
  }
}
}

void carried_tuples::Extend(vtkIdType count, vtkIdType* starts) const
{
  auto extend = [count](vtkDataArray* out, vtkIdType& start)
  {
    start = out->GetNumberOfTuples();
    out->SetNumberOfTuples(start + count);
  };
  if (this->InNormals && this->OutNormals)
  {
    extend(this->OutNormals, starts[0]);
  }
  if (this->InVectors && this->OutVectors)
  {
    extend(this->OutVectors, starts[1]);
  }
  for (int v = 0; v < this->OptionalVectors; ++v)
  {
    if (this->InOptionalVectors && this->OutOptionalVectors && this->InOptionalVectors[v] &&
        this->OutOptionalVectors[v])
    {
      extend(this->OutOptionalVectors[v], starts[2 + v]);
    }
  }
}

void carried_tuples::Carry(const double m[3][3], vtkIdType i, const vtkIdType* starts) const
{
  double tuple[3];
  if (this->InNormals && this->OutNormals)
  {
    this->InNormals->GetTuple(i, tuple);
    core::transform_normal(m, tuple);
    this->OutNormals->SetTuple(starts[0] + i, tuple);
  }
  double moved[3];
  if (this->InVectors && this->OutVectors)
  {
    this->InVectors->GetTuple(i, tuple);
    multiply(m, tuple, moved);
    this->OutVectors->SetTuple(starts[1] + i, moved);
  }
  for (int v = 0; v < this->OptionalVectors; ++v)
  {
    if (this->InOptionalVectors && this->OutOptionalVectors && this->InOptionalVectors[v] &&
        this->OutOptionalVectors[v])
    {
      this->InOptionalVectors[v]->GetTuple(i, tuple);
      multiply(m, tuple, moved);
      this->OutOptionalVectors[v]->SetTuple(starts[2 + v] + i, moved);
    }
  }
}
}
