// The run's expressions leave the program as files other tools open: the
// animation as binary glTF, and every expression at weight 1 as a mesh.
#ifndef gltf_export_h
#define gltf_export_h

#include "scene_input.h"

#include <string>

struct Scene;
struct SplineFit;

// Writes the run to path as binary glTF 2.0 (gltf_writer.h): input's face
// mesh at rest (its own points, in its order)
// with its normals, colours and texture coordinates where it has them, one
// morph target per expression (the position and normal differences of the
// expression at weight 1), one animation whose weights reproduce every frame
// of the run at framesPerSecond (linear between frames), the hair with its
// texture, and the window's camera. Everything is turned from the scene's
// Z-up frame to glTF's Y-up one: (x, y, z) becomes (x, z, -y). Throws
// program_error when the file cannot be written.
void WriteGltf(const std::string& path,
               Scene& scene,
               const SceneInput& input,
               SplineFit& fit,
               int framesPerSecond);

// Writes every expression at weight 1 (the others at 0) into folder, made
// when missing, as NAME plus the face mesh's extension (.vtk, .vtp, .ply,
// .obj or .stl; .vtp for a glTF face): input's face mesh with its points
// moved, the same points in the same order. Throws program_error naming the
// file when a writer fails.
void ExportShapes(const std::string& folder,
                  const Scene& scene,
                  const SceneInput& input,
                  SplineFit& fit);

#endif
