// head_model - the procedural head of the demo scene.
//
// The head, its hair and its skin colours are described by smooth functions
// of position, so that the demo meshes can be made here instead of being
// shipped. Each surface is the zero level set of a signed distance function
// (negative inside) built from ellipsoids and tapered capsules joined by a
// smooth minimum; the eye sockets and the mouth line are carved with a smooth
// maximum. The parts follow the classic proportions of a human head: the eyes
// at half the height from chin to crown, the nose ending halfway between the
// eyes and the chin, the mouth a third of the way from the nose to the chin.
//
// The functions work in the head's own frame, "head units": x across the head
// (towards its right), y forward out of the face, z up, the origin at eye level
// on the axis of the skull, and 2.25 units from chin to crown. HeadPlacement
// maps that frame into the scene, where the program's fixed camera looks: the
// head is scaled to about 2.4 scene units from chin to crown, so that the
// support radius 0.5 of the deformation is about a fifth of the head, and it
// is turned to face the camera, a little to one side (ten degrees), so that
// the nose and cheeks show their relief.
//
// Warning: the distance functions are exact only near the surface (the
// ellipsoid and the smooth blends are first-order bounds); they are meant to
// be contoured at zero, not to measure distances far away.

#ifndef head_model_h
#define head_model_h

namespace demo
{

// Position and focal point of the program's fixed camera (scene units); the
// head is placed for this view.
extern const double kCameraPosition[3];
extern const double kCameraFocalPoint[3];

// Similarity transform from head units to scene units:
// world = Centre + Scale * (x * Across + y * Forward + z * Up).
struct HeadPlacement
{
  double Centre[3];
  double Scale;
  double Across[3];
  double Forward[3];
  double Up[3];

  void ToWorld(const double local[3], double world[3]) const;
  void ToLocal(const double world[3], double local[3]) const;
  // Direction vectors: rotated and scaled, not translated.
  void VectorToWorld(const double local[3], double world[3]) const;
};

// The placement of the demo head in front of the fixed camera.
const HeadPlacement& demo_placement();

// Signed distance (head units) of a point in head units to the face mesh
// surface: cranium, forehead, brow, eyes, nose, cheeks, lips, chin, jaw,
// ears and the start of the neck, closed by a flat cut well below the chin.
double head_distance(const double p[3]);

// Signed distance (head units) to the hair: a shell a little outside the
// skull over the top, the sides above the ears and the back, falling to the
// nape; it leaves the forehead, the face and the neck front free. Its inner
// side lies inside the head, hidden by the face mesh.
double hair_distance(const double p[3]);

// Skin colour (red, green, blue in 0..1) painted on the face mesh at a point
// of its surface (head units): skin, lips, the line between them, eyebrows,
// and eyes looking at the camera.
void skin_colour(const double p[3], double rgb[3]);

// Boxes (head units) that enclose the two surfaces with a margin; the
// sampling grids cover these boxes.
extern const double kHeadBox[2][3];
extern const double kHairBox[2][3];

} // namespace demo

#endif
