// The scene of a run, read once and handed to every stage: the scene file's
// settings and prepared control points, the face mesh as the user's file
// holds it, and the hair. The face is never replaced by what the renderer
// makes of it: every output is this mesh with its points moved.
#ifndef scene_input_h
#define scene_input_h

#include "vtkDatReader.h"

#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

struct SceneInput
{
  // The scene file: its settings, control points and their ordering.
  vtkSmartPointer<vtkDatReader> Settings;
  // The user's face mesh: the file's points in the file's order, its cells
  // and its attributes (an OBJ file's own vertices, obj_file_mesh.h).
  vtkSmartPointer<vtkPolyData> Face;
  // The surface the toolkit's reader made of an OBJ face, a point for every
  // corner that carries texture coordinates or a normal of its own: the
  // renderer draws it, seams and all, so that a texture shows as the file
  // maps it. Null when the face is drawn from its own vertices. Never written.
  vtkSmartPointer<vtkPolyData> Drawn;
  // The hair mesh, or null when the scene has no usable hair.
  vtkSmartPointer<vtkPolyData> Hair;
  // True when the meshes have Y up: the scene file's "UpAxis" word, or else
  // the convention of the face file's format (Wavefront OBJ and glTF are Y
  // up, the other accepted formats Z up).
  bool YUp = false;
};

// Reads "woman.ptt" (ReadSceneFile, read_stage.h), then the face and hair
// meshes it names. Throws what ReadSceneFile throws, and program_error naming
// the face mesh when it cannot be read or is not a whole mesh. A hair mesh
// that cannot be used is left out with one line on standard error; "Hair
// none" leaves it out quietly.
SceneInput ReadScene();

#endif
