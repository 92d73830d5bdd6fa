// Why landmarks give no fit, or why a fit misses its landmarks by more than it
// may, in the library's own words: formatted once, from the numerics'
// diagnosis, for both toolkit transforms.
#ifndef animation_fit_failure_h
#define animation_fit_failure_h

#include "fit_options.h"
#include "landmark_frame.h"
#include "status.h"

#include <vtkType.h>

#include <string>

class vtkPoints;

namespace animation
{
// Why a support radius gives no fit in single precision beside landmarks of
// frame: a phrase without a leading capital or a final stop, starting "the
// SupportRadius R is beyond single precision ..." or "... is below the
// precision of the landmark coordinates ..."; empty when the radius is
// usable.
std::string DescribeRadiusBeyondPrecision(double supportRadius, const landmark_frame& frame);

// The explanation of a failed fit, a phrase without a leading capital or a
// final stop ("the source landmarks 18 and 19 share the position (0.3, 0.2,
// 0.4)").
//   failed         in: the outcome of make_fit, not ok
//   sources        in: the source landmarks by id, as the caller gave them
//   fitted         3*n entries, in: the same in the frame, as they were fitted
//   frame          in: the frame of the fit
//   kernel         in: the basis function of the fit
//   supportRadius  in: the support radius as the caller gave it
std::string DescribeFailedFit(const core::outcome& failed,
                              vtkPoints* sources,
                              const float* fitted,
                              const landmark_frame& frame,
                              core::basis_kernel kernel,
                              double supportRadius);

// Why storage for a fit of count landmarks is missing, a phrase without a
// leading capital or a final stop ("the storage of the fit of 4096 landmarks
// could not be obtained").
std::string DescribeMissingStorage(vtkIdType count);

// A fit that misses its landmarks by more than this fraction of the largest
// landmark move is reported as an error.
constexpr double largest_fit_residual = 1e-6;

// Why a fit misses its landmarks by more than it may, a phrase without a
// leading capital or a final stop ("the fit of 1000 landmarks misses them by
// up to 2e-05 of the largest landmark move 0.1 after refinement ..."); empty
// when the residual is at most 1e-6, or at most allowed when that is larger.
//   count        in: the landmarks of the fit
//   residual     in: the landmark residual after the refinement, relative to
//                the largest landmark move (core::landmark_residual)
//   before       in: the same of the single-precision solution
//   largestMove  in: the largest landmark move |p - q|
//   allowed      in: a larger residual that the caller accepts, or 0
std::string DescribeInaccurateFit(vtkIdType count,
                                  double residual,
                                  double before,
                                  double largestMove,
                                  double allowed);
}

#endif
