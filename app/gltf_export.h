// The run's expressions leave the program as files other tools open: the
// animation as binary glTF, and every expression at weight 1 as a mesh.
#ifndef gltf_export_h
#define gltf_export_h

#include "scene_input.h"

#include <vtkSmartPointer.h>

#include <string>

struct Scene;
struct SplineFit;
class vtkAbstractTransform;
class vtkPolyData;

// The face rest with expression k at weight 1 and the others at 0 under
// transform (the expressions' transform, or the shape transform at blend
// factor 1; any other transform as it stands): its points and, when the face
// has normals, its normals. The transform's weights are put back afterwards;
// its cache serves every expression, and belongs to rest's points once
// evaluated on them.
vtkSmartPointer<vtkPolyData> ExpressionShape(vtkAbstractTransform* transform,
                                             vtkPolyData* rest,
                                             int k);

// Writes the run to path as binary glTF 2.0 (gltf_writer.h): input's face
// mesh at rest as it came (its own points, in its order), each of its meshes with its parts as primitives of their own
// materials and textures (face_parts.h), with its normals, colours and
// texture coordinates where it has them; one morph target per expression in
// every mesh of the face (the position and normal differences of the
// expression at weight 1), one animation whose weights reproduce every frame
// of the run at framesPerSecond (linear between frames), the hair with its
// texture, and the window's camera. A scene with Z up is turned into glTF's
// Y up, (x, y, z) becoming (x, z, -y); one with Y up (input.YUp) is
// written as it is. Throws program_error when the file cannot be written, or
// when a number of it would not be finite (finite_output.h).
void WriteGltf(const std::string& path,
               Scene& scene,
               const SceneInput& input,
               SplineFit& fit,
               int framesPerSecond);

// Writes every expression at weight 1 (the others at 0) into folder, made
// when missing, as NAME plus the face mesh's extension (.vtk, .vtp, .ply,
// .obj or .stl; .glb for a glTF face, its meshes and materials as WriteGltf
// writes them, without targets, animation or camera): input's face mesh with
// its points moved, the same points in the same order. Throws program_error
// naming the file when a writer fails or a number of it would not be finite.
void ExportShapes(const std::string& folder,
                  const Scene& scene,
                  const SceneInput& input,
                  SplineFit& fit);

#endif
