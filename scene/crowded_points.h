// Meshes whose points are shared by very many faces. The toolkit's normals
// filter, when it orders the faces consistently and splits the normals at
// creases, visits for every edge of every face all the faces around the
// edge's first point: its cost is the sum over the points of the square of
// their number of faces. On a sensible mesh that is a few dozen times the
// number of faces; on 5,000 copies of one triangle (or a fan of thousands of
// faces around one point) it is quadratic, and minutes pass before the first
// frame.
#ifndef crowded_points_h
#define crowded_points_h

class vtkPolyData;

// Largest mean number of faces around a point, each point weighted by its
// own number of faces, that the normals filter is given the faces' order and
// the creases to work out.
constexpr double MaximumCrowding = 64.0;

// The sum over the points of mesh of the square of the number of polygons
// and strips that use them, divided by the sum of those numbers: the mean
// crowding of a point. Points at the same position count as one, as the
// merge before the normals filter makes them one. 0 for a mesh without
// polygons.
double PointCrowding(vtkPolyData* mesh);

#endif
