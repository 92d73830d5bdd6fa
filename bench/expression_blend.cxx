// A frame of K blended expressions against the memory floor.
//
// Usage: expression_blend_benchmark [POINTS] [REPEATS]
//
// A sphere of POINTS mesh points (default 1,000,000) with 2000 landmarks on
// it, and K = 1, 4 and 16 expressions of those landmarks (random targets, so
// one factorisation serves them all). For each K: the fit, the first frame
// (which fills the cache), then the median of REPEATS (default 7) later
// frames with every weight nonzero, against the floor of a plain loop that
// reads the points and the K displacement arrays once and writes the output
// once, with no arithmetic (the frame computes out = x - sum_k w_k d_k). One "key value" line per
// figure.
#include "benchmark.h"
#include "vtkExpressionTransform.h"

#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPoints.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <vector>

namespace
{
double Elapsed(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void RandomSpherePoints(vtkPoints* points, vtkIdType count, std::mt19937& random)
{
  std::normal_distribution<double> normal;
  points->SetNumberOfPoints(count);
  for (vtkIdType i = 0; i < count; ++i)
  {
    double p[3] = { normal(random), normal(random), normal(random) };
    vtkMath::Normalize(p);
    points->SetPoint(i, p);
  }
}

// The floor: the points and every displacement array read once, the output
// written once, and no arithmetic: the points are copied to the output and
// the displacements folded into a checksum by exclusive or, block by block,
// loops that the compiler runs on vector registers at the memory's pace.
double FloorSeconds(const std::vector<float>& x,
                    const std::vector<std::vector<float>>& d,
                    std::vector<float>& out,
                    std::uint32_t& checksum)
{
  const Clock::time_point start = Clock::now();
  const size_t n = x.size();
  const size_t block = 3 * 1024;
  for (size_t begin = 0; begin < n; begin += block)
  {
    const size_t end = std::min(n, begin + block);
    std::copy(x.data() + begin, x.data() + end, out.data() + begin);
    for (const auto& array : d)
    {
      const auto* words = reinterpret_cast<const std::uint32_t*>(array.data());
      for (size_t j = begin; j < end; ++j)
      {
        checksum ^= words[j];
      }
    }
  }
  return Elapsed(start);
}
}

int main(int argc, char* argv[])
{
  const vtkIdType count = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 7;
  std::mt19937 random(7);
  vtkNew<vtkPoints> mesh;
  RandomSpherePoints(mesh, count, random);
  vtkNew<vtkPoints> sources;
  RandomSpherePoints(sources, 2000, random);
  std::uniform_real_distribution<double> offset(-0.02, 0.02);

  std::cout << "points " << count << "\n";
  for (int K : { 1, 4, 16 })
  {
    vtkNew<vtkExpressionTransform> transform;
    transform->SetSupportRadius(0.2);
    for (int k = 0; k < K; ++k)
    {
      vtkNew<vtkPoints> targets;
      targets->SetNumberOfPoints(sources->GetNumberOfPoints());
      for (vtkIdType i = 0; i < sources->GetNumberOfPoints(); ++i)
      {
        double p[3];
        sources->GetPoint(i, p);
        targets->SetPoint(i, p[0] + offset(random), p[1] + offset(random), p[2] + offset(random));
      }
      transform->AddExpression(("e" + std::to_string(k)).c_str(), sources, targets);
      transform->SetWeight(k, 1.0 / (k + 1));
    }
    Clock::time_point start = Clock::now();
    transform->Fit();
    std::cout << "fit_seconds_k" << K << " " << Elapsed(start) << "\n";
    vtkNew<vtkPoints> out;
    start = Clock::now();
    transform->TransformPoints(mesh, out);
    std::cout << "first_frame_seconds_k" << K << " " << Elapsed(start) << "\n";

    // The same number of arrays as the transform holds, as plain vectors.
    const float* x = static_cast<const float*>(mesh->GetVoidPointer(0));
    std::vector<float> points(x, x + 3 * count);
    std::vector<std::vector<float>> displacements(K, std::vector<float>(3 * count));
    for (auto& d : displacements)
    {
      for (auto& v : d)
      {
        v = static_cast<float>(offset(random));
      }
    }
    std::vector<float> blended(3 * count);
    std::uint32_t checksum = 0;

    // Frames and floors alternate, so that both see the same load of the machine.
    std::vector<double> frames;
    std::vector<double> floors;
    for (int r = 0; r < repeats; ++r)
    {
      transform->SetWeight(0, transform->GetWeight(0) + 1e-3);
      out->Reset();
      const Clock::time_point begin = Clock::now();
      transform->TransformPoints(mesh, out);
      frames.push_back(Elapsed(begin));
      floors.push_back(FloorSeconds(points, displacements, blended, checksum));
    }
    const double frame = Median(frames);
    const double floor = Median(floors);
    std::cout << "frame_seconds_k" << K << " " << frame << "\n";
    std::cout << "floor_seconds_k" << K << " " << floor << "\n";
    std::cout << "ratio_k" << K << " " << frame / floor << "\n";
    std::cout << "checksum_k" << K << " " << checksum << std::endl;
  }
  return 0;
}
