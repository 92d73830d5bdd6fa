#include "control_point_marks.h"

#include "expressions.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkShapeTransform.h"

#include <vtkActor.h>
#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCommand.h>
#include <vtkGlyph3D.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataMapper.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSphereSource.h>

#include <cstring>

namespace
{
// Colours that stand out from skin, hair and the default background.
constexpr double SphereColour[3] = { 0.1, 0.85, 0.2 };
constexpr double LineColour[3] = { 1.0, 0.85, 0.1 };

vtkActor* NewActor(vtkPolyDataMapper* mapper, const double colour[3])
{
  vtkActor* actor = vtkActor::New();
  actor->SetMapper(mapper);
  actor->GetProperty()->SetColor(colour[0], colour[1], colour[2]);
  return actor;
}

// The key "c" shows or hides the marks.
void ToggleOnKeyC(vtkObject* caller, unsigned long, void* clientData, void*)
{
  auto* interactor = static_cast<vtkRenderWindowInteractor*>(caller);
  auto* marks = static_cast<ControlPointMarks*>(clientData);
  const char* key = interactor->GetKeySym();
  if (!key || std::strcmp(key, "c") != 0)
  {
    return;
  }
  const bool visible = !marks->Spheres->GetVisibility();
  marks->Spheres->SetVisibility(visible);
  marks->Lines->SetVisibility(visible);
  FollowTheFace(marks);
  interactor->GetRenderWindow()->Render();
}
}

ControlPointMarks* NewControlPointMarks(vtkDatReader* reader,
                                        vtkAbstractTransform* faceTransform,
                                        double sphereRadius,
                                        bool visible,
                                        vtkRenderer* renderer,
                                        vtkRenderWindowInteractor* interactor)
{
  vtkPoints* sources = reader->GetPointArray();
  vtkPoints* targets = reader->GetPointArrayN();
  const vtkIdType n = sources->GetNumberOfPoints();
  if (n == 0)
  {
    return nullptr;
  }
  auto* marks = new ControlPointMarks{};
  marks->FaceTransform = faceTransform;
  if (!vtkExpressionTransform::SafeDownCast(faceTransform))
  {
    marks->OwnMotion = NewExpressionTransform(reader);
    marks->OwnMotion->AddExpression("default", sources, targets);
  }
  marks->Sources = sources;
  marks->Sources->Register(nullptr);

  marks->Centres = vtkPolyData::New();
  vtkNew<vtkPoints> centres;
  centres->DeepCopy(sources);
  marks->Centres->SetPoints(centres);
  vtkNew<vtkSphereSource> sphere;
  sphere->SetRadius(sphereRadius);
  sphere->SetThetaResolution(12);
  sphere->SetPhiResolution(8);
  vtkNew<vtkGlyph3D> glyphs;
  glyphs->SetInputData(marks->Centres);
  glyphs->SetSourceConnection(sphere->GetOutputPort());
  glyphs->ScalingOff();
  glyphs->OrientOff();
  vtkNew<vtkPolyDataMapper> sphereMapper;
  sphereMapper->SetInputConnection(glyphs->GetOutputPort());
  marks->Spheres = NewActor(sphereMapper, SphereColour);

  marks->Links = vtkPolyData::New();
  JoinPairs(marks->Links, sources, targets);
  vtkNew<vtkPolyDataMapper> lineMapper;
  lineMapper->SetInputData(marks->Links);
  marks->Lines = NewActor(lineMapper, LineColour);
  marks->Lines->GetProperty()->SetLineWidth(2);
  marks->Lines->GetProperty()->LightingOff();

  marks->Spheres->SetVisibility(visible);
  marks->Lines->SetVisibility(visible);
  renderer->AddViewProp(marks->Spheres);
  renderer->AddViewProp(marks->Lines);

  vtkNew<vtkCallbackCommand> toggle;
  toggle->SetCallback(ToggleOnKeyC);
  toggle->SetClientData(marks);
  interactor->AddObserver(vtkCommand::KeyPressEvent, toggle);
  return marks;
}

void JoinPairs(vtkPolyData* links, vtkPoints* sources, vtkPoints* targets)
{
  const vtkIdType n = sources->GetNumberOfPoints();
  vtkNew<vtkPoints> ends;
  ends->SetDataType(sources->GetDataType());
  ends->DeepCopy(sources);
  ends->InsertPoints(n, n, 0, targets);
  vtkNew<vtkCellArray> lines;
  for (vtkIdType id = 0; id < n; ++id)
  {
    const vtkIdType line[2] = { id, n + id };
    lines->InsertNextCell(2, line);
  }
  links->SetPoints(ends);
  links->SetLines(lines);
}

void FollowTheFace(ControlPointMarks* marks)
{
  if (!marks || !marks->Spheres->GetVisibility())
  {
    return;
  }
  vtkAbstractTransform* motion = marks->FaceTransform;
  if (marks->OwnMotion)
  {
    // The weight of the scene's own control points is the blend factor.
    auto* shape = vtkShapeTransform::SafeDownCast(marks->FaceTransform);
    marks->OwnMotion->SetWeight(0, shape ? shape->BlendFactor : 0.0);
    motion = marks->OwnMotion;
  }
  vtkNew<vtkPoints> moved;
  motion->TransformPoints(marks->Sources, moved);
  vtkPoints* centres = marks->Centres->GetPoints();
  vtkPoints* ends = marks->Links->GetPoints();
  for (vtkIdType id = 0; id < moved->GetNumberOfPoints(); ++id)
  {
    centres->SetPoint(id, moved->GetPoint(id));
    ends->SetPoint(id, moved->GetPoint(id));
  }
  centres->Modified();
  ends->Modified();
  marks->Centres->Modified();
  marks->Links->Modified();
}

void ReleaseControlPointMarks(ControlPointMarks*& marks)
{
  if (!marks)
  {
    return;
  }
  if (marks->OwnMotion)
  {
    marks->OwnMotion->Delete();
  }
  marks->Sources->UnRegister(nullptr);
  marks->Centres->Delete();
  marks->Links->Delete();
  marks->Spheres->Delete();
  marks->Lines->Delete();
  delete marks;
  marks = nullptr;
}
