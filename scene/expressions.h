// The expressions of a scene and their timeline: the solve stage of a scene
// with "Expression" or "Key" lines.
#ifndef expressions_h
#define expressions_h

#include "timeline.h"

#include <cstdint>
#include <string>
#include <vector>

class vtkDatReader;
class vtkExpressionTransform;

struct ExpressionRun
{
  vtkExpressionTransform* Transform; // every expression, fitted; weights of the frame shown
  std::vector<std::string> Names;    // in the transform's order, "default" first when present
  Timeline Keys;
};

// True when the scene has "Expression" or "Key" lines; without them the run
// is the single expression of the scene's own control points, as always.
bool HasExpressions(vtkDatReader* reader);

// Makes the expressions: "default" from the scene's own control-point lines
// (when it has any), then one for each "Expression NAME FILE" (control-point
// pairs) or "Expression NAME SOURCES TARGETS" line (expression_files.h),
// files relative to the scene's folder. Fits them, sharing one factorisation
// among expressions with the same sources, and prints
// "Solving time: <t> sec. " and "Factorisations: <f> for <k> expressions.".
// Reads the timeline. Throws program_error naming the line or the
// expression when a line, a file or a fit fails; nothing is left allocated
// then.
ExpressionRun* SolveExpressions(vtkDatReader* reader);

// Says on standard error that the fit was refined, with how far the
// single-precision fit and the refined one miss the control points, each
// relative to the largest control-point move, and how far the
// single-precision affine part could be off (fit_accuracy::PolynomialLoss).
void ReportFitRefinement(double before, double after, double polynomialLoss);

// Gives the transform the weights of frame (and marks it modified).
void ShowFrameWeights(ExpressionRun& run, int64_t frame);

// Releases the transform and the run.
void ReleaseExpressions(ExpressionRun* run);

#endif
