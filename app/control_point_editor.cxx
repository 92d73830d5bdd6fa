#include "control_point_editor.h"

#include "control_point_lines.h"
#include "edit_history.h"
#include "expressions.h"
#include "named_file.h"
#include "program_error.h"
#include "scene.h"
#include "vtkCompactSplineTransform.h"

#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCellArray.h>
#include <vtkCellLocator.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkGenericCell.h>
#include <vtkGlyph3D.h>
#include <vtkInteractorObserver.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>
#include <vtkStaticPointLocator.h>
#include <vtkTextActor.h>
#include <vtkTextProperty.h>
#include <vtkTransformPolyDataFilter.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

namespace
{
constexpr const char* SceneFileName = "woman.ptt";

// Colours of the marks: sources, handles, the selected handle, the lines.
constexpr double SourceColour[3] = { 0.1, 0.85, 0.2 };
constexpr double HandleColour[3] = { 0.9, 0.15, 0.1 };
constexpr double SelectedColour[3] = { 1.0, 0.9, 0.1 };
constexpr double LinkColour[3] = { 1.0, 0.85, 0.1 };

// A handle is grabbed when the pointer is within this many pixels of its
// centre; a press and release closer than ClickSlack pixels is a click.
constexpr double GrabPixels = 10;
constexpr double ClickSlack = 3;

// Milliseconds between the frames of the played blend.
constexpr unsigned long PlayInterval = 40;

// A pair as the scene file holds it: its line and its numbers there.
struct FilePair
{
  int Line;
  double Source[3];
  double Target[3];
};

// Glyphs of one kind of mark, drawn around the points of Centres.
struct MarkLayer
{
  vtkNew<vtkPolyData> Centres;
  vtkNew<vtkSphereSource> Sphere;
  vtkNew<vtkGlyph3D> Glyphs;
  vtkNew<vtkPolyDataMapper> Mapper;
  vtkNew<vtkActor> Actor;

  void Build(double radius, const double colour[3], vtkRenderer* renderer)
  {
    this->Sphere->SetRadius(radius);
    this->Sphere->SetThetaResolution(12);
    this->Sphere->SetPhiResolution(8);
    this->Glyphs->SetInputData(this->Centres);
    this->Glyphs->SetSourceConnection(this->Sphere->GetOutputPort());
    this->Glyphs->ScalingOff();
    this->Glyphs->OrientOff();
    this->Mapper->SetInputConnection(this->Glyphs->GetOutputPort());
    this->Actor->SetMapper(this->Mapper);
    this->Actor->GetProperty()->SetColor(colour[0], colour[1], colour[2]);
    renderer->AddViewProp(this->Actor);
  }
};

// A handle being dragged: where the drag started and along what.
struct Drag
{
  int Id = -1;            // the dragged point, or -1 when no handle is held
  double Start[3];        // its target when the drag started
  double Anchor[3];       // the world point under the pointer then, at the target's depth
  double Depth = 0;       // the target's display depth
  double Normal[3];       // the unit surface normal at its source
  EditState Before;       // the state when the drag started
};

struct Editor
{
  const SceneInput* Input;
  Scene View{};
  EditHistory History;
  vtkNew<vtkCompactSplineTransform> Warp;
  vtkNew<vtkPoints> Sources; // the warp's landmarks, in the order of the current state
  vtkNew<vtkPoints> Targets;
  vtkPolyData* Rest = nullptr;     // the drawn face at rest, with point normals
  vtkNew<vtkStaticPointLocator> RestPoints;
  vtkNew<vtkCellLocator> Surface; // over the face as shown, rebuilt before a click's pick
  MarkLayer SourceMarks;
  MarkLayer Handles;
  MarkLayer Selection;
  vtkNew<vtkPolyData> Links; // points: sources then targets; a line from each to its own
  vtkNew<vtkActor> LinkActor;
  vtkNew<vtkTextActor> Status;

  std::string FileText;           // woman.ptt as read or last saved
  double FileRadius = 0;          // the support radius it gives
  std::map<int, FilePair> InFile; // by Id: the pairs that the file holds
  int Selected = -1;              // Id of the selected point, or -1
  Drag Held;
  int PressPosition[2] = { 0, 0 };
  bool Playing = false;
  int PlayTimer = 0;
  double Blend = 1;
  double BlendStep = 0.1;
  double UpdateMilliseconds = 0;
  std::string Message; // the outcome of the last save or refused edit

