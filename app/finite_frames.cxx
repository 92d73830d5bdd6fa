#include "finite_frames.h"

#include "expressions.h"
#include "gltf_export.h"
#include "program_error.h"
#include "scene.h"
#include "solve_stage.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

namespace
{
// The largest magnitude each expression's weight takes in the run, at least
// 1: a timeline's weights are linear between their keys and held outside
// them, so the largest key weight bounds them; the triangle wave's blend
// factor stays below 1.
std::vector<double> LargestWeights(const SplineFit& fit)
{
  if (!fit.Expressions)
  {
    return { 1.0 };
  }
  std::vector<double> largest;
  for (const auto& track : fit.Expressions->Keys.Tracks)
  {
    double weight = 1.0;
    for (const auto& key : track)
    {
      weight = std::max(weight, std::fabs(key.second));
    }
    largest.push_back(weight);
  }
  return largest;
}
}

void CheckFramesStayFinite(Scene& scene, SplineFit& fit)
{
  vtkPolyData* rest = RestFace(scene);
  vtkPoints* points = rest->GetPoints();
  const vtkIdType n = points->GetNumberOfPoints();
  const std::vector<std::string> names = ExpressionNames(fit);
  const std::vector<double> weights = LargestWeights(fit);

  // reach[3 i + a] bounds |coordinate a of point i| over the run; the move
  // of the expression that contributes most to it is kept beside it.
  std::vector<double> reach(3 * n);
  std::vector<double> largestMove(3 * n, 0.0);
  std::vector<int> mover(3 * n, 0);
  for (vtkIdType i = 0; i < n; ++i)
  {
    for (int a = 0; a < 3; ++a)
    {
      reach[3 * i + a] = std::fabs(points->GetPoint(i)[a]);
    }
  }
  for (size_t k = 0; k < names.size(); ++k)
  {
    const vtkSmartPointer<vtkPolyData> moved = ExpressionShape(fit, rest, static_cast<int>(k));
    vtkPoints* shape = moved->GetPoints();
    for (vtkIdType i = 0; i < n; ++i)
    {
      for (int a = 0; a < 3; ++a)
      {
        const double move = weights[k] * std::fabs(shape->GetPoint(i)[a] - points->GetPoint(i)[a]);
        reach[3 * i + a] += move;
        if (!(move <= largestMove[3 * i + a]))
        {
          largestMove[3 * i + a] = move;
          mover[3 * i + a] = static_cast<int>(k);
        }
      }
    }
  }

  const double largestFloat = std::numeric_limits<float>::max();
  for (vtkIdType j = 0; j < 3 * n; ++j)
  {
    if (reach[j] <= largestFloat)
    {
      continue;
    }
    const vtkIdType i = j / 3;
    const double* x = points->GetPoint(i);
    std::ostringstream text;
    text << "Face point " << i << " (" << x[0] << " " << x[1] << " " << x[2]
         << ") would be moved beyond the single-precision range of the deformed mesh ("
         << largestFloat << "): expression " << names[mover[j]];
    if (fit.Expressions)
    {
      text << " at weight " << weights[mover[j]];
    }
    text << " moves a coordinate of it by " << largestMove[j]
         << "; give smaller weights or control-point moves, or write \"Polynomial no\" when the "
            "polynomial part carries points far from the control points";
    throw program_error(text.str());
  }
}
