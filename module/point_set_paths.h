// What vtkCompactSplineTransform and vtkExpressionTransform share around
// their fields: the cache of a point set's displacements, the carry of its
// normals and vectors, and the lengthening of their outputs (which
// vtkShapeTransform uses too).
#ifndef point_set_paths_h
#define point_set_paths_h

#include "displacement_cache.h"

#include <vtkDataArray.h>
#include <vtkPoints.h>
#include <vtkSMPThreadLocal.h>
#include <vtkType.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace animation
{
// The displacements of one point set under one fit. The key is the point
// set's address and modification time (unique while the object lives: a new
// object at the same address has a later time) and the fit itself.
template<typename Fit, typename Real>
struct keyed_displacements
{
  const vtkPoints* Points = nullptr;
  vtkMTimeType PointsTime = 0;
  std::shared_ptr<const Fit> Field;
  core::displacement_cache<Real> Cache;
  // The largest |s| among the points with no control point within R, for a
  // fill that records it.
  double LargestMoveBeyondSupports = 0.0;
  // Whatever the owner of the cache keeps beside the displacements of this
  // point set to derive them for a later fit; shared between the entries
  // derived one from another, never changed.
  std::shared_ptr<const void> Derivation;
};

// The displacements of the last Kept point sets, most recent first: one per
// pipeline that a few threads may run side by side. An entry is never changed
// once made, so a thread may blend from it while another replaces it.
template<typename Fit, typename Real>
class point_set_cache
{
public:
  using entry = keyed_displacements<Fit, Real>;
  static constexpr std::size_t Kept = 4;

  void Clear()
  {
    std::lock_guard<std::mutex> lock(this->Lock);
    this->Entries.clear();
  }

  // The displacements of points under field, with the Jacobian when asked.
  // When none are kept, every entry of the same points under another field
  // is first offered to derive(old, sole, made): it may make made (keyed
  // already) from old and return true, or return false and leave both as
  // they are; sole tells that the cache holds the only reference to old,
  // whose storage made may then take (old is dropped either way once made
  // replaces it). When none derives, fill(made) fills made's cache (and what
  // else it records). Both run under the lock, so that one thread makes the
  // entry while the others wait.
  template<typename Derive, typename Fill>
  std::shared_ptr<const entry> Find(vtkPoints* points,
                                    const std::shared_ptr<const Fit>& field,
                                    bool withJacobian,
                                    Derive derive,
                                    Fill fill)
  {
    std::lock_guard<std::mutex> lock(this->Lock);
    const vtkMTimeType time = points->GetMTime();
    const vtkIdType n = points->GetNumberOfPoints();
    // Whether an entry holds what is asked of these points as they are now.
    auto serves = [&](const entry& kept)
    {
      return kept.Points == points && kept.PointsTime == time && kept.Cache.Count == n &&
             (!withJacobian || kept.Cache.HasJacobian());
    };
    const auto hit = std::find_if(this->Entries.begin(),
                                  this->Entries.end(),
                                  [&](const std::shared_ptr<entry>& kept)
                                  { return serves(*kept) && kept->Field == field; });
    if (hit != this->Entries.end())
    {
      std::rotate(this->Entries.begin(), hit, hit + 1);
      return this->Entries.front();
    }
    auto made = std::make_shared<entry>();
    made->Points = points;
    made->PointsTime = time;
    made->Field = field;
    bool derived = false;
    for (std::size_t k = 0; k < this->Entries.size() && !derived; ++k)
    {
      std::shared_ptr<entry>& kept = this->Entries[k];
      if (serves(*kept) && kept->Field != field)
      {
        derived = derive(*kept, kept.use_count() == 1, *made);
      }
    }
    if (!derived)
    {
      fill(*made);
    }
    const auto same =
      std::find_if(this->Entries.begin(),
                   this->Entries.end(),
                   [points](const std::shared_ptr<entry>& kept) { return kept->Points == points; });
    if (same != this->Entries.end())
    {
      this->Entries.erase(same);
    }
    this->Entries.insert(this->Entries.begin(), made);
    if (this->Entries.size() > Kept)
    {
      this->Entries.pop_back();
    }
    return made;
  }

private:
  std::mutex Lock;
  // Held as changeable only so that a derived entry may take the storage of
  // one that nobody else holds; no entry is changed while another holds it.
  std::vector<std::shared_ptr<entry>> Entries;
};

// Lengthens array by count tuples, keeping the tuples it holds
// (SetNumberOfTuples() alone reallocates a growing array without them), and
// returns the index of the first new tuple, left unwritten.
inline vtkIdType AppendTuples(vtkDataArray* array, vtkIdType count)
{
  const vtkIdType start = array->GetNumberOfTuples();
  if (start > 0)
  {
    array->Resize(start + count);
  }
  array->SetNumberOfTuples(start + count);
  return start;
}

// The largest of the values that the threads kept, 0 when none is larger.
inline double LargestOf(vtkSMPThreadLocal<double>& perThread)
{
  double largest = 0.0;
  for (double value : perThread)
  {
    largest = std::max(largest, value);
  }
  return largest;
}

// The normals and vectors of TransformPointsNormalsVectors(), which travel
// together: each in/out pair is carried when both arrays are given.
struct carried_tuples
{
  vtkDataArray* InNormals;
  vtkDataArray* OutNormals;
  vtkDataArray* InVectors;
  vtkDataArray* OutVectors;
  int OptionalVectors;              // further vector arrays
  vtkDataArray** InOptionalVectors; // OptionalVectors entries, or null
  vtkDataArray** OutOptionalVectors;

  // Whether anything is carried, so that the Jacobian is needed.
  bool Any() const
  {
    return (this->InNormals && this->OutNormals) || (this->InVectors && this->OutVectors) ||
           this->OptionalVectors > 0;
  }

  // Carries every tuple by m(i) = I - sum_k weights[k] J_k(i), J_k(i) the
  // cached Jacobian of field k at point i, on the threads of vtkSMPTools,
  // appending to the output arrays: a normal by the inverse transpose of
  // m(i), renormalised (spline_field.h), a vector by m(i).
  //   cache    in: with the Jacobian
  //   weights  cache.Sets entries, in
  template<typename Real>
  void CarryAll(const core::displacement_cache<Real>& cache, const double* weights) const
  {
    const std::vector<carried_array> arrays = this->Extend(cache.Count);
    vtkSMPTools::For(0,
                     cache.Count,
                     4096,
                     [&](vtkIdType begin, vtkIdType end)
                     {
                       for (vtkIdType i = begin; i < end; ++i)
                       {
                         double m[3][3];
                         for (int c = 0; c < 9; ++c)
                         {
                           double sum = c % 4 == 0 ? 1.0 : 0.0;
                           for (int k = 0; k < cache.Sets; ++k)
                           {
                             sum -= weights[k] * cache.JacobianOf(k)[9 * i + c];
                           }
                           m[c / 3][c % 3] = sum;
                         }
                         Carry(arrays, m, i);
                       }
                     });
  }

private:
  // One carried pair, whose output receives tuple i at Start + i.
  struct carried_array
  {
    vtkDataArray* In;
    vtkDataArray* Out;
    bool Normal;
    vtkIdType Start;
  };

  // The pairs that are carried, normals first, each output lengthened by
  // count tuples.
  std::vector<carried_array> Extend(vtkIdType count) const;

  // Carries tuple i of every array by the derivative m of the map at point
  // i. Calls for different i may run at once on separate threads.
  static void Carry(const std::vector<carried_array>& arrays, const double m[3][3], vtkIdType i);
};
}

#endif
