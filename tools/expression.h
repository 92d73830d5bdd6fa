// expression - the demo's facial expression as control-point pairs.
//
// The expression is a smooth displacement field over the head: raised
// eyebrows, lifted cheeks, mouth corners drawn up and back into a smile, and
// a jaw that opens slightly by turning about the axis through the jaw
// hinges. Each part is a bump (1 - (r/rho)^2)^3 of radius rho around a
// landmark, or for the jaw a rotation weighted by smooth ramps, so the field
// is exactly zero away from the moving parts. The largest displacement is
// kept to kMaxDisplacement, well below the support radius 0.5 of the
// program's interpolation, so that the deformed face stays smooth.
//
// The control points are vertices of the face mesh, so their sources lie on
// its surface; each target is the source plus the field there. Two control
// points are never closer than a minimum spacing (close pairs make the
// interpolation system badly conditioned). Points where the field vanishes
// become anchors (target equal to source); they are spread over the whole
// head closer together than the support radius, so that every mesh vertex
// has a control point within reach and the field fades out smoothly instead
// of stopping at the edge of the support.
//
// Vertices are visited in a pseudo-random order drawn from a fixed seed
// (std::mt19937, whose sequence the C++ standard fixes), so the placement is
// the same on every run and every platform.

#ifndef expression_h
#define expression_h

#include <vtkPolyData.h>

#include <vector>

namespace demo
{

// Largest displacement (scene units) of any control point.
extern const double kMaxDisplacement;
// Fields smaller than this (scene units) are treated as zero: anchors.
extern const double kStillThreshold;

// The part of the expression a control point belongs to.
enum class FacePart
{
  Anchor,
  Brows,
  Cheeks,
  Mouth,
  Jaw
};

// Name of a part, for the comments of the scene file.
const char* face_part_name(FacePart part);

struct ControlPair
{
  double Source[3];
  double Target[3];
  FacePart Part;
};

// Displacement (scene units) of the expression at a point of the scene, and
// the part that contributes most to it (Anchor where it is zero).
FacePart expression_displacement(const double world[3], double displacement[3]);

// The demo's control points: first the vertices nearest the landmarks of the
// expression, then the rest of the moving region filled at a spacing chosen
// to give 50 to 300 moving pairs (returned in *movingSpacing), then anchors
// at kAnchorSpacing over the rest of the head. Moving pairs come first in the
// result, grouped by part; anchors follow.
std::vector<ControlPair> place_expression_controls(vtkPolyData* face, double* movingSpacing);

// Exactly `count` control points spread uniformly over the whole face mesh
// at the largest common minimum spacing that allows so many (returned in
// *spacing), each carrying the expression's displacement; for benchmarks.
// Returns an empty list when the mesh cannot hold that many.
std::vector<ControlPair> place_spread_controls(vtkPolyData* face, int count, double* spacing);

// Spacing of the anchors of the demo (scene units).
extern const double kAnchorSpacing;

} // namespace demo

#endif
