// The toolkit's mesh writers, checked. Some of them report a failed write
// only through an error code or an error message (the XML writer), and some
// not at all (the PLY and OBJ writers return success on a full disk). The
// legacy writer here writes through a checked stream onto the file's
// descriptor, the XML writer into memory, the bytes then going to the file
// through checked writes; the PLY and OBJ writers, which can only write to a
// named file, are checked by reading their file back.
#ifndef mesh_writer_h
#define mesh_writer_h

#include <string>

class vtkPolyData;

// Writes mesh to path, whole or not at all (atomic_write.h), with the
// toolkit's writer of the extension: ".vtk" legacy VTK polydata (ASCII),
// ".ply", ".obj", ".stl", and VTK XML polydata for any other. The toolkit's
// messages are held back. Throws program_error naming path when the writer
// fails; path is then left as it was.
void WriteMeshFile(vtkPolyData* mesh, const std::string& path, const std::string& extension);

#endif
