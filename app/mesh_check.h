// The face and hair meshes, checked when they are read. The toolkit's legacy
// reader only warns when a file holds fewer numbers than it declares, and then
// hands on a mesh with points it never read; it takes cells that name points
// the mesh does not have as they are, and the renderer reads beyond the
// points for them.
#ifndef mesh_check_h
#define mesh_check_h

#include <string>

class vtkPolyDataReader;

// Reads the file of reader (its file name set) and returns true when the
// result is a whole mesh: the toolkit reported no error and no warning while
// reading, the mesh has points, every coordinate is finite and every cell
// names points of the mesh. Otherwise returns false with the reason in why.
bool ReadCheckedMesh(vtkPolyDataReader* reader, std::string& why);

#endif