  explicit Editor(const EditState& initial)
    : History(initial)
  {
  }
};

// --- The control points and the face -------------------------------------

// The scene's own control points, with Ids 0, 1, ... in the file's order.
EditState StateOfScene(const SceneInput& input)
{
  vtkPoints* sources = input.Settings->GetPointArray();
  vtkPoints* targets = input.Settings->GetPointArrayN();
  EditState state{ {}, input.Settings->GetRadius() };
  for (vtkIdType k = 0; k < sources->GetNumberOfPoints(); ++k)
  {
    EditedPoint point{ static_cast<int>(k), {}, {} };
    sources->GetPoint(k, point.Source);
    targets->GetPoint(k, point.Target);
    state.Points.push_back(point);
  }
  return state;
}

// Records that the file holds the current state, its pairs on lines.
void RememberFile(Editor& editor, const std::string& text, const std::vector<int>& lines)
{
  const EditState& state = editor.History.Current();
  editor.FileText = text;
  editor.FileRadius = state.Radius;
  editor.InFile.clear();
  for (std::size_t k = 0; k < state.Points.size(); ++k)
  {
    const EditedPoint& point = state.Points[k];
    FilePair pair{ lines[k], {}, {} };
    std::copy(point.Source, point.Source + 3, pair.Source);
    std::copy(point.Target, point.Target + 3, pair.Target);
    editor.InFile[point.Id] = pair;
  }
}

bool SameSources(vtkPoints* sources, const EditState& state)
{
  if (sources->GetNumberOfPoints() != static_cast<vtkIdType>(state.Points.size()))
  {
    return false;
  }
  for (std::size_t k = 0; k < state.Points.size(); ++k)
  {
    double p[3];
    sources->GetPoint(static_cast<vtkIdType>(k), p);
    if (!std::equal(p, p + 3, state.Points[k].Source))
    {
      return false;
    }
  }
  return true;
}

// Gives the warp the landmarks of state: the targets that differ alone when
// the sources are the same (the factor is kept), every landmark otherwise.
// False when the warp had them already.
bool GiveLandmarks(Editor& editor, const EditState& state)
{
  bool changed = false;
  if (editor.Warp->GetSupportRadius() != state.Radius)
  {
    editor.Warp->SetSupportRadius(state.Radius);
    changed = true;
  }
  const vtkIdType n = static_cast<vtkIdType>(state.Points.size());
  if (!SameSources(editor.Sources, state))
  {
    editor.Sources->SetNumberOfPoints(n);
    editor.Targets->SetNumberOfPoints(n);
    for (vtkIdType k = 0; k < n; ++k)
    {
      editor.Sources->SetPoint(k, state.Points[k].Source);
      editor.Targets->SetPoint(k, state.Points[k].Target);
    }
    editor.Sources->Modified();
    editor.Targets->Modified();
    return true;
  }
  bool moved = false;
  for (vtkIdType k = 0; k < n; ++k)
  {
    double t[3];
    editor.Targets->GetPoint(k, t);
    if (!std::equal(t, t + 3, state.Points[k].Target))
    {
      editor.Targets->SetPoint(k, state.Points[k].Target);
      moved = true;
    }
  }
  if (moved)
  {
    editor.Targets->Modified();
  }
  return changed || moved;
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

// --- What the window shows ------------------------------------------------

void UpdateMarks(Editor& editor, const EditState& shown)
{
  editor.SourceMarks.Centres->SetPoints(editor.Sources);
  editor.Handles.Centres->SetPoints(editor.Targets);
  editor.SourceMarks.Centres->Modified();
  editor.Handles.Centres->Modified();

  const vtkIdType n = editor.Sources->GetNumberOfPoints();
  vtkNew<vtkPoints> ends;
  ends->SetDataTypeToDouble();
  ends->DeepCopy(editor.Sources);
  ends->InsertPoints(n, n, 0, editor.Targets);
  vtkNew<vtkCellArray> lines;
  for (vtkIdType k = 0; k < n; ++k)
  {
    const vtkIdType line[2] = { k, n + k };
    lines->InsertNextCell(2, line);
  }
  editor.Links->SetPoints(ends);
  editor.Links->SetLines(lines);

  vtkNew<vtkPoints> selected;
  const int index = IndexOfPoint(shown, editor.Selected);
  if (index >= 0)
  {
    selected->InsertNextPoint(shown.Points[index].Target);
  }
  editor.Selection.Centres->SetPoints(selected);
}

std::string Triple(const double p[3])
{
  char text[96];
  std::snprintf(text, sizeof(text), "(%.4g, %.4g, %.4g)", p[0], p[1], p[2]);
  return text;
}

void UpdateStatus(Editor& editor, const EditState& state)
{
  char head[128];
  std::snprintf(head,
                sizeof(head),
                "%zu control points   R %.4g   update %.1f ms%s",
                state.Points.size(),
                state.Radius,
                editor.UpdateMilliseconds,
                editor.History.Unsaved() ? "   (unsaved)" : "");
  std::string text = head;
  const int index = IndexOfPoint(state, editor.Selected);
  if (index >= 0)
  {
    const EditedPoint& point = state.Points[index];
    text += "\nsource " + Triple(point.Source) + "\ntarget " + Triple(point.Target);
  }
  if (!editor.Message.empty())
  {
    text += "\n" + editor.Message;
  }
  editor.Status->SetInput(text.c_str());
}

// Draws the window with the marks and the status of shown, the current
// state or a drag in progress.
void Redraw(Editor& editor, const EditState& shown)
{
  UpdateMarks(editor, shown);
  UpdateStatus(editor, shown);
  editor.View.Window->Render();
}

void Redraw(Editor& editor)
{
  Redraw(editor, editor.History.Current());
}

// Shows state: the landmarks, the face and the marks. False when state gives
// no fit; the current state is shown again then.
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

// Shows next and records it as an edit, or keeps the current state when
// next gives no fit.
void Edit(Editor& editor, const EditState& next)
{
  editor.Message.clear();
  if (Show(editor, next))
  {
    editor.History.Record(next);
  }
  Redraw(editor);
}

// --- Picking ----------------------------------------------------------------

// The world points at the ends of the view ray through display point (x, y).
void ViewRay(vtkRenderer* renderer, double x, double y, double nearPoint[3], double farPoint[3])
{
  double world[4];
  vtkInteractorObserver::ComputeDisplayToWorld(renderer, x, y, 0.0, world);
  std::copy(world, world + 3, nearPoint);
  vtkInteractorObserver::ComputeDisplayToWorld(renderer, x, y, 1.0, world);
  std::copy(world, world + 3, farPoint);
}

// The point of the face at rest under display point (x, y): the first
// surface point the view ray meets on the face as shown, carried back to the
// rest surface through its cell and parametric coordinates. False when the
// ray misses the face.
bool PickRestSurface(Editor& editor, int x, int y, double rest[3])
{
  vtkPolyData* shown = editor.View.TransformFilter->GetOutput();
  editor.Surface->SetDataSet(shown);
  editor.Surface->BuildLocator();
  double nearPoint[3], farPoint[3], hit[3], pcoords[3], t;
  int subId = 0;
  vtkIdType cellId = -1;
  ViewRay(editor.View.FaceRenderer, x, y, nearPoint, farPoint);
  if (!editor.Surface->IntersectWithLine(nearPoint, farPoint, 0.0, t, hit, pcoords, subId, cellId))
  {
    return false;
  }
  vtkNew<vtkGenericCell> cell;
  editor.Rest->GetCell(cellId, cell);
  std::vector<double> weights(static_cast<std::size_t>(std::max<vtkIdType>(cell->GetNumberOfPoints(), 1)));
  cell->EvaluateLocation(subId, pcoords, rest, weights.data());
  return true;
}

// The Id of the handle within GrabPixels of display point (x, y), the
// nearest one; -1 when none is.
int HandleAt(Editor& editor, int x, int y)
{
  int id = -1;
  double nearest = GrabPixels * GrabPixels;
  for (const EditedPoint& point : editor.History.Current().Points)
  {
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(
      editor.View.FaceRenderer, point.Target[0], point.Target[1], point.Target[2], display);
    const double dx = display[0] - x;
    const double dy = display[1] - y;
    if (dx * dx + dy * dy <= nearest)
    {
      nearest = dx * dx + dy * dy;
      id = point.Id;
    }
  }
  return id;
}

// The unit normal of the face at rest nearest to p; the view direction when
// the face has no normals.
void RestNormalAt(Editor& editor, const double p[3], double normal[3])
{
  vtkDataArray* normals = editor.Rest->GetPointData()->GetNormals();
  if (normals && editor.Rest->GetNumberOfPoints() > 0)
  {
    normals->GetTuple(editor.RestPoints->FindClosestPoint(p), normal);
  }
  else
  {
    editor.View.FaceRenderer->GetActiveCamera()->GetDirectionOfProjection(normal);
  }
  if (vtkMath::Normalize(normal) == 0.0)
  {
    normal[0] = 0;
    normal[1] = 0;
    normal[2] = 1;
  }
}

// --- The mouse --------------------------------------------------------------

void StartDrag(Editor& editor, int id, int x, int y)
{
  const EditState& state = editor.History.Current();
  const EditedPoint& point = state.Points[IndexOfPoint(state, id)];
  Drag& drag = editor.Held;
  drag.Id = id;
  drag.Before = state;
  std::copy(point.Target, point.Target + 3, drag.Start);
  double display[3];
  vtkInteractorObserver::ComputeWorldToDisplay(
    editor.View.FaceRenderer, point.Target[0], point.Target[1], point.Target[2], display);
  drag.Depth = display[2];
  double world[4];
  vtkInteractorObserver::ComputeDisplayToWorld(editor.View.FaceRenderer, x, y, drag.Depth, world);
  std::copy(world, world + 3, drag.Anchor);
  RestNormalAt(editor, point.Source, drag.Normal);
  editor.Selected = id;
  editor.Message.clear();
  Redraw(editor);
}

// The dragged target under display point (x, y): moved with the pointer in
// the view plane, or by the pointer's move along the normal when alongNormal.
EditState DraggedState(Editor& editor, int x, int y, bool alongNormal)
{
  const Drag& drag = editor.Held;
  double world[4];
  vtkInteractorObserver::ComputeDisplayToWorld(editor.View.FaceRenderer, x, y, drag.Depth, world);
  double move[3] = { world[0] - drag.Anchor[0], world[1] - drag.Anchor[1], world[2] - drag.Anchor[2] };
  if (alongNormal)
  {
    const double along = vtkMath::Dot(move, drag.Normal);
    for (int a = 0; a < 3; ++a)
    {
      move[a] = along * drag.Normal[a];
    }
  }
  EditState state = drag.Before;
  EditedPoint& point = state.Points[IndexOfPoint(state, drag.Id)];
  for (int a = 0; a < 3; ++a)
  {
    point.Target[a] = drag.Start[a] + move[a];
  }
  return state;
}

void AddAnchorAt(Editor& editor, int x, int y)
{
  EditedPoint point{ editor.History.NewId(), {}, {} };
  if (!PickRestSurface(editor, x, y, point.Source))
  {
    return;
  }
  std::copy(point.Source, point.Source + 3, point.Target);
  EditState next = editor.History.Current();
  next.Points.push_back(point);
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
        if (dragged.Points != editor.History.Current().Points)
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

void Save(Editor& editor)
{
  const EditState& state = editor.History.Current();
  std::vector<EditedPair> pairs;
  for (const EditedPoint& point : state.Points)
  {
    EditedPair pair;
    std::copy(point.Source, point.Source + 3, pair.Source);
    std::copy(point.Target, point.Target + 3, pair.Target);
    const auto inFile = editor.InFile.find(point.Id);
    if (inFile != editor.InFile.end())
    {
      const FilePair& old = inFile->second;
      pair.Line = old.Line;
      pair.Changed = !std::equal(old.Source, old.Source + 3, point.Source) ||
                     !std::equal(old.Target, old.Target + 3, point.Target);
    }
    pairs.push_back(pair);
  }
  const double radius = state.Radius != editor.FileRadius ? state.Radius : 0.0;
  std::vector<int> lines;
  const std::string text = RewriteControlPointLines(editor.FileText, pairs, radius, lines);
  try
  {
    ReplaceSceneFile(SceneFileName, editor.FileText, text);
  }
  catch (const program_error& failure)
  {
    editor.Message = failure.what();
    std::cerr << failure.what() << std::endl;
    return;
  }
  RememberFile(editor, text, lines);
  editor.History.MarkSaved();
  editor.Message = "Saved " + std::string(SceneFileName);
  std::cout << "Saved " << SceneFileName << ": " << state.Points.size() << " control points"
            << std::endl;
}

void RemoveSelected(Editor& editor)
{
  EditState next = editor.History.Current();
  const int index = IndexOfPoint(next, editor.Selected);
  if (index < 0)
  {
    editor.Message = "Nothing selected: click a handle first";
    return;
  }
  if (next.Points.size() == 1)
  {
    editor.Message = "Not done: a scene needs at least one control point";
    return;
  }
  next.Points.erase(next.Points.begin() + index);
  editor.Selected = -1;
  Edit(editor, next);
}

void ScaleRadius(Editor& editor, double factor)
{
  EditState next = editor.History.Current();
  next.Radius *= factor;
  Edit(editor, next);
}

void StepThroughHistory(Editor& editor, bool back)
{
  editor.Message.clear();
  if (!(back ? editor.History.Undo() : editor.History.Redo()))
  {
    editor.Message = back ? "Nothing to undo" : "Nothing to redo";
    return;
  }
  if (GiveLandmarks(editor, editor.History.Current()))
  {
    FollowLandmarks(editor);
  }
}

// Space: the blend plays from the targets down to rest and back, a step of
// 1/FramesNumber every PlayInterval; again, it stops at the targets.
void TogglePlay(Editor& editor, vtkRenderWindowInteractor* interactor)
{
  editor.Playing = !editor.Playing;
  if (editor.Playing)
  {
    editor.PlayTimer = interactor->CreateRepeatingTimer(PlayInterval);
    return;
  }
  interactor->DestroyTimer(editor.PlayTimer);
  editor.Blend = 1;
  editor.BlendStep = std::fabs(editor.BlendStep);
  editor.Warp->SetBlendFactor(1);
}

void PlayStep(Editor& editor)
{
  editor.Blend -= editor.BlendStep;
  if (editor.Blend <= 0 || editor.Blend >= 1)
  {
    editor.Blend = std::min(1.0, std::max(0.0, editor.Blend));
    editor.BlendStep = -editor.BlendStep;
  }
  editor.Warp->SetBlendFactor(editor.Blend);
}

bool KeyIs(const char* key, std::initializer_list<const char*> names)
{
  for (const char* name : names)
  {
    if (key && std::strcmp(key, name) == 0)
    {
      return true;
    }
  }
  return false;
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
  else if (KeyIs(key, { "space" }))
  {
    TogglePlay(editor, interactor);
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
      PlayStep(*this->Session);
      this->Session->View.Window->Render();
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

void AddMarks(Editor& editor)
{
  const double radius = MarkRadiusShare * editor.Input->Face->GetLength();
  vtkRenderer* renderer = editor.View.FaceRenderer;
  editor.SourceMarks.Build(radius, SourceColour, renderer);
  editor.Handles.Build(1.5 * radius, HandleColour, renderer);
  editor.Selection.Build(1.8 * radius, SelectedColour, renderer);
  vtkNew<vtkPolyDataMapper> linkMapper;
  linkMapper->SetInputData(editor.Links);
  editor.LinkActor->SetMapper(linkMapper);
  editor.LinkActor->GetProperty()->SetColor(LinkColour[0], LinkColour[1], LinkColour[2]);
  editor.LinkActor->GetProperty()->SetLineWidth(2);
  editor.LinkActor->GetProperty()->LightingOff();
  renderer->AddViewProp(editor.LinkActor);

  editor.Status->GetTextProperty()->SetFontSize(13);
  editor.Status->GetTextProperty()->SetColor(1, 1, 1);
  editor.Status->SetDisplayPosition(6, 6);
  renderer->AddViewProp(editor.Status);
}

// The scene file's text and the line of each of its pairs.
std::string ReadSceneText(std::vector<int>& lines, vtkIdType pairs)
{
  std::string text;
  std::string why;
  if (!ReadNamedFile(SceneFileName, MaximumTextFileBytes, "a scene file", text, why))
  {
    throw program_error("Cannot edit " + std::string(SceneFileName) + ": it " + why);
  }
  lines = ControlPointLineNumbers(text);
  if (static_cast<vtkIdType>(lines.size()) != pairs)
  {
    throw program_error("Cannot edit " + std::string(SceneFileName) +
                        ": it changed while it was read");
  }
  return text;
}
}

void EditControlPoints(const SceneInput& input)
{
  std::vector<int> lines;
  const std::string text = ReadSceneText(lines, input.Settings->GetPointArray()->GetNumberOfPoints());
  Editor editor(StateOfScene(input));
  RememberFile(editor, text, lines);
  editor.Input = &input;
  editor.BlendStep = 1.0 / std::max(1, input.Settings->GetFramesNumber());

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
    AddMarks(editor);
    ObserveInteractor(editor);
    Redraw(editor);
    std::cout << "Editing " << SceneFileName << ": " << editor.History.Current().Points.size()
              << " control points" << std::endl;
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
