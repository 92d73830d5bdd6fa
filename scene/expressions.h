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
class vtkLandmarkSplineTransform;

struct ExpressionRun
{
  vtkExpressionTransform* Transform; // every expression, fitted; weights of the frame shown
  std::vector<std::string> Names;    // in the transform's order, "default" first when present
  Timeline Keys;
};

// One "Expression NAME FILE" or "Expression NAME SOURCES TARGETS" line: the
// expression's name and the one or two files it names, relative to the
// scene's folder.
struct ExpressionLine
{
  int Line;
  std::string Name;
  std::vector<std::string> Files;
};

// The scene's Expression lines, in order. Throws program_error naming the
// line when a line has not two or three words, a name is not letters, digits
// and _, or two expressions share a name ("default" is the scene's own
// control points). Reads no file.
std::vector<ExpressionLine> ReadExpressionLines(vtkDatReader* reader);

// The names of the scene's expressions in the run's order: "default" first
// when the scene has control-point lines, then those of the Expression lines.
// Throws as ReadExpressionLines() does.
std::vector<std::string> ExpressionNamesOf(vtkDatReader* reader);

// True when the scene has "Expression" or "Key" lines; without them the run
// is the single expression of the scene's own control points, as always.
bool HasExpressions(vtkDatReader* reader);

// Gives transform the scene's support radius, kernel, polynomial part and
// smoothing.
void ApplySceneFitSettings(vtkLandmarkSplineTransform* transform, vtkDatReader* reader);

// A new expression transform (the caller deletes it) without expressions,
// with the scene's fit settings (ApplySceneFitSettings) and refinement
// threshold.
vtkExpressionTransform* NewExpressionTransform(vtkDatReader* reader);

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
