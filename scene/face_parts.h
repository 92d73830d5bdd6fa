// A face mesh may come in parts, each with a material: the primitives of the
// meshes of a glTF file. The parts travel with the mesh in arrays of its own
// (through the copy of the child process that reads it, and through every
// filter that passes cell and field data), so that the renderer draws each
// part with its look and the writers give it back as it came.
//
// Cell data "PartIds" (int) gives the part of each cell. Field data:
// "PartTable" (int, 4 components a part: mesh, material or -1, first point,
// point count; a part's points are that contiguous range of the mesh's),
// "MeshNames" and "MaterialNames" (strings), "MaterialTable" (float, 6
// components a material: base colour RGBA, double-sided 0 or 1, base colour
// texture or -1) and "Texture0", "Texture1", … (unsigned char: each a PNG
// file). A mesh without them is one part of all its points, without material.
#ifndef face_parts_h
#define face_parts_h

#include <vtkType.h>

#include <string>
#include <vector>

class vtkFieldData;
class vtkImageData;
class vtkPolyData;

struct FaceMaterial
{
  std::string Name;
  double BaseColour[4] = { 1.0, 1.0, 1.0, 1.0 }; // RGBA in 0..1
  bool DoubleSided = false;
  int Texture = -1; // index into FaceParts::Textures, or -1
};

struct FacePart
{
  int Mesh = 0;
  int Material = -1; // index into FaceParts::Materials, or -1
  vtkIdType FirstPoint = 0;
  vtkIdType PointCount = 0;
};

struct FaceParts
{
  std::vector<std::string> MeshNames;
  std::vector<FacePart> Parts;
  std::vector<FaceMaterial> Materials;
  std::vector<std::vector<unsigned char>> Textures; // PNG files
};

// The cell data array of the part of each cell.
extern const char* const PartIdsName;

// Stores parts in mesh's field data (PartIds is the caller's).
void StoreFaceParts(const FaceParts& parts, vtkPolyData* mesh);

// The parts mesh carries; one part of all its points, in a mesh named
// "face", without material, when it carries none or they do not fit it.
FaceParts FacePartsOf(vtkPolyData* mesh);

// The strings of the string array name of data; none when it has none.
std::vector<std::string> FieldStrings(vtkFieldData* data, const char* name);

// The image as a PNG file, or empty when it cannot be one (no image, or not
// of unsigned char pixels).
std::vector<unsigned char> PngFile(vtkImageData* image);

#endif
