// The control points in the window: each source drawn as a small sphere
// where the deformation carries it, joined by a line to its target. The
// scene file's "ShowControlPoints yes" shows them from the first frame; the
// key "c" in the window shows and hides them. The control-point editor draws
// its pairs with the same layers (editor_view.h).
#ifndef control_point_marks_h
#define control_point_marks_h

#include <vtkActor.h>
#include <vtkGlyph3D.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>

class vtkAbstractTransform;
class vtkDatReader;
class vtkExpressionTransform;
class vtkPoints;
class vtkRenderer;
class vtkRenderWindowInteractor;

// Colours that stand out from skin, hair and the default background.
constexpr double SourceColour[3] = { 0.1, 0.85, 0.2 };
constexpr double LinkColour[3] = { 1.0, 0.85, 0.1 };

// Spheres of one colour and size around the points of Centres.
struct MarkLayer
{
  vtkNew<vtkPolyData> Centres;
  vtkNew<vtkSphereSource> Sphere;
  vtkNew<vtkGlyph3D> Glyphs;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
};

// Lines between the points of Links (JoinPairs).
struct LinkLayer
{
  vtkNew<vtkPolyData> Links;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;
};

// Adds the layer to renderer: spheres of the given radius and colour, or
// lines two pixels wide and unlit.
void AddMarkLayer(MarkLayer& layer, double radius, const double colour[3], vtkRenderer* renderer);
void AddLinkLayer(LinkLayer& layer, const double colour[3], vtkRenderer* renderer);

// Makes links the lines of the pairs (sources[k], targets[k]): its points
// the sources, then the targets, and a line from each source to its target.
void JoinPairs(vtkPolyData* links, vtkPoints* sources, vtkPoints* targets);

struct ControlPointMarks
{
  // Moves the sources as the face moves: the face's expression transform,
  // or an expression transform of the scene's own control points whose
  // weight follows the face's shape transform (which caches the field for
  // the face's points alone).
  vtkAbstractTransform* FaceTransform;
  // Null when the face's transform moves the sources.
  vtkSmartPointer<vtkExpressionTransform> OwnMotion;
  vtkSmartPointer<vtkPoints> Sources;
  MarkLayer Spheres; // around the moved sources
  LinkLayer Lines;   // points: the moved sources, then the targets
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

// Moves the marks where the face's transform carries the sources now; only
// while they are shown.
void FollowTheFace(ControlPointMarks* marks);

// Releases the marks and sets marks to null; nothing for null.
void ReleaseControlPointMarks(ControlPointMarks*& marks);

#endif
