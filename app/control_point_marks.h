// The control points in the window: each source drawn as a small sphere
// where the deformation carries it, joined by a line to its target. The
// scene file's "ShowControlPoints yes" shows them from the first frame; the
// key "c" in the window shows and hides them.
#ifndef control_point_marks_h
#define control_point_marks_h

class vtkAbstractTransform;
class vtkActor;
class vtkDatReader;
class vtkExpressionTransform;
class vtkPoints;
class vtkPolyData;
class vtkRenderer;
class vtkRenderWindowInteractor;

struct ControlPointMarks
{
  // Moves the sources as the face moves: the face's expression transform,
  // or an expression transform of the scene's own control points whose
  // weight follows the face's shape transform (which caches the field for
  // the face's points alone).
  vtkAbstractTransform* FaceTransform;
  vtkExpressionTransform* OwnMotion; // null when the face's transform moves the sources
  vtkPoints* Sources;
  vtkPolyData* Centres; // the moved sources, which the spheres are drawn around
  vtkPolyData* Links;   // points: the moved sources, then the targets; a line from each to its own
  vtkActor* Spheres;
  vtkActor* Lines;
};

// New marks (release them with ReleaseControlPointMarks) of reader's control
// points, moved by faceTransform (the transform of the drawn face), drawn
// in renderer as spheres of the given radius, shown when visible, and
// toggled by the key "c" of interactor. Null when the scene has no control
// points of its own.
ControlPointMarks* NewControlPointMarks(vtkDatReader* reader,
                                        vtkAbstractTransform* faceTransform,
                                        double sphereRadius,
                                        bool visible,
                                        vtkRenderer* renderer,
                                        vtkRenderWindowInteractor* interactor);

// Makes links the lines of the pairs (sources[k], targets[k]): its points
// the sources, then the targets, and a line from each source to its target.
void JoinPairs(vtkPolyData* links, vtkPoints* sources, vtkPoints* targets);

// Moves the marks where the face's transform carries the sources now; only
// while they are shown.
void FollowTheFace(ControlPointMarks* marks);

// Releases the marks and sets marks to null; nothing for null.
void ReleaseControlPointMarks(ControlPointMarks*& marks);

#endif
