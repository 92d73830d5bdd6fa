// The face's own look, where its file gives one: a face whose parts have
// materials (a glTF face) is drawn part by part, each material by an actor of
// its own with the material's base colour and base colour texture.
#ifndef face_look_h
#define face_look_h

class vtkActor;
class vtkActorCollection;
class vtkAlgorithm;
class vtkPolyData;
class vtkRenderer;

// When the parts of face (face_parts.h) have materials, adds to renderer one
// actor for each material, drawing the cells of its parts from deformed (the
// face as each frame shows it) with faceActor's lighting, the material's
// colour and opacity and its texture; faceActor is left to the parts without
// material. Returns the new actors (a new collection, the caller deletes
// it), or null when no part has a material.
vtkActorCollection* AddMaterialActors(vtkPolyData* face,
                                      vtkAlgorithm* deformed,
                                      vtkActor* faceActor,
                                      vtkRenderer* renderer);

#endif
