// The files that --export-shapes writes: every expression at weight 1 as a
// mesh of its own, named after the expression, in the format of the face.
#ifndef shape_files_h
#define shape_files_h

#include <string>

// The extension of the shape files for a face read from faceFileName: the
// face's own (.vtk, .ply, .obj or .stl, in lower case), .glb for a glTF face,
// or .vtp for a face in any other format.
std::string ShapeFileExtension(const std::string& faceFileName);

// The file of expression name in folder: NAME plus ShapeFileExtension().
std::string ShapeFilePath(const std::string& folder,
                          const std::string& name,
                          const std::string& faceFileName);

#endif
