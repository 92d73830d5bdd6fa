// What the control-point editor draws over the face, and how it finds what
// lies under the pointer: the marks of the pairs, the status line, the face
// point under a click and the handle under a press.
#ifndef editor_view_h
#define editor_view_h

#include "control_point_marks.h"

#include <vtkTextActor.h>

#include <vector>

class vtkCellLocator;

// The sources as small green spheres, the targets as larger red handles, the
// selected handle yellow, a yellow line from each source to its target, and
// the status text at the bottom left.
struct EditorMarks
{
  MarkLayer Sources;
  MarkLayer Handles;
  MarkLayer Selection;
  LinkLayer Links; // points: sources, then targets
  vtkNew<vtkTextActor> Status;
};

// Adds the marks to renderer: handles are spheres of the given radius, the
// sources smaller and the selected handle larger.
void AddEditorMarks(EditorMarks& marks, double radius, vtkRenderer* renderer);

// Draws the pairs (sources[k], targets[k]); selected, when not null, is the
// selected pair's target.
void ShowPairs(EditorMarks& marks, vtkPoints* sources, vtkPoints* targets, const double* selected);

// Finds the point of the face at rest under display point (x, y): the first
// point where the view ray meets the face as shown, carried back to the rest
// surface by its cell and parametric coordinates (the two surfaces have the
// same cells). False when the ray misses the face.
//   renderer  input, the face's renderer
//   shown     input, the face as the window shows it
//   rest      input, the same surface at rest
//   locator   input, modified: rebuilt over shown
//   x, y      input, the display point
//   point     output, the point at rest
bool PickRestSurface(vtkRenderer* renderer,
                     vtkPolyData* shown,
                     vtkPolyData* rest,
                     vtkCellLocator* locator,
                     int x,
                     int y,
                     double point[3]);

// The index of the point of points whose image lies nearest to display point
// (x, y), within pixels, among those in sight: a point whose pixel shows a
// surface more than two radii before it (a handle behind the head) is left
// out. -1 when none is. Reads the depth of the frame last rendered.
int NearestOnScreen(vtkRenderer* renderer,
                    const std::vector<const double*>& points,
                    int x,
                    int y,
                    double pixels,
                    double radius);

#endif
