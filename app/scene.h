// The rendering scene: the deforming face, the textured hair, the optional
// background image, one window with an interactor, and frame capture; the
// camera; and what a face mesh from another tool needs to render right.
#ifndef scene_h
#define scene_h

#include "scene_input.h"

class vtkAbstractTransform;
class vtkActor;
class vtkActorCollection;
class vtkAlgorithm;
class vtkBMPWriter;
class vtkDataSetMapper;
class vtkProperty;
class vtkRenderer;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkTextureMapToCylinder;
class vtkTransformPolyDataFilter;

struct ControlPointMarks;

struct Scene
{
  vtkRenderer* FaceRenderer;
  vtkRenderer* BackgroundRenderer; // null without a background image
  vtkRenderWindow* Window;
  vtkRenderWindowInteractor* Interactor;
  vtkAlgorithm* FaceNormals;                   // smooth normals of a face without them, or null
  vtkTransformPolyDataFilter* TransformFilter; // its output is the deformed face as drawn
  vtkTextureMapToCylinder* HairMapping;
  vtkDataSetMapper* FaceMapper;
  vtkDataSetMapper* HairMapper;
  vtkActor* FaceActor;
  vtkActor* HairActor;
  vtkActorCollection* MaterialActors; // one a material of the face's parts (face_look.h), or null
  vtkProperty* BackFaceProperty;      // shared by the face and the hair
  vtkBMPWriter* FrameWriter;
  ControlPointMarks* Marks; // null for a scene without control points of its own
  bool DrawsUserMesh;       // whether the drawn surface is the user's face mesh itself
};

// What the scene is built for: the animation run, or the control-point
// editor, which draws the same face and camera but its own control points,
// saves no frames and changes the field at every edit.
enum class SceneRole
{
  Run,
  Editor
};

// Builds the scene of input, prints "Transform time: ... sec.", renders frame
// 0 and saves it when the scene file asks for saved images (for the run). The support
// radius is checked against the face's size (scale_check.h) and the camera
// placed to show the face. The face is drawn from a surface of
// its own: a face without normals gets smooth ones and one without colours a
// skin colour (below), each material of its parts an actor of its own
// (face_look.h); input's meshes are left as they are. Throws program_error
// when the deformation would carry the face beyond single precision in some
// frame (CheckFramesStayFinite), or the camera keywords give no usable camera
// (nothing is shown then), and CaptureFrame's failure when frame 0 cannot be
// saved. Whatever it built is released before a failure leaves it. For the
// editor, the scene has no control-point marks (Marks is null), the frames
// are not checked and frame 0 is never saved.
Scene BuildScene(const SceneInput& input,
                 vtkAbstractTransform* transform,
                 SceneRole role = SceneRole::Run);

// Deletes object unless it is null, and sets it to null.
template<typename T>
void Release(T*& object)
{
  if (object)
  {
    object->Delete();
    object = nullptr;
  }
}

// Releases every object the scene holds and clears its pointers, in the order
// of the run's teardown (TearDown); members that are null are skipped.
void ReleaseScene(Scene& scene);

// Renders the window's next frame, the control points where the face's
// transform carries them.
void RenderFrame(Scene& scene);

// Saves what the window shows as "image%.4d.bmp" of frame index. Throws
// program_error naming the file when it cannot be written.
void CaptureFrame(Scene& scene, int index);

// The radius of a control point's sphere, as a share of the face's
// bounding-box diagonal.
constexpr double MarkRadiusShare = 1.0 / 150;

// The colour of a face without colours of its own: the demo head's skin.
// Under the face material its highlight stays below white.
constexpr double SkinColour[3] = { 0.93, 0.76, 0.64 };

#endif
