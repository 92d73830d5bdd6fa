// A Wavefront OBJ file numbers its vertices once ("v" lines) and lets every
// face corner pick a vertex, a texture coordinate and a normal of its own
// ("f 3/7/2"). The toolkit's OBJ reader gives each corner a point of its own
// whenever texture coordinates or normals are present, so a mesh exported by
// Blender comes back with about four points per vertex, and vertices that no
// face uses are left out. Tools that match shapes vertex by vertex (shape
// keys, morph targets) need the file's own vertices, in the file's order.
#ifndef obj_file_mesh_h
#define obj_file_mesh_h

#include <vtkSmartPointer.h>

#include <string>

class vtkPolyData;

// The mesh of the OBJ file fileName as the file numbers it: one point per "v"
// line, in order; one polygon per "f" line and one polyline per "l" line,
// naming those points. read is the toolkit reader's mesh of the same file
// (already checked: every index names a vertex that exists). Its cell data
// (the groups) and its parts and materials (face_parts.h) are kept when its
// cells match the file's one for one; each
// point array of read (normals, texture coordinates) is kept when every
// corner of a vertex carries the same tuple, and dropped otherwise (a seam of
// the texture or a crease of the normals splits a vertex, which one point per
// vertex cannot hold). Vertices that no face names keep the tuple 0.
vtkSmartPointer<vtkPolyData> ObjFileMesh(const std::string& fileName, vtkPolyData* read);

#endif
