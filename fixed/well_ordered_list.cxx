// The binding over the numerics' breadth-first ordering (order_points, fit.h).
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
