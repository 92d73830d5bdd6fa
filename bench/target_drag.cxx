// A target landmark dragged in vtkCompactSplineTransform on the scene of the
// working folder, the face carried with its normals after every move: the
// first move of a landmark (its cardinal field solved and evaluated at every
// point), the following moves of it (a multiply-add a point), a control point
// added (a whole fit and evaluation), a fresh transform fitted and evaluated
// whole, and vtkThinPlateSplineTransform doing the same update of one target.
#include "benchmark.h"

#include "vtkDatReader.h"

#include <vtkCompactSplineTransform.h>
#include <vtkDoubleArray.h>
#include <vtkFloatArray.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSMPTools.h>
#include <vtkThinPlateSplineTransform.h>

namespace
{
// The face as the transform carries it: points and point normals.
struct Face
{
  vtkSmartPointer<vtkPoints> Points;
  vtkDataArray* Normals = nullptr;
  vtkNew<vtkPoints> OutPoints;
  vtkNew<vtkFloatArray> OutNormals;

  // Seconds of one TransformPointsNormalsVectors of the face, the fit or its
  // update included; of the points alone when withNormals is false.
  double Carry(vtkCompactSplineTransform* transform, bool withNormals = true)
  {
    this->OutPoints->SetNumberOfPoints(0);
    this->OutNormals->SetNumberOfComponents(3);
    this->OutNormals->SetNumberOfTuples(0);
    const Clock::time_point start = Clock::now();
    transform->TransformPointsNormalsVectors(this->Points,
                                             this->OutPoints,
                                             withNormals ? this->Normals : nullptr,
                                             withNormals ? this->OutNormals.Get() : nullptr,
                                             nullptr,
                                             nullptr);
    return SecondsSince(start);
  }
};

// Moves target k by a small step, as one event of a drag does.
void Nudge(vtkPoints* targets, vtkIdType k, double step)
{
  double q[3];
  targets->GetPoint(k, q);
  targets->SetPoint(k, q[0] + step, q[1] - 0.5 * step, q[2]);
  targets->Modified();
}

// Copies points in double precision.
vtkSmartPointer<vtkPoints> DoubleCopy(vtkPoints* points)
{
  auto copy = vtkSmartPointer<vtkPoints>::New();
  copy->SetDataTypeToDouble();
  copy->DeepCopy(points);
  return copy;
}
}

int MeasureTargetDragOfScene(const std::string& path, const Options& options)
{
  vtkDatReader* reader = ReadScene();
  const double radius = reader->GetRadius();
  vtkSmartPointer<vtkPoints> sources = DoubleCopy(reader->GetPointArray());
  vtkSmartPointer<vtkPoints> targets = DoubleCopy(reader->GetPointArrayN());
  reader->Delete();
  auto meshReader = vtkSmartPointer<vtkPolyDataReader>::New();
  meshReader->SetFileName("woman.vtk");
  meshReader->Update();
  Face face;
  face.Points = meshReader->GetOutput()->GetPoints();
  face.Normals = meshReader->GetOutput()->GetPointData()->GetNormals();
  if (!face.Points || !face.Normals)
  {
    throw "woman.vtk holds no points with normals";
  }
  const vtkIdType n = sources->GetNumberOfPoints();
  const double step = 0.002 * radius;
  Results results;
  results.Add("drag_controls", static_cast<double>(n));
  results.Add("drag_points", static_cast<double>(face.Points->GetNumberOfPoints()));
  results.Add("threads", vtkSMPTools::GetEstimatedNumberOfThreads());

  vtkNew<vtkCompactSplineTransform> transform;
  transform->SetSupportRadius(radius);
  transform->SetSourceLandmarks(sources);
  transform->SetTargetLandmarks(targets);
  results.Add("drag_initial", face.Carry(transform));

  // The first move of each of a few landmarks, then the following moves of the last of them.
  const int dragged = std::max(3, options.Repeats);
  std::vector<double> first;
  for (int d = 0; d < dragged; ++d)
  {
    const vtkIdType k = (d + 1) * n / (dragged + 1);
    Nudge(targets, k, step);
    first.push_back(face.Carry(transform));
  }
  results.Add("drag_first_move", Median(first));
  const vtkIdType held = dragged * n / (dragged + 1);
  // On a shared machine the processor time of a move, all threads together, is what an idle
  // machine would spread over its cores.
  std::vector<double> processor;
  results.Add("drag_following_move",
              MedianSeconds(10 * options.Repeats,
                            [&]
                            {
                              Nudge(targets, held, step);
                              const double before = ProcessorSeconds();
                              const double seconds = face.Carry(transform);
                              processor.push_back(ProcessorSeconds() - before);
                              return seconds;
                            }));
  results.Add("drag_following_move_processor", Median(processor));
  results.Add("drag_residual", transform->GetFitResidual());
  // The floor of a move: the face carried through the cache again, nothing refitted.
  results.Add("drag_carry_only",
              MedianSeconds(10 * options.Repeats,
                            [&]
                            {
                              transform->SetBlendFactor(transform->GetBlendFactor() == 1.0 ? 0.999 : 1.0);
                              return face.Carry(transform);
                            }));
  transform->SetBlendFactor(1.0);

  // A control point added at a face point, its target beside it: a whole fit, then the face
  // evaluated whole, with its normals and, another time, its points alone; the fit alone is
  // timed too.
  std::vector<double> added;
  std::vector<double> addedFit;
  std::vector<double> addedPointsOnly;
  for (int r = 0; r < 2 * options.Repeats; ++r)
  {
    double p[3];
    face.Points->GetPoint(
      sources->GetNumberOfPoints() * 37 % face.Points->GetNumberOfPoints(), p);
    sources->InsertNextPoint(p);
    targets->InsertNextPoint(p[0], p[1], p[2] + step);
    sources->Modified();
    targets->Modified();
    const Clock::time_point start = Clock::now();
    transform->IsFitted();
    const double fit = SecondsSince(start);
    const bool withNormals = r % 2 == 0;
    (withNormals ? added : addedPointsOnly).push_back(fit + face.Carry(transform, withNormals));
    addedFit.push_back(fit);
  }
  results.Add("drag_add_control", Median(added));
  results.Add("drag_add_control_points_only", Median(addedPointsOnly));
  results.Add("drag_add_control_fit", Median(addedFit));

  // A fresh transform on the same landmarks, fitted and evaluated whole.
  results.Add("drag_whole",
              MedianSeconds(options.Repeats,
                            [&]
                            {
                              vtkNew<vtkCompactSplineTransform> fresh;
                              fresh->SetSupportRadius(radius);
                              fresh->SetSourceLandmarks(sources);
                              fresh->SetTargetLandmarks(targets);
                              return face.Carry(fresh);
                            }));

  // The thin-plate transform doing the same update: a target moved, then the face's points.
  if (n <= options.TpsMaxControls)
  {
    vtkNew<vtkThinPlateSplineTransform> spline;
    spline->SetBasisToR();
    spline->SetSourceLandmarks(sources);
    spline->SetTargetLandmarks(targets);
    vtkNew<vtkPoints> moved;
    spline->TransformPoints(face.Points, moved);
    Nudge(targets, held, step);
    moved->SetNumberOfPoints(0);
    const Clock::time_point start = Clock::now();
    spline->TransformPoints(face.Points, moved);
    results.Add("drag_thin_plate", SecondsSince(start));
  }
  results.Write(path);
  return 0;
}
