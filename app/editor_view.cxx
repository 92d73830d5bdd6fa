#include "editor_view.h"

#include <vtkCamera.h>
#include <vtkCellLocator.h>
#include <vtkGenericCell.h>
#include <vtkInteractorObserver.h>
#include <vtkMath.h>
#include <vtkPoints.h>
#include <vtkRenderer.h>
#include <vtkTextProperty.h>

#include <cmath>

namespace
{
constexpr double HandleColour[3] = { 0.9, 0.15, 0.1 };
constexpr double SelectedColour[3] = { 1.0, 0.9, 0.1 };

void ShowPoints(MarkLayer& layer, vtkPoints* points)
{
  layer.Centres->SetPoints(points);
  layer.Centres->Modified();
}
}

void AddEditorMarks(EditorMarks& marks, double radius, vtkRenderer* renderer)
{
  AddMarkLayer(marks.Sources, 0.6 * radius, SourceColour, renderer);
  AddMarkLayer(marks.Handles, radius, HandleColour, renderer);
  AddMarkLayer(marks.Selection, 1.4 * radius, SelectedColour, renderer);
  AddLinkLayer(marks.Links, LinkColour, renderer);

  marks.Status->GetTextProperty()->SetFontSize(13);
  marks.Status->GetTextProperty()->SetColor(1, 1, 1);
  marks.Status->GetTextProperty()->SetBackgroundColor(0, 0, 0);
  marks.Status->GetTextProperty()->SetBackgroundOpacity(0.5);
  marks.Status->SetDisplayPosition(6, 6);
  renderer->AddViewProp(marks.Status);
}

void ShowPairs(EditorMarks& marks, vtkPoints* sources, vtkPoints* targets, const double* selected)
{
  ShowPoints(marks.Sources, sources);
  ShowPoints(marks.Handles, targets);

  JoinPairs(marks.Links.Links, sources, targets);

  vtkNew<vtkPoints> selection;
  if (selected)
  {
    selection->InsertNextPoint(selected);
  }
  ShowPoints(marks.Selection, selection);
}

bool PickRestSurface(vtkRenderer* renderer,
                     vtkPolyData* shown,
                     vtkPolyData* rest,
                     vtkCellLocator* locator,
                     int x,
                     int y,
                     double point[3])
{
  locator->SetDataSet(shown);
  locator->BuildLocator();
  double nearPoint[4], farPoint[4];
  vtkInteractorObserver::ComputeDisplayToWorld(renderer, x, y, 0.0, nearPoint);
  vtkInteractorObserver::ComputeDisplayToWorld(renderer, x, y, 1.0, farPoint);
  double hit[3], pcoords[3], t;
  int subId = 0;
  vtkIdType cellId = -1;
  if (!locator->IntersectWithLine(nearPoint, farPoint, 0.0, t, hit, pcoords, subId, cellId))
  {
    return false;
  }
  vtkNew<vtkGenericCell> cell;
  rest->GetCell(cellId, cell);
  std::vector<double> weights(static_cast<std::size_t>(cell->GetNumberOfPoints()) + 1);
  cell->EvaluateLocation(subId, pcoords, point, weights.data());
  return true;
}

int NearestOnScreen(vtkRenderer* renderer,
                    const std::vector<const double*>& points,
                    int x,
                    int y,
                    double pixels,
                    double radius)
{
  double camera[3];
  renderer->GetActiveCamera()->GetPosition(camera);
  int nearest = -1;
  double closest = pixels * pixels;
  for (std::size_t k = 0; k < points.size(); ++k)
  {
    const double* p = points[k];
    double display[3];
    vtkInteractorObserver::ComputeWorldToDisplay(renderer, p[0], p[1], p[2], display);
    const double gap = (display[0] - x) * (display[0] - x) + (display[1] - y) * (display[1] - y);
    if (gap > closest)
    {
      continue;
    }
    // The surface drawn at the point's pixel: hidden behind it, the point
    // cannot be taken.
    const int px = static_cast<int>(std::lround(display[0]));
    const int py = static_cast<int>(std::lround(display[1]));
    double drawn[4];
    vtkInteractorObserver::ComputeDisplayToWorld(renderer, px, py, renderer->GetZ(px, py), drawn);
    if (std::sqrt(vtkMath::Distance2BetweenPoints(camera, drawn)) <
        std::sqrt(vtkMath::Distance2BetweenPoints(camera, p)) - 2 * radius)
    {
      continue;
    }
    closest = gap;
    nearest = static_cast<int>(k);
  }
  return nearest;
}
