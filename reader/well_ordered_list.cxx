// The well-ordered list is a breadth-first numbering of the neighbourhood
// graph of the control points: vertices are the points, and two points are
// joined when the locator finds one within radius of the other. Two arrays of
// count ints describe the numbering while it grows:
//
//   L[k]  = id of the point at position k            (the result)
//   P[id] = position of point id                      (working storage)
//
// Both start filled with the unassigned marker INT_MAX. Positions are handed
// out in increasing order; position n is "expanded" by one locator query
// around point L[n], and every unplaced point it returns takes the next free
// position. When the queue runs dry (L[n] unassigned) the lowest unplaced id
// seeds the next connected group. Every point is therefore placed after the
// point that first reached it, and the half-bandwidth max is the largest gap
// placed - n seen when a point is placed; seeds do not count.
#include "well_ordered_list.h"

#include "progress.h"

#include <vtkIdList.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>

#include <climits>
#include <cstdlib>

int* GetWellOderredList(int& max,
                        int count,
                        float radius,
                        vtkPoints* points,
                        vtkPointLocator* locator)
{
  const int unassigned = INT_MAX;
  const size_t size = count > 0 ? static_cast<size_t>(count) : 1;
  max = 0;
  int* position = static_cast<int*>(std::malloc(size * sizeof(int)));
  int* list = static_cast<int*>(std::malloc(size * sizeof(int)));
  if (!position || !list)
  {
    std::free(position);
    std::free(list);
    throw "GetWellOderredList: Can not allocate result array!";
  }
  for (size_t k = 0; k < size; ++k)
  {
    position[k] = unassigned;
    list[k] = unassigned;
  }

  if (count > 0)
  {
    // One id list serves every query; it has room for all points up front,
    // so no query ever grows it.
    vtkIdList* neighbours = vtkIdList::New();
    neighbours->Allocate(count);
    progress_stage ordering("Ordering the control points", count);
    int placed = 0;
    int lowestUnplaced = 0; // no id below it is unplaced: placement is permanent
    for (int n = 0; placed < count; ++n)
    {
      if (list[n] == unassigned)
      {
        // Positions 0..n-1 are all expanded: start the next group.
        while (position[lowestUnplaced] != unassigned)
        {
          ++lowestUnplaced;
        }
        list[n] = lowestUnplaced;
        position[lowestUnplaced] = n;
        ++placed;
      }
      double centre[3];
      points->GetPoint(list[n], centre);
      locator->FindPointsWithinRadius(radius, centre, neighbours);
      const vtkIdType found = neighbours->GetNumberOfIds();
      const vtkIdType* ids = neighbours->GetPointer(0);
      for (vtkIdType k = 0; k < found; ++k)
      {
        const vtkIdType id = ids[k];
        if (position[id] == unassigned)
        {
          if (placed - n > max)
          {
            max = placed - n;
          }
          list[placed] = static_cast<int>(id);
          position[id] = placed;
          ++placed;
        }
      }
      // Every neighbour of positions 0..n is now placed, at most max after it.
      progress_advance();
    }
    neighbours->Delete();
  }

  std::free(position);
  return list;
}
