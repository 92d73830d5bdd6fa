// Storage that cannot be obtained during a fit: both toolkit transforms say so
// through a VTK error and stay the identity, instead of ending the process.
// Every allocation of this process (the module's included) goes through the
// operator new below, which refuses the large ones while a test asks it to.
#include "trace_capture.h"
#include "vtkCompactSplineTransform.h"
#include "vtkExpressionTransform.h"

#include <gtest/gtest.h>

#include <vtkNew.h>
#include <vtkPoints.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace
{
// Allocations of this many bytes or more fail while it is not zero.
std::atomic<std::size_t> RefusedFrom{ 0 };
}

void* operator new(std::size_t size)
{
  const std::size_t limit = RefusedFrom.load();
  if (limit != 0 && size >= limit)
  {
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size ? size : 1))
  {
    return block;
  }
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
  std::free(block);
}

namespace
{
// A grid of 16 x 16 x 16 landmarks 0.05 apart whose middle layer rises; at
// support radius 0.3 each reaches several hundred others, so the envelope
// takes megabytes.
void MakeLandmarks(vtkPoints* source, vtkPoints* target)
{
  for (int i = 0; i < 16; ++i)
  {
    for (int j = 0; j < 16; ++j)
    {
      for (int k = 0; k < 16; ++k)
      {
        const double p[3] = { 0.05 * i, 0.05 * j, 0.05 * k };
        source->InsertNextPoint(p);
        target->InsertNextPoint(p[0], p[1], p[2] + (k == 8 ? 0.01 : 0.0));
      }
    }
  }
}

// A point within reach of the raised layer.
const double Probe[3] = { 0.4, 0.4, 0.4 };

// Refuses allocations of 32 KiB or more while it lives.
struct LargeAllocationsRefused
{
  LargeAllocationsRefused() { RefusedFrom = 32 << 10; }
  ~LargeAllocationsRefused() { RefusedFrom = 0; }
};
}

TEST(AllocationFailure, CompactSplineTransformReportsItAndStaysTheIdentity)
{
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  MakeLandmarks(source, target);
  vtkNew<vtkCompactSplineTransform> warp;
  warp->SetSourceLandmarks(source);
  warp->SetTargetLandmarks(target);
  warp->SetSupportRadius(0.3);
  TraceCapture traces;
  double moved[3];
  {
    LargeAllocationsRefused refused;
    warp->Update();
  }
  warp->TransformPoint(Probe, moved);
  EXPECT_FALSE(warp->IsFitted());
  EXPECT_NE(
    traces.Errors().find("Cannot fit: the storage of the fit of 4096 landmarks could not be "
                         "obtained"),
    std::string::npos)
    << traces.Errors();
  EXPECT_EQ(moved[2], 0.4);

  // With the storage back, the same landmarks fit.
  source->Modified();
  warp->Update();
  warp->TransformPoint(Probe, moved);
  EXPECT_TRUE(warp->IsFitted());
  EXPECT_NEAR(moved[2], 0.41, 1e-4);
}

TEST(AllocationFailure, ExpressionTransformReportsItAndStaysTheIdentity)
{
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  MakeLandmarks(source, target);
  vtkNew<vtkExpressionTransform> blend;
  blend->AddExpression("lift", source, target);
  blend->SetWeight("lift", 1.0);
  blend->SetSupportRadius(0.3);
  TraceCapture traces;
  {
    LargeAllocationsRefused refused;
    blend->Update();
  }
  EXPECT_NE(traces.Errors().find("expression lift: the storage of the fit of 4096 landmarks could "
                                 "not be obtained"),
            std::string::npos)
    << traces.Errors();
  EXPECT_NE(std::string(blend->GetFitError()), "");
  double moved[3];
  blend->TransformPoint(Probe, moved);
  EXPECT_EQ(moved[2], 0.4);
}
