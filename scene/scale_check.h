// Units: the support radius must suit the size of the face mesh. With a mesh
// in millimetres and the radius of a mesh in metres, only the control
// vertices themselves move; the other way round, everything moves. Control
// points whose source lies beyond the radius of every mesh point move nothing.
// A patch of control points moved together moves the whole mesh unless the
// polynomial part is off or anchors hold the rest.
#ifndef scale_check_h
#define scale_check_h

class vtkDatReader;
class vtkPolyData;
class vtkShapeTransform;

// The support radius may be at most half the face mesh's bounding-box
// diagonal and at least this share of it without a warning.
constexpr double SmallestRadiusShare = 1.0 / 200;
constexpr double LargestRadiusShare = 0.5;

// Sources off the face's surface by more than this share of the radius (but
// within the radius) are warned about when they are at least this share of
// the control points.
constexpr double OffSurfaceRadiusShare = 0.1;
constexpr double OffSurfaceWarningShare = 0.1;

// Prints one line on standard error, naming the "SupportRadius" keyword, when
// the reader's radius is out of proportion to face; one line when some
// control point's source lies farther than the radius from every point of
// face (it counts them and names the first); and one line when
// OffSurfaceWarningShare of the sources or more lie off face's surface by
// more than OffSurfaceRadiusShare of the radius but within it (it counts
// them and names the first): control points in the wrong axes or units.
void WarnAboutScale(vtkDatReader* reader, vtkPolyData* face);

// The largest distance between the source and the target of a control point.
double LargestControlPointMove(vtkDatReader* reader);

// A field with a polynomial part moves the mesh beyond the supports of the
// control points by that part. Prints one line on standard error, naming the
// two ways to keep the rest of the mesh still, when the transform's cached
// points beyond every support move by more than this share of the largest
// control-point move.
constexpr double LargestShareMovedBeyondSupports = 0.1;
void WarnAboutMotionBeyondSupports(vtkDatReader* reader, vtkShapeTransform* transform);

// A field that passes through two close control points whose moves differ
// greatly has to bend hard between them, and a smooth kernel overshoots far
// beyond both moves. Prints one line on standard error when the transform's
// cached displacement of some face point exceeds this many times the largest
// control-point move: the largest displacement, the pair of control points
// within the support radius whose moves differ the most for their distance
// (numbered from 1 as the scene file lists them), and the cure.
constexpr double LargestOvershoot = 3.0;
void WarnAboutOvershoot(vtkDatReader* reader, vtkShapeTransform* transform);

#endif
