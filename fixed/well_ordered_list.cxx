// GetWellOderredList, the program's binding over the breadth-first ordering
// of deformation/core/fit.h (order_points): the list comes back in a malloc
// block the caller frees, the progress goes to the progress line, and a
// failure to obtain storage is the fixed text.
//
// The well-ordered list is a breadth-first numbering of the neighbourhood
// graph of the control points: vertices are the points, and two points are
// joined when the locator finds one within radius of the other. Each
// position is expanded by one locator query around its point, and every
// unplaced point the query returns takes the next free position; when the
// queue runs dry the lowest unplaced id seeds the next connected group.
// Every point is therefore placed after the point that first reached it, and
// the half-bandwidth max is the largest gap between a point's position and
// that of the point that placed it; seeds do not count.
#include "well_ordered_list.h"

#include "fit.h"
#include "fixed_texts.h"
#include "program_error.h"
#include "progress_line_sink.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

int* GetWellOderredList(int& max,
                        int count,
                        float radius,
                        vtkPoints* points,
                        vtkPointLocator* locator)
{
  max = 0;
  const std::size_t size = count > 0 ? static_cast<std::size_t>(count) : 1;
  int* list = static_cast<int*>(std::malloc(size * sizeof(int)));
  std::vector<int> order;
  animation::core::outcome ordered;
  if (list)
  {
    progress_stage ordering("Ordering the control points", count);
    animation::fixed::progress_line_sink line;
    ordered = animation::core::order_points(points, locator, count, radius, order, max, &line);
  }
  if (!list || !ordered.Ok())
  {
    std::free(list);
    throw program_error(animation::fixed::no_memory_ordering);
  }
  std::copy(order.begin(), order.end(), list);
  return list;
}
