// GetWellOderredList, the program's binding over the breadth-first ordering
// of the numerics (order_points, fit.h): the list comes back in a malloc
// block the caller frees, the progress goes to the progress line, and a
// failure to obtain storage is the fixed text.
#include "well_ordered_list.h"

#include "fit.h"
#include "fixed_texts.h"
#include "program_error.h"
#include "progress.h"

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
