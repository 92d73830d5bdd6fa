// The face and hair meshes may come from other tools: the file's extension
// chooses the toolkit's reader for it.
#ifndef mesh_reader_h
#define mesh_reader_h

#include <string>

class vtkAlgorithm;

// The formats NewMeshReader accepts, as a user reads them in a message.
extern const char* const AcceptedMeshFormats;

// A new reader (the caller deletes it) for the mesh file fileName, chosen by
// its extension, case aside: .vtk legacy VTK polydata, .vtp VTK XML polydata,
// .ply, .obj (Wavefront) and .stl. Returns null with the reason in why when
// the file does not exist or is not readable, when the extension is none of
// these, and when a legacy VTK file holds another kind of data set; the
// reader has not read the mesh yet.
vtkAlgorithm* NewMeshReader(const std::string& fileName, std::string& why);

// The extension of fileName with its dot, in lower case (".obj"); empty when
// it has none.
std::string LowerCaseExtension(const std::string& fileName);

#endif
