// The carry of normals and vectors that point_set_paths.h declares.
#include "point_set_paths.h"

#include "spline_field.h"

#include <vtkDataArray.h>

namespace animation
{
std::vector<carried_tuples::carried_array> carried_tuples::Extend(vtkIdType count) const
{
  std::vector<carried_array> arrays;
  auto carry = [&arrays, count](vtkDataArray* in, vtkDataArray* out, bool normal)
  {
    if (in && out)
    {
      arrays.push_back({ in, out, normal, AppendTuples(out, count) });
    }
  };
  carry(this->InNormals, this->OutNormals, true);
  carry(this->InVectors, this->OutVectors, false);
  for (int v = 0; this->InOptionalVectors && this->OutOptionalVectors && v < this->OptionalVectors;
       ++v)
  {
    carry(this->InOptionalVectors[v], this->OutOptionalVectors[v], false);
  }
  return arrays;
}

void carried_tuples::Carry(const std::vector<carried_array>& arrays,
                           const double m[3][3],
                           vtkIdType i)
{
  for (const carried_array& a : arrays)
  {
    double tuple[3];
    a.In->GetTuple(i, tuple);
    if (a.Normal)
    {
      core::transform_normal(m, tuple);
      a.Out->SetTuple(a.Start + i, tuple);
      continue;
    }
    double moved[3];
    for (int r = 0; r < 3; ++r)
    {
      moved[r] = m[r][0] * tuple[0] + m[r][1] * tuple[1] + m[r][2] * tuple[2];
    }
    a.Out->SetTuple(a.Start + i, moved);
  }
}
}
