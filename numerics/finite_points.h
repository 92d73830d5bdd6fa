// A check of point coordinates, shared by the mesh checks of the program and
// the landmark checks of the warp transforms.
#ifndef finite_points_h
#define finite_points_h

class vtkPoints;

// True when every coordinate of every point is finite (no infinity, no NaN);
// true for an empty set.
bool AllPointsFinite(vtkPoints* points);

#endif
