// Fuzz target: the spline solve for small control-point sets.
//
// The first input byte picks the scale of the cloud against the support
// radius 0.5, from 2^-10 to 2^5, so that the sets range from points that
// nearly coincide to points that never meet. Every following 12 bytes make one
// control point: six signed 16-bit numbers, the source and the target, scaled
// to +-4 times that scale. At most 64 points are taken, so that one run stays
// well under a millisecond.
//
// The points go through a scene file, the reader's preparation and Solve() as
// in the program. Solve() may refuse the set with its text message (no
// points, coincident points, coefficients not finite); when it succeeds,
// every coefficient must be finite. Sets in a plane, on a line or of fewer
// than four points fit a reduced polynomial part.
#include "program_error.h"
#include "scene_file_buffer.h"
#include "vtkDatReader.h"
#include "vtkMatrixSolver.h"

#include <vtkPoints.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
constexpr std::size_t MaximumPoints = 64;
constexpr std::size_t BytesPerPoint = 12;

double Coordinate(const std::uint8_t* bytes, double scale)
{
  const auto value = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
  return value / 32768.0 * 4.0 * scale;
}

std::string SceneText(const std::uint8_t* data, std::size_t size)
{
  const double scale = std::ldexp(1.0, static_cast<int>(data[0] % 16) - 10);
  std::string text;
  char line[160];
  std::size_t points = 0;
  for (std::size_t at = 1; at + BytesPerPoint <= size && points < MaximumPoints;
       at += BytesPerPoint, ++points)
  {
    double v[6];
    for (int k = 0; k < 6; ++k)
    {
      v[k] = Coordinate(data + at + 2 * k, scale);
    }
    std::snprintf(
      line, sizeof(line), "%.9g %.9g %.9g %.9g %.9g %.9g\n", v[0], v[1], v[2], v[3], v[4], v[5]);
    text += line;
  }
  return text;
}

void CheckCoefficients(vtkMatrixSolver* solver, int n)
{
  const float* coefficients[3] = { solver->GetSplineCoeffX(),
                                   solver->GetSplineCoeffY(),
                                   solver->GetSplineCoeffZ() };
  for (const float* array : coefficients)
  {
    for (int i = 0; i < n + 4; ++i)
    {
      if (!std::isfinite(array[i]))
      {
        std::abort();
      }
    }
  }
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  SilenceToolkit();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0)
  {
    return 0;
  }
  const std::string text = SceneText(data, size);
  const char* path =
    WriteSceneFile(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  vtkDatReader* reader = vtkDatReader::New();
  reader->FileName = path;
  reader->SetRadius(0.5);
  vtkMatrixSolver* solver = vtkMatrixSolver::New();
  try
  {
    if (reader->ReadFile() == 0)
    {
      solver->SetRadius(reader->GetRadius());
      solver->SetPointArray(reader->GetPointArray());
      solver->SetList(reader->GetList());
      solver->SetMax(reader->GetMax());
      solver->SetBX(reader->GetBX());
      solver->SetBY(reader->GetBY());
      solver->SetBZ(reader->GetBZ());
      solver->Solve();
      CheckCoefficients(solver, static_cast<int>(reader->GetPointArray()->GetNumberOfPoints()));
    }
  }
  catch (const program_error&)
  {
    // The solver refused the set with its message: not a fault.
  }
  solver->Delete();
  reader->Delete();
  return 0;
}
