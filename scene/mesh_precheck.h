// The sizes a mesh file declares, checked against the file before any reader
// believes them. The toolkit's readers allocate what a header announces (a
// legacy file claiming 2000000000 points in 36 bytes grows to gigabytes),
// follow list counts and indices beyond their data, and read a cut binary
// STL or PLY as a smaller mesh without a word. Each check walks the file as
// its format lays it out, without building the mesh:
//
// - legacy VTK (.vtk): the counts of POINTS and of the cell sections
//   (VERTICES, LINES, POLYGONS, TRIANGLE_STRIPS, with their OFFSETS and
//   CONNECTIVITY) are not negative and fit the bytes that follow them; every
//   cell's point count, or every offset, stays within its section;
// - PLY: the header ends with end_header, and every element, scalar and list
//   that it declares is present, in ASCII or binary, with face indices naming
//   declared vertices;
// - STL: a binary file is exactly as long as its triangle count says; a file
//   that is not is accepted only as ASCII ("solid ...");
// - OBJ: every index of a face, line or point names a vertex, texture
//   coordinate or normal that the file has.
// - glTF (.glb, .gltf): every buffer and image uri names a file inside the
//   glTF file's folder (gltf_uri.h), so that the reader opens no other.
// VTK XML (.vtp) files are left to their reader, which checks its sizes.
#ifndef mesh_precheck_h
#define mesh_precheck_h

#include <cstddef>
#include <string>

// Returns true when the declared sizes of the file fileName, in the format of
// extension (".vtk", ".ply", ".stl", ".obj", ".glb", ".gltf", lower case),
// fit it; otherwise false with the reason in why.
bool DeclaredSizesFit(const std::string& fileName, const std::string& extension, std::string& why);

// The same for the size bytes at data.
bool DeclaredSizesFit(const char* data,
                      std::size_t size,
                      const std::string& extension,
                      std::string& why);

#endif
