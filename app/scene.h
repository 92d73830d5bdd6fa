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
class vtkPolyData;
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
  bool SaveImages;
  bool DrawsUserMesh; // whether the drawn surface is the user's face mesh itself
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
// placed to show the face (PlaceCamera). The face is drawn from a surface of
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

// What a face mesh from another tool needs to render right: smooth normals
// when the file has none, a skin colour when it has no colours, and the up
// axis of its file's convention for the camera.

// The radius of a control point's sphere, as a share of the face's
// bounding-box diagonal.
constexpr double MarkRadiusShare = 1.0 / 150;

// Angle between two faces above which an edge is a crease: the normals are
// split there, and smoothed across every gentler edge.
constexpr double CreaseAngle = 60.0;

// The colour of a face without colours of its own: the demo head's skin.
// Under the face material its highlight stays below white.
constexpr double SkinColour[3] = { 0.93, 0.76, 0.64 };

// A new filter (the caller deletes it) that gives mesh smooth point normals
// for drawing: coincident points merged, normals split only at creases
// sharper than CreaseAngle. Null when the mesh has point normals.
vtkAlgorithm* NewSmoothNormals(vtkPolyData* mesh);

// Gives property the skin colour when face carries no colours (no point or
// cell scalars), whatever its format: the toolkit's white, lit, washes out.
void ColourFaceWithoutColours(vtkPolyData* face, vtkProperty* property);

// The camera of the face renderer.
//
// The program's fixed camera looks at the place where its demo head sits,
// from the side and above. It stays for a face placed there (the middle of
// the face near its focal point) that lies in its view at a sensible size,
// so that a scene made for it renders as it always did. Any other face is
// seen from the front along its own up axis, filling most of the window.
// The scene file's camera keywords set the camera explicitly.

// The region the camera must show: the face mesh's bounds (xmin, xmax, ymin,
// ymax, zmin, zmax), widened by how far the face may move, and the bounds of
// every mesh of the scene for the clipping range.
struct SceneBounds
{
  double Face[6];
  double All[6];
};

// The bounds of input's face, widened by the largest move of a control
// point, and of its hair.
SceneBounds MeasureScene(const SceneInput& input);

// Places the active camera of renderer for a window of the given aspect
// (width / height). For meshes with Y up (yUp), the fixed camera and the
// front view are turned with the meshes' axes, Z up to Y up, so that they
// show the same view of a head turned that way; the camera keywords are
// taken as written. Throws
// program_error when the scene file's camera keywords give no usable camera
// (position on the focal point, or a view-up along the viewing direction).
void PlaceCamera(vtkRenderer* renderer,
                 vtkDatReader* settings,
                 const SceneBounds& bounds,
                 double aspect,
                 bool yUp);

#endif
