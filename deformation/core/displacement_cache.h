// The displacement of a fitted field at every point of a point set, kept so
// that a change of the blend factor only rescales it. Real is float where the
// program's single-precision output needs exactly its bits, double for the
// toolkit class. The Jacobian is held only when normals or vectors need it:
// for points alone the cache is 3 Real a point, with it 12.
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
  std::vector<Real> Displacement; // 3 per point: s(x(i))
  std::vector<Real> Jacobian;     // 9 per point, row by row, or none

  bool HasJacobian() const
  {
    return this->Jacobian.size() == 9 * static_cast<std::size_t>(this->Count);
  }

  // Evaluates the field at the n points on the threads of vtkSMPTools. Each
  // point is evaluated alone, in the same order of terms on any thread, so
  // the cache does not depend on the number of threads.
  //   point      point(i, x): writes point i as 3 doubles
  //   field      field(x, ids, s, jacobian): s and, when jacobian is not
  //              null, ds/dx at x; ids is the calling thread's work storage
  //   visit      visit(i, x, s) after point i is evaluated, with s unrounded
  //   progress   one unit per point; may be null
  template<typename Point, typename Field, typename Visit>
  void Fill(vtkIdType n,
            bool withJacobian,
            Point point,
            Field field,
            Visit visit,
            progress_sink* progress)
  {
    this->Count = n;
    this->Displacement.assign(3 * static_cast<std::size_t>(n), Real(0));
    this->Jacobian.assign(withJacobian ? 9 * static_cast<std::size_t>(n) : 0, Real(0));
    Real* displacement = this->Displacement.data();
    Real* jacobians = withJacobian ? this->Jacobian.data() : nullptr;
    vtkSMPThreadLocal<std::vector<vtkIdType>> found;
    auto evaluate = [&](vtkIdType begin, vtkIdType end)
    {
      std::vector<vtkIdType>& ids = found.Local();
      for (vtkIdType i = begin; i < end; ++i)
      {
        double x[3];
        double s[3];
        double jacobian[3][3];
        point(i, x);
        field(x, ids, s, jacobians ? jacobian : nullptr);
        for (int c = 0; c < 3; ++c)
        {
          displacement[3 * i + c] = static_cast<Real>(s[c]);
        }
        for (int k = 0; jacobians && k < 9; ++k)
        {
          jacobians[9 * i + k] = static_cast<Real>(jacobian[k / 3][k % 3]);
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
