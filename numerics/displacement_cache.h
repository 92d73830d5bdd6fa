// The displacement of one or several fitted fields at every point of a point
// set, kept so that a change of the blend factors only rescales it. Real is
// float where the program's single-precision output needs exactly its bits
// (vtkShapeTransform, and vtkExpressionTransform, whose blend is a single-
// precision sum), double for vtkCompactSplineTransform. The Jacobian is held
// only when normals or vectors need it: for points alone the cache is 3 Real
// a point and field, with it 12.
//
// Storage: the fields' values are Sets planes, one after the other, so that a
// blend of several fields streams each plane with unit stride:
//
//   Displacement[3*(k*Count + i) + a]   s_a of field k at point i,
//   Jacobian[9*(k*Count + i) + 3*a + b] ds_a/dx_b of field k at point i.
#ifndef animation_core_displacement_cache_h
#define animation_core_displacement_cache_h

#include "progress_sink.h"

#include <vtkSMPThreadLocal.h>
#include <vtkSMPTools.h>
#include <vtkType.h>

#include <vector>

namespace animation
{
namespace core
{
template<typename Real>
struct displacement_cache
{
  vtkIdType Count = 0;
  int Sets = 1;
  std::vector<Real> Displacement; // 3 per point and field
  std::vector<Real> Jacobian;     // 9 per point and field, row by row, or none

  bool HasJacobian() const
  {
    return this->Jacobian.size() == 9 * static_cast<std::size_t>(this->Count) * this->Sets;
  }

  // The plane of field k: 3*Count displacements, 9*Count Jacobian entries.
  const Real* DisplacementOf(int k) const
  {
    return this->Displacement.data() + 3 * static_cast<std::size_t>(this->Count) * k;
  }
  const Real* JacobianOf(int k) const
  {
    return this->Jacobian.data() + 9 * static_cast<std::size_t>(this->Count) * k;
  }

  // Evaluates the sets fields at the n points on the threads of vtkSMPTools.
  // Each point is evaluated alone, in the same order of terms on any thread,
  // so the cache does not depend on the number of threads.
  //   n          in: the points
  //   sets       in, >= 1: the fields
  //   point      point(i, x): writes point i as 3 doubles
  //   field      field(x, ids, s, jacobian): s (3*sets entries, field k at
  //              s + 3k) and, when jacobian is not null, ds/dx (3*sets rows,
  //              field k at jacobian + 3k) at x; ids is the calling thread's
  //              work storage
  //   visit      visit(i, x, s) after point i is evaluated, with s unrounded
  //   progress   one unit per point; may be null
  template<typename Point, typename Field, typename Visit>
  void Fill(vtkIdType n,
            int sets,
            bool withJacobian,
            Point point,
            Field field,
            Visit visit,
            progress_sink* progress)
  {
    const std::size_t values = static_cast<std::size_t>(n) * sets;
    this->Count = n;
    this->Sets = sets;
    this->Displacement.assign(3 * values, Real(0));
    this->Jacobian.assign(withJacobian ? 9 * values : 0, Real(0));
    Real* displacement = this->Displacement.data();
    Real* jacobians = withJacobian ? this->Jacobian.data() : nullptr;
    struct work
    {
      std::vector<vtkIdType> Ids;
      std::vector<double> S;
      std::vector<double> J;
    };
    vtkSMPThreadLocal<work> storage;
    auto evaluate = [&](vtkIdType begin, vtkIdType end)
    {
      work& local = storage.Local();
      local.S.resize(3 * static_cast<std::size_t>(sets));
      local.J.resize(9 * static_cast<std::size_t>(sets));
      double* s = local.S.data();
      double(*jacobian)[3] = jacobians ? reinterpret_cast<double(*)[3]>(local.J.data()) : nullptr;
      for (vtkIdType i = begin; i < end; ++i)
      {
        double x[3];
        point(i, x);
        field(x, local.Ids, s, jacobian);
        for (int k = 0; k < sets; ++k)
        {
          const std::size_t at = static_cast<std::size_t>(k) * n + i;
          for (int c = 0; c < 3; ++c)
          {
            displacement[3 * at + c] = static_cast<Real>(s[3 * k + c]);
          }
          for (int e = 0; jacobians && e < 9; ++e)
          {
            jacobians[9 * at + e] = static_cast<Real>(local.J[9 * k + e]);
          }
        }
        visit(i, x, s);
      }
      advance(progress, end - begin);
    };
    vtkSMPTools::For(0, n, 1024, evaluate);
  }
};
}
}

#endif
