// head_model - distance functions and skin colours of the demo head.
//
// Building blocks, all in head units (see head_model.h):
//
//   ellipsoid(p, c, r)      k0 (k0 - 1) / k1 with k0 = |(p - c) / r| and
//                           k1 = |(p - c) / r^2|: the distance to the
//                           ellipsoid to first order near its surface;
//   capsule(p, a, b, ra, rb) distance to the segment a-b minus a radius that
//                           runs linearly from ra to rb along it;
//   smin(a, b, k)           polynomial smooth minimum: equal to min(a, b)
//                           when |a - b| >= k, otherwise lowered by at most
//                           k / 4, which rounds the join into a fillet of
//                           width about k;
//   smax(a, b, k)           -smin(-a, -b, k), the smooth intersection.
//
// Paired features (eyes, cheeks, ears ...) are evaluated at (|x|, y, z), which
// makes the head exactly symmetric about its mid-plane.

#include "head_model.h"

#include <algorithm>
#include <cmath>

namespace demo
{

const double kCameraPosition[3] = { 2.11247, -5.16695, 7.36478 };
const double kCameraFocalPoint[3] = { 0.145534, 0.631591, 7.68539 };

const double kHeadBox[2][3] = { { -1.0, -1.3, -1.95 }, { 1.0, 1.25, 1.3 } };
const double kHairBox[2][3] = { { -1.1, -1.45, -1.75 }, { 1.1, 1.2, 1.4 } };

namespace
{

// Head units to scene units: 2.25 units from chin to crown become 2.4.
const double kScale = 2.4 / 2.25;
// The face looks along this horizontal angle (degrees from the scene's +x).
const double kFacingAngle = -80.0;
// The head-frame point that appears at the centre of the view.
const double kViewCentre[3] = { 0.0, 0.0, -0.1 };

double length3(double x, double y, double z)
{
  return std::sqrt(x * x + y * y + z * z);
}

double ellipsoid(const double p[3], const double c[3], const double r[3])
{
  double q[3], w[3];
  for (int i = 0; i < 3; ++i)
  {
    q[i] = (p[i] - c[i]) / r[i];
    w[i] = q[i] / r[i];
  }
  double k0 = length3(q[0], q[1], q[2]);
  double k1 = length3(w[0], w[1], w[2]);
  if (k1 == 0.0)
  {
    return -std::min(r[0], std::min(r[1], r[2]));
  }
  return k0 * (k0 - 1.0) / k1;
}

double sphere(const double p[3], const double c[3], double r)
{
  return length3(p[0] - c[0], p[1] - c[1], p[2] - c[2]) - r;
}

double capsule(const double p[3], const double a[3], const double b[3], double ra, double rb)
{
  double ab[3] = { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
  double ap[3] = { p[0] - a[0], p[1] - a[1], p[2] - a[2] };
  double t = (ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) /
             (ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2]);
  t = std::min(1.0, std::max(0.0, t));
  return length3(ap[0] - t * ab[0], ap[1] - t * ab[1], ap[2] - t * ab[2]) - (ra + t * (rb - ra));
}

double smin(double a, double b, double k)
{
  double h = std::max(k - std::fabs(a - b), 0.0) / k;
  return std::min(a, b) - h * h * k * 0.25;
}

double smax(double a, double b, double k)
{
  return -smin(-a, -b, k);
}

// 0 below e0, 1 above e1, a cubic in between (e0 > e1 reverses the ramp).
double smoothstep(double e0, double e1, double x)
{
  double t = std::min(1.0, std::max(0.0, (x - e0) / (e1 - e0)));
  return t * t * (3.0 - 2.0 * t);
}

void mix(double rgb[3], const double colour[3], double w)
{
  for (int i = 0; i < 3; ++i)
  {
    rgb[i] += w * (colour[i] - rgb[i]);
  }
}

// Landmarks shared by the distance function and the colours. The paired ones
// are given for the side x > 0.
const double kCranium[2][3] = { { 0.0, -0.12, 0.2 }, { 0.72, 0.98, 0.93 } };
const double kForehead[2][3] = { { 0.0, 0.3, 0.4 }, { 0.58, 0.5, 0.5 } };
const double kMidFace[2][3] = { { 0.0, 0.2, -0.2 }, { 0.56, 0.56, 0.5 } };
const double kLowerFace[2][3] = { { 0.0, 0.26, -0.62 }, { 0.36, 0.45, 0.42 } };
const double kMuzzle[2][3] = { { 0.0, 0.52, -0.7 }, { 0.3, 0.3, 0.3 } };
const double kJawAngle[3] = { 0.42, -0.08, -0.55 };
const double kJawFront[3] = { 0.13, 0.55, -1.0 };
const double kChin[2][3] = { { 0.0, 0.65, -0.95 }, { 0.19, 0.17, 0.16 } };
const double kCheekBone[2][3] = { { 0.4, 0.48, -0.1 }, { 0.2, 0.22, 0.14 } };
const double kCheek[2][3] = { { 0.3, 0.52, -0.35 }, { 0.2, 0.2, 0.22 } };
const double kBrowRidge[2][3] = { { 0.0, 0.6, 0.2 }, { 0.56, 0.2, 0.11 } };
const double kEyeSocket[2][3] = { { 0.3, 0.86, 0.04 }, { 0.19, 0.2, 0.12 } };
const double kEyeball[3] = { 0.3, 0.59, 0.0 };
const double kEyeballRadius = 0.135;
// Half-width, upper and lower half-height (radians) of the opening between
// the lids, measured on the eyeball from its forward direction.
const double kEyeOpening[3] = { 0.9, 0.42, 0.3 };
const double kNoseRoot[3] = { 0.0, 0.77, 0.1 };
const double kNoseTip[3] = { 0.0, 0.98, -0.38 };
// Segment inside the nose that joins it to the face along its whole length.
const double kNoseBody[2][3] = { { 0.0, 0.7, 0.05 }, { 0.0, 0.84, -0.42 } };
const double kNoseBase[3] = { 0.0, 0.8, -0.5 };
const double kNostrilWing[3] = { 0.1, 0.85, -0.44 };
const double kUpperLip[2][3] = { { 0.0, 0.8, -0.64 }, { 0.2, 0.075, 0.055 } };
const double kLowerLip[2][3] = { { 0.0, 0.785, -0.765 }, { 0.17, 0.075, 0.06 } };
const double kMouthLine[2][3] = { { 0.0, 0.92, -0.705 }, { 0.23, 0.16, 0.01 } };
const double kEar[2][3] = { { 0.7, -0.12, -0.05 }, { 0.09, 0.19, 0.3 } };
const double kNeckTop[3] = { 0.0, -0.25, -0.3 };
const double kNeckBottom[3] = { 0.0, -0.12, -2.2 };
const double kNeckCut = -1.8;

HeadPlacement make_placement()
{
  HeadPlacement h;
  const double pi = 3.14159265358979323846;
  double a = kFacingAngle * pi / 180.0;
  h.Forward[0] = std::cos(a);
  h.Forward[1] = std::sin(a);
  h.Forward[2] = 0.0;
  h.Up[0] = 0.0;
  h.Up[1] = 0.0;
  h.Up[2] = 1.0;
  // Across = Forward x Up, so that (Across, Forward, Up) is right-handed.
  h.Across[0] = h.Forward[1];
  h.Across[1] = -h.Forward[0];
  h.Across[2] = 0.0;
  h.Scale = kScale;
  double offset[3];
  h.VectorToWorld(kViewCentre, offset);
  for (int i = 0; i < 3; ++i)
  {
    h.Centre[i] = kCameraFocalPoint[i] - offset[i];
  }
  return h;
}

} // namespace

void HeadPlacement::VectorToWorld(const double local[3], double world[3]) const
{
  for (int i = 0; i < 3; ++i)
  {
    world[i] = this->Scale *
               (local[0] * this->Across[i] + local[1] * this->Forward[i] + local[2] * this->Up[i]);
  }
}

void HeadPlacement::ToWorld(const double local[3], double world[3]) const
{
  this->VectorToWorld(local, world);
  for (int i = 0; i < 3; ++i)
  {
    world[i] += this->Centre[i];
  }
}

void HeadPlacement::ToLocal(const double world[3], double local[3]) const
{
  double d[3] = { world[0] - this->Centre[0],
                  world[1] - this->Centre[1],
                  world[2] - this->Centre[2] };
  const double* axes[3] = { this->Across, this->Forward, this->Up };
  for (int j = 0; j < 3; ++j)
  {
    local[j] = (d[0] * axes[j][0] + d[1] * axes[j][1] + d[2] * axes[j][2]) / this->Scale;
  }
}

const HeadPlacement& demo_placement()
{
  static const HeadPlacement placement = make_placement();
  return placement;
}

double head_distance(const double p[3])
{
  const double s[3] = { std::fabs(p[0]), p[1], p[2] };

  // Skull, forehead, the mass of the mid and lower face and the rounded
  // arch of the teeth behind the lips.
  double d =
    smin(ellipsoid(p, kCranium[0], kCranium[1]), ellipsoid(p, kForehead[0], kForehead[1]), 0.2);
  d = smin(d, ellipsoid(p, kMidFace[0], kMidFace[1]), 0.3);
  d = smin(d, ellipsoid(p, kLowerFace[0], kLowerFace[1]), 0.25);
  d = smin(d, ellipsoid(p, kMuzzle[0], kMuzzle[1]), 0.2);

  // Jaw line from the angle of the jaw to the chin, the chin, the cheeks.
  d = smin(d, capsule(s, kJawAngle, kJawFront, 0.08, 0.08), 0.25);
  d = smin(d, ellipsoid(p, kChin[0], kChin[1]), 0.15);
  d = smin(d, ellipsoid(s, kCheekBone[0], kCheekBone[1]), 0.2);
  d = smin(d, ellipsoid(s, kCheek[0], kCheek[1]), 0.25);
  d = smin(d, ellipsoid(p, kBrowRidge[0], kBrowRidge[1]), 0.16);

  // Eye sockets carved under the brow, eyeballs set back into them.
  d = smax(d, -ellipsoid(s, kEyeSocket[0], kEyeSocket[1]), 0.12);
  d = smin(d, sphere(s, kEyeball, kEyeballRadius), 0.05);

  // Nose: bridge, body, tip, the base above the lip and the two wings, blended
  // among themselves first.
  double nose = capsule(p, kNoseRoot, kNoseTip, 0.05, 0.065);
  nose = smin(nose, capsule(p, kNoseBody[0], kNoseBody[1], 0.07, 0.08), 0.05);
  nose = smin(nose, sphere(p, kNoseTip, 0.075), 0.05);
  nose = smin(nose, capsule(p, kNoseTip, kNoseBase, 0.05, 0.035), 0.05);
  nose = smin(nose, sphere(s, kNostrilWing, 0.06), 0.06);
  d = smin(d, nose, 0.08);

  // Lips, parted by a shallow groove along the mouth line.
  double lips =
    smin(ellipsoid(p, kUpperLip[0], kUpperLip[1]), ellipsoid(p, kLowerLip[0], kLowerLip[1]), 0.03);
  d = smin(d, lips, 0.04);
  d = smax(d, -ellipsoid(p, kMouthLine[0], kMouthLine[1]), 0.025);

  // Ears and the neck, closed by a flat cut below the view.
  d = smin(d, ellipsoid(s, kEar[0], kEar[1]), 0.08);
  d = smin(d, capsule(p, kNeckTop, kNeckBottom, 0.5, 0.55), 0.15);
  return smax(d, kNeckCut - p[2], 0.1);
}

double hair_distance(const double p[3])
{
  // Where the hair grows: above a hairline that arches down to the temples,
  // and behind a line that runs down the sides of the face, over the ears,
  // to the jaw. grows is negative there and about the distance to the edge
  // of the region.
  double x2 = p[0] * p[0];
  double top = (0.7 - 0.7 * x2) - p[2];
  double side = p[1] - (0.22 + 0.08 * p[2]);
  double grows = smin(top, side, 0.3);
  // Lower edge: below the jaw at the back, level with it at the sides.
  double bottom = (-1.2 + 0.4 * std::max(0.0, p[1] + 0.3)) - p[2];
  grows = smax(grows, bottom, 0.1);

  // The hair lies on the head; it is thin at the hairline and thickens over
  // a short way into the region.
  double thickness = 0.015 + 0.09 * smoothstep(0.0, 0.4, -grows);
  // A fuller back that falls to the nape.
  const double back[2][3] = { { 0.0, -0.42, -0.45 }, { 0.76, 0.62, 0.95 } };
  double d = smin(head_distance(p) - thickness, ellipsoid(p, back[0], back[1]), 0.3);
  return smax(d, grows, 0.03);
}

void skin_colour(const double p[3], double rgb[3])
{
  const double skin[3] = { 0.93, 0.76, 0.64 };
  const double blush[3] = { 0.93, 0.62, 0.56 };
  const double lip[3] = { 0.76, 0.36, 0.37 };
  const double mouth[3] = { 0.38, 0.12, 0.13 };
  const double brow[3] = { 0.32, 0.21, 0.14 };
  const double white[3] = { 0.93, 0.91, 0.88 };
  const double iris[3] = { 0.27, 0.4, 0.52 };
  const double pupil[3] = { 0.05, 0.05, 0.06 };
  const double lash[3] = { 0.22, 0.14, 0.1 };
  const double s[3] = { std::fabs(p[0]), p[1], p[2] };
  for (int i = 0; i < 3; ++i)
  {
    rgb[i] = skin[i];
  }

  // Cheeks: a soft blush on the round of each cheek.
  double c = length3(s[0] - 0.4, s[1] - 0.6, s[2] + 0.33);
  mix(rgb, blush, 0.45 * smoothstep(0.22, 0.0, c));

  // Lips: wherever the surface lies on the lip ellipsoids, and darker in the
  // groove between them.
  if (p[1] > 0.6)
  {
    double l =
      std::min(ellipsoid(p, kUpperLip[0], kUpperLip[1]), ellipsoid(p, kLowerLip[0], kLowerLip[1]));
    mix(rgb, lip, smoothstep(0.03, 0.005, l));
    double m = std::fabs(p[2] - kMouthLine[0][2]) / 0.03 + std::pow(s[0] / 0.22, 4.0);
    mix(rgb, mouth, smoothstep(1.2, 0.5, m));
  }

  // Eyebrows: an arch over each eye, thick near the nose, thin outside.
  if (p[1] > 0.3)
  {
    double u = (s[0] - 0.08) / 0.4; // 0 at the inner end, 1 at the tail
    double arch = 0.2 + 0.07 * std::sin(3.14159265358979 * std::min(1.0, std::max(0.0, u)) * 0.9);
    double half = 0.028 * (1.0 - 0.55 * std::min(1.0, std::max(0.0, u)));
    double across = smoothstep(-0.08, 0.0, u) * smoothstep(1.08, 1.0, u);
    mix(rgb, brow, 0.9 * across * smoothstep(half * 1.6, half * 0.8, std::fabs(p[2] - arch)));
  }

  // Eyes: an almond-shaped opening between the lids on the front of each
  // eyeball, a dark lash line around it, the white, and iris and pupil on the
  // direction in which the eye looks (towards the camera). Positions on the
  // ball are measured by two angles from its forward direction: a across
  // (positive towards the temple) and b up.
  double e[3] = { s[0] - kEyeball[0], s[1] - kEyeball[1], s[2] - kEyeball[2] };
  double r = length3(e[0], e[1], e[2]);
  if (r < kEyeballRadius + 0.06 && e[1] > 0.0)
  {
    double a = std::atan2(e[0], e[1]);
    double b = std::asin(e[2] / r);
    double w = std::min(1.0, std::fabs(a) / kEyeOpening[0]);
    double bulge = 1.0 - w * w;
    double upper = kEyeOpening[1] * std::pow(bulge, 0.7) + 0.06 * a;
    double lower = -kEyeOpening[2] * bulge + 0.06 * a;
    double inside = std::min(std::min(upper - b, b - lower), kEyeOpening[0] - std::fabs(a));
    double near = smoothstep(kEyeballRadius + 0.06, kEyeballRadius + 0.04, r);
    mix(rgb, lash, near * smoothstep(-0.12, -0.03, inside) * (b > 0.0 ? 1.0 : 0.6));
    double open = near * smoothstep(-0.03, 0.01, inside);
    mix(rgb, white, open);

    // Gaze: from the eye's centre towards the camera, mirrored like e.
    double side = p[0] >= 0.0 ? 1.0 : -1.0;
    double camera[3];
    demo_placement().ToLocal(kCameraPosition, camera);
    double gaze[3] = { side * camera[0] - kEyeball[0],
                       camera[1] - kEyeball[1],
                       camera[2] - kEyeball[2] };
    double g = length3(gaze[0], gaze[1], gaze[2]);
    double cosine = (e[0] * gaze[0] + e[1] * gaze[1] + e[2] * gaze[2]) / (r * g);
    double angle = std::acos(std::min(1.0, std::max(-1.0, cosine)));
    mix(rgb, iris, open * smoothstep(0.5, 0.44, angle));
    mix(rgb, pupil, open * smoothstep(0.2, 0.15, angle));
  }
}

} // namespace demo
