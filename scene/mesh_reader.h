// The face and hair meshes may come from other tools: the file's extension
// chooses the toolkit's reader for it.
#ifndef mesh_reader_h
#define mesh_reader_h

#include "isolated_mesh_read.h"

#include <string>

class vtkAlgorithm;

// The formats NewMeshReader accepts, as a user reads them in a message.
extern const char* const AcceptedMeshFormats;

// A new reader (the caller deletes it) that yields the mesh of the file
// fileName, read by the toolkit's reader of its extension, case aside: .vtk
// legacy VTK polydata, .vtp VTK XML polydata, .ply, .obj (Wavefront), .stl and
// glTF (.glb, .gltf: its first mesh, at rest). The sizes the file declares are
// checked against its length first (mesh_precheck.h), and the toolkit's reader
// runs in a child process (isolated_mesh_read.h). Returns null with the reason
// in why when the file does not exist or is not readable, when the extension
// is none of these, when a legacy VTK file holds another kind of data set, and
// when the file fails its checks or its reading.
vtkAlgorithm* NewMeshReader(const std::string& fileName, std::string& why);

// The same with the child process's limits given (for tests and fuzzing).
vtkAlgorithm* NewMeshReader(const std::string& fileName,
                            std::string& why,
                            const ReadLimits& limits);

// The extension of fileName with its dot, in lower case (".obj"); empty when
// it has none.
std::string LowerCaseExtension(const std::string& fileName);

#endif
