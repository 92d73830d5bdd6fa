// head_mesh - triangle meshes of the demo head and hair.
//
// Each mesh is made the same way: the distance function of head_model is
// sampled on a regular grid (vtkImageData, axis-aligned in scene units) that
// covers its box; the zero level set is extracted with vtkFlyingEdges3D;
// vtkWindowedSincPolyDataFilter removes the staircase of the grid without
// shrinking the surface; vtkQuadricDecimation brings the mesh to its point
// budget; vtkPolyDataNormals adds outward point normals. The results are
// closed triangle meshes in scene coordinates.
//
// The face grid is sized from a coarse trial contour so that the fine contour
// has a little more than the wanted number of points, which the decimation
// then removes. Grids are not made finer than 0.012 scene units; for budgets
// beyond what that grid gives, the surface is refined by Loop subdivision
// before the decimation.
//
// Every step is deterministic, so the same budget always gives the same mesh.

#ifndef head_mesh_h
#define head_mesh_h

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

namespace demo
{

// Face mesh with about `points` points (the decimation stops within a few
// points of it): triangles, point normals and the skin colours of
// head_model as unsigned char RGB point scalars named "Colors".
vtkSmartPointer<vtkPolyData> make_face_mesh(vtkIdType points);

// Hair mesh: triangles with point normals, no scalars, so that the program's
// texture colours it.
vtkSmartPointer<vtkPolyData> make_hair_mesh();

} // namespace demo

#endif
