#include "control_point_editor.h"

#include "edit_history.h"
#include "editor_files.h"
#include "editor_view.h"
#include "expressions.h"
#include "program_error.h"
#include "scene.h"
#include "timeline.h"
#include "vtkCompactSplineTransform.h"
#include "vtkExpressionTransform.h"

#include <vtkCamera.h>
#include <vtkCellLocator.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkInteractorObserver.h>
#include <vtkMath.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>
#include <vtkStaticPointLocator.h>
#include <vtkTransformPolyDataFilter.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace
{
// A handle is grabbed when the pointer is within this many pixels of its
// centre; a press and release closer than ClickSlack pixels is a click.
constexpr double GrabPixels = 10;
constexpr int ClickSlack = 3;

// Milliseconds between the frames of the played blend.
constexpr unsigned long PlayInterval = 40;

// A handle being dragged: where the drag started and along what.
struct Drag
{
  int Id = -1;      // the dragged point, or -1 when no handle is held
  double Start[3];  // its target when the drag started
  double Anchor[3]; // the world point under the pointer then, at the target's depth
  double Depth = 0; // the target's display depth
  double Normal[3]; // the unit surface normal at its source
};

struct Editor
{
  const SceneInput* Input;
  EditedFiles Files;
  EditHistory History; // of the points that Files read
  Scene View{};
  vtkNew<vtkCompactSplineTransform> Warp; // the edited expression at weight 1
  vtkNew<vtkPoints> Sources;              // the warp's landmarks, in the state's order
  vtkNew<vtkPoints> Targets;
  vtkPolyData* Rest = nullptr; // the drawn face at rest, with point normals
  vtkNew<vtkStaticPointLocator> RestPoints;
  vtkNew<vtkCellLocator> Surface; // over the face as shown, rebuilt for each click
  EditorMarks Marks;

  int Edited = 0;    // the expression shown and edited
  int Selected = -1; // Id of the selected point, or -1
  Drag Held;
  int PressPosition[2] = { 0, 0 };
  Timeline Keys;         // the scene's timeline, over the expressions of Files
  std::string KeysError; // why the timeline cannot be played, or empty
  vtkSmartPointer<vtkExpressionTransform> Playback; // moves the face while Space plays, or null
  int64_t Frame = 0;                                // the frame of the timeline shown
  int PlayTimer = 0;
  double UpdateMilliseconds = 0;
  std::string Message; // the outcome of the last save or refused edit

  explicit Editor(const SceneInput& input)
    : Input(&input)
    , History(ReadEditedFiles(input, this->Files))
  {
  }

  const PointsOfExpression& Points(const EditState& state) const
  {
    return state.Expressions[this->Edited];
  }
};

// --- The control points and the face -------------------------------------

// Gives landmarks the coordinates which (Source or Target) of points. False
// when it had them already; otherwise it is marked modified.
bool GiveCoordinates(vtkPoints* landmarks,
                     const PointsOfExpression& points,
                     double (EditedPoint::*which)[3])
{
  const vtkIdType n = static_cast<vtkIdType>(points.size());
  const bool resized = landmarks->GetNumberOfPoints() != n;
  if (resized)
  {
    landmarks->SetNumberOfPoints(n);
  }
  bool changed = resized;
  for (vtkIdType k = 0; k < n; ++k)
  {
    // The points of a resized set hold no values yet: each is given its own.
    const double* wanted = points[k].*which;
    if (resized || !std::equal(wanted, wanted + 3, landmarks->GetPoint(k)))
    {
      landmarks->SetPoint(k, wanted);
      changed = true;
    }
  }
  if (changed)
  {
    landmarks->Modified();
  }
  return changed;
}

// Gives the warp the landmarks and the radius of the edited expression of
// state. Targets that change alone keep the factor; new sources refit. False
// when the warp had them already.
bool GiveLandmarks(Editor& editor, const EditState& state)
{
  const PointsOfExpression& points = editor.Points(state);
  const bool newRadius = editor.Warp->GetSupportRadius() != state.Radius;
  if (newRadius)
  {
    editor.Warp->SetSupportRadius(state.Radius);
  }
  const bool newSources = GiveCoordinates(editor.Sources, points, &EditedPoint::Source);
  const bool newTargets = GiveCoordinates(editor.Targets, points, &EditedPoint::Target);
  return newRadius || newSources || newTargets;
}

// Brings the face to the warp's landmarks and times it. False, with the
// reason in the editor's message, when they give no fit.
bool FollowLandmarks(Editor& editor)
{
  const auto start = std::chrono::steady_clock::now();
  editor.View.TransformFilter->Update();
  const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
  editor.UpdateMilliseconds = spent.count();
  const std::string error = editor.Warp->GetFitError();
  if (!error.empty())
  {
    editor.Message = "Not done: " + error;
    return false;
  }
  return true;
}

// The weights of the frame in hand go to the playback, and the frame moves on.
void PlayStep(Editor& editor)
{
  const std::vector<double> weights = WeightsOfFrame(editor.Keys, editor.Frame);
  const EditState& state = editor.History.Current();
  for (std::size_t e = 0; e < weights.size(); ++e)
  {
    if (!state.Expressions[e].empty())
    {
      editor.Playback->SetWeight(editor.Files.Expressions[e].Name.c_str(), weights[e]);
    }
  }
  editor.Frame = (editor.Frame + 1) % std::max<int64_t>(1, editor.Keys.Frames);
}

void StopPlaying(Editor& editor)
{
  if (editor.Playback)
  {
    editor.View.Interactor->DestroyTimer(editor.PlayTimer);
    editor.View.TransformFilter->SetTransform(editor.Warp);
    editor.Playback = nullptr;
  }
}

// --- What the window shows ------------------------------------------------

std::string Triple(const double p[3])
{
  char text[96];
  std::snprintf(text, sizeof(text), "(%.4g, %.4g, %.4g)", p[0], p[1], p[2]);
  return text;
}

std::string StatusText(const Editor& editor, const EditState& state)
{
  const PointsOfExpression& points = editor.Points(state);
  char head[160];
  std::snprintf(head,
                sizeof(head),
                "%zu control points   R %.4g   update %.1f ms%s",
                points.size(),
                state.Radius,
                editor.UpdateMilliseconds,
                editor.History.Unsaved() ? "   (unsaved)" : "");
  std::string text = head;
  if (editor.Files.Expressions.size() > 1)
  {
    text +=
      "\nexpression " + editor.Files.Expressions[editor.Edited].Name + " at weight 1 (Tab: next)";
  }
  const int index = IndexOfPoint(points, editor.Selected);
  if (index >= 0)
  {
    text += "\nsource " + Triple(points[index].Source) + "\ntarget " + Triple(points[index].Target);
  }
  if (!editor.Message.empty())
  {
    text += "\n" + editor.Message;
  }
  return text;
}

// Draws the window with the marks and the status of shown, the current
// state or a drag in progress.
void Redraw(Editor& editor, const EditState& shown)
{
  const PointsOfExpression& points = editor.Points(shown);
  const int index = IndexOfPoint(points, editor.Selected);
  ShowPairs(
    editor.Marks, editor.Sources, editor.Targets, index >= 0 ? points[index].Target : nullptr);
  editor.Marks.Status->SetInput(StatusText(editor, shown).c_str());
  editor.View.Window->Render();
}

void Redraw(Editor& editor)
{
  Redraw(editor, editor.History.Current());
}

// Shows state: the landmarks and the face. False when state gives no fit;
// the current state is shown again then.
bool Show(Editor& editor, const EditState& state)
{
  if (!GiveLandmarks(editor, state) || FollowLandmarks(editor))
  {
    return true;
  }
  GiveLandmarks(editor, editor.History.Current());
  editor.View.TransformFilter->Update();
  return false;
}

// Whether the edited expression can be changed: one of two point files, or
// of a file that an expression before it names too, cannot, as its file is
// not rewritten.
bool EditableExpression(Editor& editor)
{
  const SceneExpression& expression = editor.Files.Expressions[editor.Edited];
  if (expression.File < 0)
  {
    editor.Message = "Not done: expression " + expression.Name +
                     " is not held alone by one file of pairs (it has two point files, or "
                     "shares its file with another expression), which the editor does not rewrite";
    return false;
  }
  return true;
}

// Shows next and records it as an edit, or keeps the current state when
// next gives no fit.
void Edit(Editor& editor, const EditState& next)
{
  StopPlaying(editor);
  editor.Message.clear();
  if (Show(editor, next))
  {
    editor.History.Record(next);
  }
  Redraw(editor);
}

// The unit normal of the face at rest nearest to p; the view direction when
// the face has no normals.
void RestNormalAt(Editor& editor, const double p[3], double normal[3])
{
  if (vtkDataArray* normals = editor.Rest->GetPointData()->GetNormals())
  {
    normals->GetTuple(editor.RestPoints->FindClosestPoint(p), normal);
    if (vtkMath::Normalize(normal) > 0.0)
    {
      return;
    }
  }
  editor.View.FaceRenderer->GetActiveCamera()->GetDirectionOfProjection(normal);
}

// --- The mouse --------------------------------------------------------------

// The Id of the edited expression's handle under display point (x, y), or -1.
int HandleAt(Editor& editor, int x, int y)
{
  const PointsOfExpression& points = editor.Points(editor.History.Current());
  std::vector<const double*> targets;
  for (const EditedPoint& point : points)
  {
    targets.push_back(point.Target);
  }
  const int index = NearestOnScreen(
    editor.View.FaceRenderer, targets, x, y, GrabPixels, editor.Marks.Handles.Sphere->GetRadius());
  return index < 0 ? -1 : points[index].Id;
}

void StartDrag(Editor& editor, int id, int x, int y)
{
  StopPlaying(editor);
  editor.Selected = id;
  editor.Message.clear();
  if (!EditableExpression(editor))
  {
    Redraw(editor);
    return;
  }
  const PointsOfExpression& points = editor.Points(editor.History.Current());
  const EditedPoint& point = points[IndexOfPoint(points, id)];
  Drag& drag = editor.Held;
  drag.Id = id;
  std::copy(point.Target, point.Target + 3, drag.Start);
  double display[3];
  vtkInteractorObserver::ComputeWorldToDisplay(
    editor.View.FaceRenderer, point.Target[0], point.Target[1], point.Target[2], display);
  drag.Depth = display[2];
  double world[4];
  vtkInteractorObserver::ComputeDisplayToWorld(editor.View.FaceRenderer, x, y, drag.Depth, world);
  std::copy(world, world + 3, drag.Anchor);
  RestNormalAt(editor, point.Source, drag.Normal);
  Redraw(editor);
}

// How far along the unit vector normal a pointer's move (a vector in the view
// plane) carries a point. A point moved by t n is seen to move by t p, p the
// part of n in the view plane, so t = move . p / |p|^2 where p is long enough
// to follow; a normal that faces the viewer (|p| < 1/2) follows the
// pointer's move up the screen instead, outward when dragged up.
double MoveAlong(vtkCamera* camera, const double move[3], const double normal[3])
{
  double view[3];
  camera->GetDirectionOfProjection(view);
  const double facing = vtkMath::Dot(normal, view);
  double inPlane[3];
  for (int a = 0; a < 3; ++a)
  {
    inPlane[a] = normal[a] - facing * view[a];
  }
  const double length2 = vtkMath::Dot(inPlane, inPlane);
  if (length2 >= 0.25)
  {
    return vtkMath::Dot(move, inPlane) / length2;
  }
  double up[3];
  camera->GetViewUp(up);
  const double upFacing = vtkMath::Dot(up, view);
  for (int a = 0; a < 3; ++a)
  {
    up[a] -= upFacing * view[a];
  }
  vtkMath::Normalize(up);
  return facing < 0 ? vtkMath::Dot(move, up) : -vtkMath::Dot(move, up);
}

// The current state with the dragged target under display point (x, y):
// moved with the pointer in the view plane, or by the pointer's move along
// the normal when alongNormal.
EditState DraggedState(Editor& editor, int x, int y, bool alongNormal)
{
  const Drag& drag = editor.Held;
  double world[4];
  vtkInteractorObserver::ComputeDisplayToWorld(editor.View.FaceRenderer, x, y, drag.Depth, world);
  double move[3];
  vtkMath::Subtract(world, drag.Anchor, move);
  if (alongNormal)
  {
    const double along = MoveAlong(editor.View.FaceRenderer->GetActiveCamera(), move, drag.Normal);
    for (int a = 0; a < 3; ++a)
    {
      move[a] = along * drag.Normal[a];
    }
  }
  EditState state = editor.History.Current();
  PointsOfExpression& points = state.Expressions[editor.Edited];
  vtkMath::Add(drag.Start, move, points[IndexOfPoint(points, drag.Id)].Target);
  return state;
}

void AddAnchorAt(Editor& editor, int x, int y)
{
  EditedPoint point{ 0, {}, {} };
  if (!PickRestSurface(editor.View.FaceRenderer,
                       editor.View.TransformFilter->GetOutput(),
                       editor.Rest,
                       editor.Surface,
                       x,
                       y,
                       point.Source))
  {
    return;
  }
  editor.Message.clear();
  if (!EditableExpression(editor))
  {
    Redraw(editor);
    return;
  }
  point.Id = editor.History.NewId();
  std::copy(point.Source, point.Source + 3, point.Target);
  EditState next = editor.History.Current();
  next.Expressions[editor.Edited].push_back(point);
  editor.Selected = point.Id;
  Edit(editor, next);
}

// Handles the mouse event of interactor; false leaves it to the camera's
// trackball.
bool OnMouse(Editor& editor, vtkRenderWindowInteractor* interactor, unsigned long event)
{
  int x, y;
  interactor->GetEventPosition(x, y);
  const bool alongNormal = interactor->GetShiftKey() != 0;
  switch (event)
  {
    case vtkCommand::LeftButtonPressEvent:
    {
      editor.PressPosition[0] = x;
      editor.PressPosition[1] = y;
      const int id = HandleAt(editor, x, y);
      if (id < 0)
      {
        return false;
      }
      StartDrag(editor, id, x, y);
      return true;
    }
    case vtkCommand::MouseMoveEvent:
    {
      if (editor.Held.Id < 0)
      {
        return false;
      }
      const EditState dragged = DraggedState(editor, x, y, alongNormal);
      Show(editor, dragged);
      Redraw(editor, dragged);
      return true;
    }
    case vtkCommand::LeftButtonReleaseEvent:
    {
      if (editor.Held.Id >= 0)
      {
        const EditState dragged = DraggedState(editor, x, y, alongNormal);
        editor.Held.Id = -1;
        if (dragged.Expressions != editor.History.Current().Expressions)
        {
          Edit(editor, dragged);
        }
        return true;
      }
      if (std::abs(x - editor.PressPosition[0]) <= ClickSlack &&
          std::abs(y - editor.PressPosition[1]) <= ClickSlack)
      {
        AddAnchorAt(editor, x, y);
      }
      return false;
    }
    default:
      return false;
  }
}

// --- The keys ---------------------------------------------------------------

// The scene's timeline over its expressions; a timeline that cannot be read
// leaves its reason for Space, and the editing goes on.
void ReadKeys(Editor& editor)
{
  std::vector<std::string> names;
  for (const SceneExpression& expression : editor.Files.Expressions)
  {
    names.push_back(expression.Name);
  }
  try
  {
    editor.Keys = ReadTimeline(editor.Input->Settings, names, names[0] == "default" ? 0 : -1);
  }
  catch (const program_error& failure)
  {
    editor.KeysError = failure.what();
  }
}

// s: every file whose pairs changed, and woman.ptt for a new radius.
void Save(Editor& editor)
{
  const std::string failures = SaveEditedFiles(editor.Files, editor.History.Current());
  if (!failures.empty())
  {
    editor.Message = failures;
    std::cerr << failures << std::endl;
    return;
  }
  editor.History.MarkSaved();
  editor.Message = "Saved";
}

void RemoveSelected(Editor& editor)
{
  EditState next = editor.History.Current();
  PointsOfExpression& points = next.Expressions[editor.Edited];
  const int index = IndexOfPoint(points, editor.Selected);
  if (index < 0)
  {
    editor.Message = "Nothing selected: click a handle first";
    return;
  }
  if (!EditableExpression(editor))
  {
    return;
  }
  if (points.size() == 1)
  {
    editor.Message = "Not done: an expression needs at least one control point";
    return;
  }
  points.erase(points.begin() + index);
  editor.Selected = -1;
  Edit(editor, next);
}

void ScaleRadius(Editor& editor, double factor)
{
  EditState next = editor.History.Current();
  next.Radius *= factor;
  Edit(editor, next);
}

// u and r: the expression that the step changes becomes the edited one.
void StepThroughHistory(Editor& editor, bool back)
{
  editor.Message.clear();
  const EditState before = editor.History.Current();
  if (!(back ? editor.History.Undo() : editor.History.Redo()))
  {
    editor.Message = back ? "Nothing to undo" : "Nothing to redo";
    return;
  }
  const EditState& after = editor.History.Current();
  const auto changed =
    std::mismatch(after.Expressions.begin(), after.Expressions.end(), before.Expressions.begin());
  if (changed.first != after.Expressions.end())
  {
    editor.Edited = static_cast<int>(changed.first - after.Expressions.begin());
  }
  if (GiveLandmarks(editor, after))
  {
    FollowLandmarks(editor);
  }
}

// Tab: the next expression is shown at weight 1 and edited.
void NextExpression(Editor& editor)
{
  editor.Edited = (editor.Edited + 1) % static_cast<int>(editor.Files.Expressions.size());
  editor.Selected = -1;
  editor.Message.clear();
  GiveLandmarks(editor, editor.History.Current());
  FollowLandmarks(editor);
}

// Space: the scene's animation as the run plays it, every expression with
// its edited points and the weights of the timeline, a frame every
// PlayInterval, over and over; Space again, or an edit, stops it.
void TogglePlay(Editor& editor)
{
  if (editor.Playback)
  {
    StopPlaying(editor);
    return;
  }
  if (!editor.KeysError.empty())
  {
    editor.Message = "Not played: " + editor.KeysError;
    return;
  }
  const EditState& state = editor.History.Current();
  vtkSmartPointer<vtkExpressionTransform> playback;
  playback.TakeReference(NewExpressionTransform(editor.Input->Settings));
  playback->SetSupportRadius(state.Radius);
  for (std::size_t e = 0; e < state.Expressions.size(); ++e)
  {
    if (!state.Expressions[e].empty())
    {
      vtkNew<vtkPoints> sources;
      vtkNew<vtkPoints> targets;
      GiveCoordinates(sources, state.Expressions[e], &EditedPoint::Source);
      GiveCoordinates(targets, state.Expressions[e], &EditedPoint::Target);
      playback->AddExpression(editor.Files.Expressions[e].Name.c_str(), sources, targets);
    }
  }
  if (!playback->Fit())
  {
    editor.Message = std::string("Not played: ") + playback->GetFitError();
    return;
  }
  editor.Message.clear();
  editor.Playback = playback;
  editor.Frame = 0;
  PlayStep(editor);
  editor.View.TransformFilter->SetTransform(playback);
  editor.PlayTimer = editor.View.Interactor->CreateRepeatingTimer(PlayInterval);
}

bool KeyIs(const char* key, std::initializer_list<const char*> names)
{
  return key && std::any_of(names.begin(),
                            names.end(),
                            [key](const char* name) { return std::strcmp(key, name) == 0; });
}

// Handles the key of interactor; false for a key that is not the editor's.
bool OnKey(Editor& editor, vtkRenderWindowInteractor* interactor)
{
  const char* key = interactor->GetKeySym();
  if (KeyIs(key, { "q", "Q" }))
  {
    interactor->TerminateApp();
    return true;
  }
  if (editor.Held.Id >= 0)
  {
    // While a handle is held, the state it was taken from stays.
    return true;
  }
  if (!KeyIs(key, { "space" }))
  {
    StopPlaying(editor);
  }
  if (KeyIs(key, { "s" }))
  {
    Save(editor);
  }
  else if (KeyIs(key, { "u" }))
  {
    StepThroughHistory(editor, true);
  }
  else if (KeyIs(key, { "r" }))
  {
    StepThroughHistory(editor, false);
  }
  else if (KeyIs(key, { "Delete", "BackSpace" }))
  {
    RemoveSelected(editor);
  }
  else if (KeyIs(key, { "plus", "equal", "KP_Add" }))
  {
    ScaleRadius(editor, RadiusStep);
  }
  else if (KeyIs(key, { "minus", "KP_Subtract" }))
  {
    ScaleRadius(editor, 1 / RadiusStep);
  }
  else if (KeyIs(key, { "Tab", "ISO_Left_Tab" }))
  {
    NextExpression(editor);
  }
  else if (KeyIs(key, { "space" }))
  {
    TogglePlay(editor);
  }
  else
  {
    return false;
  }
  Redraw(editor);
  return true;
}

// The editor's observer of the interactor. Ahead of the trackball, it takes
// the keys and the presses on handles, which go no further (the trackball's
// own keys, such as "s" for surfaces and "r" to reset the camera, never see
// them). Moves and releases it watches as a passive observer, which sees
// them even while the trackball turns the camera and holds the focus.
class EditorEvents : public vtkCommand
{
public:
  static EditorEvents* New() { return new EditorEvents; }
  Editor* Session = nullptr;

  void Execute(vtkObject* caller, unsigned long event, void*) override
  {
    auto* interactor = static_cast<vtkRenderWindowInteractor*>(caller);
    bool handled = true;
    if (event == vtkCommand::KeyPressEvent)
    {
      handled = OnKey(*this->Session, interactor);
    }
    else if (event == vtkCommand::TimerEvent)
    {
      if (this->Session->Playback)
      {
        PlayStep(*this->Session);
        this->Session->View.Window->Render();
      }
    }
    else if (event != vtkCommand::CharEvent)
    {
      handled = OnMouse(*this->Session, interactor, event);
    }
    if (!this->GetPassiveObserver())
    {
      this->SetAbortFlag(handled);
    }
  }
};

void ObserveInteractor(Editor& editor)
{
  vtkNew<EditorEvents> ahead;
  ahead->Session = &editor;
  for (unsigned long event : { vtkCommand::KeyPressEvent,
                               vtkCommand::CharEvent,
                               vtkCommand::TimerEvent,
                               vtkCommand::LeftButtonPressEvent })
  {
    editor.View.Interactor->AddObserver(event, ahead, 1.0f);
  }
  vtkNew<EditorEvents> watching;
  watching->Session = &editor;
  watching->PassiveObserverOn();
  for (unsigned long event : { vtkCommand::LeftButtonReleaseEvent, vtkCommand::MouseMoveEvent })
  {
    editor.View.Interactor->AddObserver(event, watching);
  }
}
}

