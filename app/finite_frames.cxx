#include "finite_frames.h"

#include "expressions.h"
#include "gltf_export.h"
#include "program_error.h"
#include "timeline.h"

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

void CheckFramesStayFinite(vtkPolyData* face, vtkAbstractTransform* transform, vtkDatReader* reader)
{
  vtkPoints* points = face->GetPoints();
  const vtkIdType n = points->GetNumberOfPoints();
  const std::vector<std::string> names = ExpressionNamesOf(reader);
  std::vector<double> weights = LargestKeyWeights(reader, names);
  for (double& weight : weights)
  {
    weight = std::max(weight, 1.0);
  }

  // reach[3 i + a] bounds |coordinate a of point i| over the run; the
  // largest single move that adds to it is kept beside it, with its
  // expression.
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
    const vtkSmartPointer<vtkPolyData> moved =
      ExpressionShape(transform, face, static_cast<int>(k));
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
    if (HasExpressions(reader))
    {
      text << " at weight " << weights[mover[j]];
    }
    text << " moves a coordinate of it by " << largestMove[j]
         << "; give smaller weights or control-point moves, or write \"Polynomial no\" when the "
            "polynomial part carries points far from the control points";
    throw program_error(text.str());
  }
}
