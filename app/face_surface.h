// What a face mesh from another tool needs to render right: smooth normals
// when the file has none, a skin colour when it has no colours, and the up
// axis of its file's convention for the camera.
#ifndef face_surface_h
#define face_surface_h

#include <string>

class vtkAlgorithm;
class vtkDatReader;
class vtkPolyData;
class vtkProperty;

// Angle between two faces above which an edge is a crease: the normals are
// split there, and smoothed across every gentler edge.
constexpr double CreaseAngle = 60.0;

// The colour of a face without colours of its own: the demo head's skin.
// Under the face material its highlight stays below white.
constexpr double SkinColour[3] = { 0.93, 0.76, 0.64 };

// A new filter (the caller deletes it) that gives the mesh of reader smooth
// point normals: coincident points merged, normals split only at creases
// sharper than CreaseAngle. Null when the mesh has point normals.
vtkAlgorithm* NewSmoothNormals(vtkAlgorithm* reader);

// Gives property the skin colour when face carries no colours (no point or
// cell scalars), whatever its format: the toolkit's white, lit, washes out.
void ColourFaceWithoutColours(vtkPolyData* face, vtkProperty* property);

// True when the meshes have Y up: the scene file's "UpAxis" word, or else
// the convention of the face file's format (Wavefront OBJ is Y up, the
// other accepted formats Z up).
bool MeshesHaveYUp(vtkDatReader* reader);

#endif
