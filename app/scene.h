// The rendering scene: the deforming face, the textured hair, the optional
// background image, one window with an interactor, and frame capture.
#ifndef scene_h
#define scene_h

class vtkActor;
class vtkBMPWriter;
class vtkDataSetMapper;
class vtkDatReader;
class vtkPolyDataReader;
class vtkProperty;
class vtkRenderWindow;
class vtkRenderWindowInteractor;
class vtkRenderer;
class vtkShapeTransform;
class vtkTextureMapToCylinder;
class vtkTransformPolyDataFilter;

struct Scene
{
  vtkRenderer* FaceRenderer;
  vtkRenderer* BackgroundRenderer; // null without a background image
  vtkRenderWindow* Window;
  vtkRenderWindowInteractor* Interactor;
  vtkPolyDataReader* FaceReader;
  vtkPolyDataReader* HairReader;
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
// saves it when the scene file asks for saved images. Throws a text message
// when the face mesh "woman.vtk" cannot be read or has no points; nothing is
// shown then.
Scene BuildScene(vtkDatReader* reader, vtkShapeTransform* transform);

// Renders the window's next frame.
void RenderFrame(Scene& scene);

// Saves what the window shows as "image%.4d.bmp" of frame index.
void CaptureFrame(Scene& scene, int index);

#endif
