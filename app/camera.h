// The camera of the face renderer.
//
// The program's fixed camera looks at the place where its demo head sits. It
// stays when the face mesh lies in its view at a sensible size, so that a
// scene made for it renders as it always did. A mesh elsewhere, or in other
// units, is framed instead: the same viewing direction and view-up, the whole
// mesh in view, a clipping range from its bounds; one line on standard error
// says so. The scene file's camera keywords set the camera explicitly.
#ifndef camera_h
#define camera_h

class vtkDatReader;
class vtkPolyData;
class vtkRenderer;

// The region the camera must show: the face mesh's bounds (xmin, xmax, ymin,
// ymax, zmin, zmax), widened by how far the face may move, and the bounds of
// every mesh of the scene for the clipping range.
struct SceneBounds
{
  double Face[6];
  double All[6];
};

// The bounds of face, widened by the largest move of a control point of
// reader, and of hair (null when the scene has none).
SceneBounds MeasureScene(vtkPolyData* face, vtkPolyData* hair, vtkDatReader* reader);

// Places the active camera of renderer for a window of the given aspect
// (width / height). For meshes with Y up (yUp), the fixed camera is turned
// with the meshes' axes, Z up to Y up, so that it shows the same view of a
// head turned that way; the camera keywords are taken as written. Throws a
// text message when the scene file's camera keywords give no usable camera
// (position on the focal point, or a view-up along the viewing direction).
void PlaceCamera(vtkRenderer* renderer,
                 vtkDatReader* reader,
                 const SceneBounds& bounds,
                 double aspect,
                 bool yUp);

#endif
