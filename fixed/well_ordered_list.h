// Breadth-first ordering of control points by their neighbourhoods.
#ifndef well_ordered_list_h
#define well_ordered_list_h

class vtkPointLocator;
class vtkPoints;

// Numbers count points so that neighbours (points at most radius apart) get
// nearby positions: a breadth-first walk of the neighbourhood graph, each
// connected group seeded with its lowest id, neighbours visited in the
// locator's order.
//
//   max      out: the half-bandwidth, the largest position distance between
//            two neighbours (0 when no point has a neighbour)
//   count    in: number of points to order
//   radius   in: neighbourhood radius
//   points   in: the points, whose coordinates are the query centres
//   locator  in: a locator already built over the same points
//
// Returns a malloc'ed array of count ints, L[position] = point id, which the
// caller frees. Throws program_error with the text "GetWellOderredList: Can
// not allocate result array!" when its storage cannot be obtained.
int* GetWellOderredList(int& max,
                        int count,
                        float radius,
                        vtkPoints* points,
                        vtkPointLocator* locator);

#endif
