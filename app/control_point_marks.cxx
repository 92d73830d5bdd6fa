#include "control_point_marks.h"

#include "expressions.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"
#include "vtkShapeTransform.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCommand.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <cstring>

namespace
{
void ShowMarks(ControlPointMarks* marks, bool visible)
{
  marks->Spheres.Actor->SetVisibility(visible);
  marks->Lines.Actor->SetVisibility(visible);
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
  ShowMarks(marks, !marks->Spheres.Actor->GetVisibility());
  FollowTheFace(marks);
  interactor->GetRenderWindow()->Render();
}
}

void AddMarkLayer(MarkLayer& layer, double radius, const double colour[3], vtkRenderer* renderer)
{
  layer.Sphere->SetRadius(radius);
  layer.Sphere->SetThetaResolution(12);
  layer.Sphere->SetPhiResolution(8);
  layer.Glyphs->SetInputData(layer.Centres);
  layer.Glyphs->SetSourceConnection(layer.Sphere->GetOutputPort());
  layer.Glyphs->ScalingOff();
  layer.Glyphs->OrientOff();
  layer.Mapper->SetInputConnection(layer.Glyphs->GetOutputPort());
  layer.Actor->SetMapper(layer.Mapper);
  layer.Actor->GetProperty()->SetColor(colour[0], colour[1], colour[2]);
  renderer->AddViewProp(layer.Actor);
}

void AddLinkLayer(LinkLayer& layer, const double colour[3], vtkRenderer* renderer)
{
  layer.Mapper->SetInputData(layer.Links);
  layer.Actor->SetMapper(layer.Mapper);
  layer.Actor->GetProperty()->SetColor(colour[0], colour[1], colour[2]);
  layer.Actor->GetProperty()->SetLineWidth(2);
  layer.Actor->GetProperty()->LightingOff();
  renderer->AddViewProp(layer.Actor);
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
  if (sources->GetNumberOfPoints() == 0)
  {
    return nullptr;
  }
  auto* marks = new ControlPointMarks{};
  marks->FaceTransform = faceTransform;
  if (!vtkExpressionTransform::SafeDownCast(faceTransform))
  {
    marks->OwnMotion.TakeReference(NewExpressionTransform(reader));
    marks->OwnMotion->AddExpression("default", sources, targets);
  }
  marks->Sources = sources;

  marks->Spheres.Centres->SetPoints(sources);
  AddMarkLayer(marks->Spheres, sphereRadius, SourceColour, renderer);
  JoinPairs(marks->Lines.Links, sources, targets);
  AddLinkLayer(marks->Lines, LinkColour, renderer);
  ShowMarks(marks, visible);

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
  if (!marks || !marks->Spheres.Actor->GetVisibility())
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
  marks->Spheres.Centres->SetPoints(moved);
  // The lines' points: the moved sources, then the targets.
  vtkPoints* ends = marks->Lines.Links->GetPoints();
  ends->InsertPoints(0, moved->GetNumberOfPoints(), 0, moved);
  ends->Modified();
  marks->Lines.Links->Modified();
}

void ReleaseControlPointMarks(ControlPointMarks*& marks)
{
  delete marks;
  marks = nullptr;
}
