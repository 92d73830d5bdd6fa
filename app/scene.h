// The rendering scene: the deforming face, the textured hair, the optional
// background image, one window with an interactor, and frame capture.
#ifndef scene_h
#define scene_h

class vtkActor;
class vtkAlgorithm;
class vtkBMPWriter;
class vtkDataSetMapper;
class vtkDatReader;
class vtkProperty;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkRenderer;
class vtkAbstractTransform;
class vtkTextureMapToCylinder;
class vtkTransformPolyDataFilter;

struct Scene
{
  vtkRenderer* FaceRenderer;
  vtkRenderer* BackgroundRenderer; // null without a background image
  vtkRenderWindow* Window;
  vtkRenderWindowInteractor* Interactor;
  vtkAlgorithm* FaceReader;                    // the reader chosen by the face mesh's extension
  vtkAlgorithm* HairReader;                    // likewise; reads nothing without a usable hair mesh
  vtkAlgorithm* FaceNormals;                   // smooth normals of a face without them, or null
  vtkTransformPolyDataFilter* TransformFilter; // its output is the deformed face
  vtkTextureMapToCylinder* HairMapping;
  vtkDataSetMapper* FaceMapper;
  vtkDataSetMapper* HairMapper;
  vtkActor* FaceActor;
  vtkActor* HairActor;
  vtkProperty* BackFaceProperty; // shared by the face and the hair
  vtkBMPWriter* FrameWriter;
  bool SaveImages;
};

// Builds the scene, prints "Transform time: ... sec.", renders frame 0 and
// saves it when the scene file asks for saved images. The meshes are the
// scene file's Face and Hair (woman.vtk and hair.vtk by default); the support
// radius is checked against the face's size (scale_check.h) and the camera
// placed to show the face (camera.h). A face without normals gets smooth
// ones and one without colours a skin colour (face_surface.h); "Hair none"
// means no hair. Throws program_error
// when the face mesh cannot be read or is not a whole mesh, or the camera
// keywords give no usable camera (nothing is shown then), and CaptureFrame's
// failure when frame 0 cannot be saved.
// Whatever it built is released before a failure leaves it.
Scene BuildScene(vtkDatReader* reader, vtkAbstractTransform* transform);

// Releases every object the scene holds and clears its pointers; members that
// are null are skipped. The failure path's teardown.
void ReleaseScene(Scene& scene);

// Renders the window's next frame.
void RenderFrame(Scene& scene);

// Saves what the window shows as "image%.4d.bmp" of frame index. Throws
// program_error naming the file when it cannot be written.
void CaptureFrame(Scene& scene, int index);

#endif