void EditControlPoints(const SceneInput& input)
{
  Editor editor(input);
  ReadKeys(editor);

  editor.Sources->SetDataTypeToDouble();
  editor.Targets->SetDataTypeToDouble();
  ApplySceneFitSettings(editor.Warp, input.Settings);
  editor.Warp->SetSourceLandmarks(editor.Sources);
  editor.Warp->SetTargetLandmarks(editor.Targets);
  GiveLandmarks(editor, editor.History.Current());

  editor.View = BuildScene(input, editor.Warp, SceneRole::Editor);
  try
  {
    editor.Rest = vtkPolyData::SafeDownCast(editor.View.TransformFilter->GetInput());
    editor.RestPoints->SetDataSet(editor.Rest);
    editor.RestPoints->BuildLocator();
    editor.View.Window->SetWindowName("Animation: control points");
    AddEditorMarks(
      editor.Marks, MarkRadiusShare * input.Face->GetLength(), editor.View.FaceRenderer);
    ObserveInteractor(editor);
    Redraw(editor);
    std::cout << "Editing " << SceneFileName << ": "
              << editor.Points(editor.History.Current()).size() << " control points" << std::endl;
    editor.View.Interactor->Start();
  }
  catch (...)
  {
    ReleaseScene(editor.View);
    throw;
  }
  if (editor.History.Unsaved())
  {
    std::cerr << SceneFileName << " was not saved: the editor was closed with unsaved edits"
              << std::endl;
  }
  ReleaseScene(editor.View);
}
