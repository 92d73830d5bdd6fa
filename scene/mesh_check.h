// The face and hair meshes, checked when they are read. The toolkit's readers
// only warn on some broken files: the legacy reader, for one, only warns when
// a file holds fewer numbers than it declares, and then hands on a mesh with
// points it never read; it takes cells that name points the mesh does not
// have as they are, and the renderer reads beyond the points for them.
#ifndef mesh_check_h
#define mesh_check_h

#include <string>
#include <vector>

class vtkAlgorithm;
class vtkPolyData;

// Largest magnitude of a coordinate of a mesh. The renderer, the camera and
// the mesh's normals work with squared distances in single precision, which
// overflow (3.4e38) for coordinates near 1.8e19; a mesh beyond this bound
// would give infinite points or normals in the outputs.
constexpr double MaximumCoordinate = 1e18;

// Runs reader (a mesh reader with its file name set) and returns true when
// its output is a whole mesh: the toolkit reported no error and no warning
// while reading (its messages are held back from the console), the mesh has
// points and cells, every coordinate is finite and within MaximumCoordinate,
// and every cell names points of the mesh. Otherwise returns false with the
// reason in why.
bool ReadCheckedMesh(vtkAlgorithm* reader, std::string& why);

// Removes from mesh's point and cell data every floating-point array that
// holds a NaN or an infinity (normals from a degenerate face, for one): the
// deformed mesh written from it could not be read back. Returns their names.
std::vector<std::string> DropArraysThatAreNotFinite(vtkPolyData* mesh);

#endif
