// The control-point editor, "animation --edit": the scene's face in the
// window, drawn as the run draws it at the full expression, with the control
// points of woman.ptt (and of its expressions) on it to add, move, remove
// and save.
//
// Sources are small green spheres on the face at rest, targets red handles
// of the run's control-point size, a yellow line joins each pair, and the
// selected pair's handle is yellow and larger. The mouse and keys:
//   left click on the face   adds an anchor (target = source) at the surface
//                            point under the pointer, and selects it
//   left drag of a handle    moves the target in the view plane; with Shift,
//                            along the surface normal at its source
//   left drag elsewhere      turns the camera (the toolkit's trackball);
//                            the middle and right buttons pan and zoom
//   Delete                   removes the selected control point (the one last
//                            added, dragged or clicked)
//   u, r                     undo and redo every edit, one stack of edits
//   +, -                     the support radius times or over 1.1
//   Tab                      the next expression, shown alone at weight 1
//   Space                    plays the scene's animation as the run does
//                            (the timeline's weights, or the triangle wave),
//                            a frame every 40 ms; again, or an edit, stops it
//   s                        saves woman.ptt and the edited expression
//                            files (editor_files.h)
//   q                        ends the editor (closing the window too)
// A status line at the bottom gives the number of control points, R, the
// selected pair and the time the face took to follow the last change.
//
// The face is moved by a vtkCompactSplineTransform over the editor's own
// source and target points. A dragged target is changed in place (SetPoint,
// Modified) and the transform filter brings the face along; adding or
// removing a point changes the sources, which refits.
#ifndef control_point_editor_h
#define control_point_editor_h

#include "scene_input.h"

// Factor by which "+" and "-" scale the support radius.
constexpr double RadiusStep = 1.1;

// Opens the editor on input (read from the working folder), prints "Editing
// woman.ptt: N control points" on standard output once the window shows the
// face, and returns when the window is closed or "q" is pressed. When the
// edits shown then were not saved, says so on standard error in one line:
// "woman.ptt was not saved: the editor was closed with unsaved edits".
// Throws program_error when the scene cannot be shown.
void EditControlPoints(const SceneInput& input);

#endif
