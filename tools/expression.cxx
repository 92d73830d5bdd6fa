// expression - displacement field of the demo expression and the placement
// of control points on the face mesh.
//
// Placement is a greedy Poisson-disk selection over mesh vertices: a vertex
// is accepted when no accepted point lies closer than the spacing. Accepted
// points live in a hash grid of cells as wide as the largest spacing, so each
// test looks only at the 27 cells around the vertex. A greedy selection is
// maximal: every rejected vertex lies within the spacing of an accepted point,
// which is what bounds the distance from any vertex to its nearest control
// point.

#include "expression.h"

#include "head_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <unordered_map>

namespace demo
{

const double kMaxDisplacement = 0.17;
const double kStillThreshold = 0.003;
const double kAnchorSpacing = 0.3;

namespace
{

const unsigned kPlacementSeed = 20061209u;
const double kFirstMovingSpacing = 0.09;
const double kSmallestSpacing = 0.05;
const int kFewestMoving = 50;
const int kMostMoving = 300;

// A bump of the field: displacement Shift (head units) at Centre, fading as
// (1 - (r/Radius)^2)^3 to zero at distance Radius. Mirror bumps are applied on
// both sides of the face, with the x components mirrored.
struct Bump
{
  double Centre[3];
  double Radius;
  double Shift[3];
  bool Mirror;
  FacePart Part;
};

const Bump kBumps[] = {
  { { 0.3, 0.72, 0.25 }, 0.32, { 0.0, 0.0, 0.085 }, true, FacePart::Brows },
  { { 0.12, 0.76, 0.22 }, 0.2, { 0.0, 0.0, 0.04 }, true, FacePart::Brows },
  { { 0.38, 0.6, -0.3 }, 0.3, { 0.02, 0.02, 0.065 }, true, FacePart::Cheeks },
  { { 0.22, 0.74, -0.705 }, 0.28, { 0.05, -0.05, 0.12 }, true, FacePart::Mouth },
  { { 0.0, 0.86, -0.64 }, 0.2, { 0.0, 0.0, 0.02 }, false, FacePart::Mouth },
};

// The jaw turns by kJawAngle (radians) about the x axis through kJawHinge,
// bringing the chin down and back.
const double kJawHinge[3] = { 0.0, -0.05, -0.2 };
const double kJawAngle = 0.09;

// Landmarks (head units) whose nearest vertices are taken first.
const double kLandmarks[][3] = {
  { 0.22, 0.8, -0.705 }, { -0.22, 0.8, -0.705 }, { 0.0, 0.9, -0.64 },  { 0.0, 0.88, -0.78 },
  { 0.0, 0.78, -0.97 },  { 0.15, 0.8, 0.22 },    { -0.15, 0.8, 0.22 }, { 0.32, 0.78, 0.27 },
  { -0.32, 0.78, 0.27 }, { 0.4, 0.7, -0.28 },    { -0.4, 0.7, -0.28 },
};

double smoothstep(double e0, double e1, double x)
{
  double t = std::min(1.0, std::max(0.0, (x - e0) / (e1 - e0)));
  return t * t * (3.0 - 2.0 * t);
}

double distance2(const double a[3], const double b[3])
{
  double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return dx * dx + dy * dy + dz * dz;
}

// Hash grid of accepted points (indices into the caller's list).
class PointGrid
{
public:
  explicit PointGrid(double cell)
    : Cell(cell)
  {
  }

  void Insert(const double p[3], int id) { this->Cells[this->Key(p, 0, 0, 0)].push_back(id); }

  // True when test(id) holds for some point in the 27 cells around p.
  template<class Test>
  bool Any(const double p[3], Test test) const
  {
    for (int dx = -1; dx <= 1; ++dx)
    {
      for (int dy = -1; dy <= 1; ++dy)
      {
        for (int dz = -1; dz <= 1; ++dz)
        {
          auto cell = this->Cells.find(this->Key(p, dx, dy, dz));
          if (cell == this->Cells.end())
          {
            continue;
          }
          for (int id : cell->second)
          {
            if (test(id))
            {
              return true;
            }
          }
        }
      }
    }
    return false;
  }

private:
  std::int64_t Key(const double p[3], int dx, int dy, int dz) const
  {
    std::int64_t i = static_cast<std::int64_t>(std::floor(p[0] / this->Cell)) + dx + (1 << 20);
    std::int64_t j = static_cast<std::int64_t>(std::floor(p[1] / this->Cell)) + dy + (1 << 20);
    std::int64_t k = static_cast<std::int64_t>(std::floor(p[2] / this->Cell)) + dz + (1 << 20);
    return (i << 42) | (j << 21) | k;
  }

  double Cell;
  std::unordered_map<std::int64_t, std::vector<int>> Cells;
};

// The vertex ids 0 .. n-1 in the fixed pseudo-random order.
std::vector<vtkIdType> visiting_order(vtkIdType n)
{
  std::vector<vtkIdType> order(n);
  for (vtkIdType i = 0; i < n; ++i)
  {
    order[i] = i;
  }
  std::mt19937 random(kPlacementSeed);
  for (vtkIdType i = n - 1; i > 0; --i)
  {
    vtkIdType j = static_cast<vtkIdType>(random() % static_cast<std::uint32_t>(i + 1));
    std::swap(order[i], order[j]);
  }
  return order;
}

ControlPair make_pair(const double source[3])
{
  ControlPair pair;
  double d[3];
  pair.Part = expression_displacement(source, d);
  for (int i = 0; i < 3; ++i)
  {
    pair.Source[i] = source[i];
    pair.Target[i] = pair.Part == FacePart::Anchor ? source[i] : source[i] + d[i];
  }
  return pair;
}

vtkIdType nearest_vertex(vtkPolyData* face, const double p[3])
{
  vtkIdType best = 0;
  double bestDistance = 1e300;
  for (vtkIdType i = 0; i < face->GetNumberOfPoints(); ++i)
  {
    double q[3];
    face->GetPoint(i, q);
    double d = distance2(q, p);
    if (d < bestDistance)
    {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

// Moving pairs at the given spacing: landmarks first, then the fill.
std::vector<ControlPair> place_moving(vtkPolyData* face,
                                      const std::vector<vtkIdType>& order,
                                      double spacing)
{
  std::vector<ControlPair> moving;
  PointGrid grid(spacing);
  double spacing2 = spacing * spacing;
  auto offer = [&](vtkIdType vertex)
  {
    double p[3];
    face->GetPoint(vertex, p);
    ControlPair pair = make_pair(p);
    if (pair.Part == FacePart::Anchor ||
        grid.Any(p, [&](int id) { return distance2(moving[id].Source, p) < spacing2; }))
    {
      return;
    }
    grid.Insert(p, static_cast<int>(moving.size()));
    moving.push_back(pair);
  };
  const HeadPlacement& head = demo_placement();
  for (const double* landmark : kLandmarks)
  {
    double world[3];
    head.ToWorld(landmark, world);
    offer(nearest_vertex(face, world));
  }
  for (vtkIdType vertex : order)
  {
    offer(vertex);
  }
  return moving;
}

// Orders pairs by part, moving parts in the order of FacePart, anchors last.
bool moving_first(const ControlPair& a, const ControlPair& b)
{
  auto rank = [](FacePart part) { return part == FacePart::Anchor ? 99 : static_cast<int>(part); };
  return rank(a.Part) < rank(b.Part);
}

} // namespace

const char* face_part_name(FacePart part)
{
  switch (part)
  {
    case FacePart::Brows:
      return "eyebrows";
    case FacePart::Cheeks:
      return "cheeks";
    case FacePart::Mouth:
      return "mouth";
    case FacePart::Jaw:
      return "jaw";
    default:
      return "anchors";
  }
}

FacePart expression_displacement(const double world[3], double displacement[3])
{
  const HeadPlacement& head = demo_placement();
  double p[3];
  head.ToLocal(world, p);
  double d[3] = { 0.0, 0.0, 0.0 };
  FacePart part = FacePart::Anchor;
  double strongest = 0.0;
  auto add = [&](const double shift[3], double weight, FacePart from)
  {
    for (int i = 0; i < 3; ++i)
    {
      d[i] += weight * shift[i];
    }
    double size =
      weight * std::sqrt(shift[0] * shift[0] + shift[1] * shift[1] + shift[2] * shift[2]);
    if (size > strongest)
    {
      strongest = size;
      part = from;
    }
  };

  for (const Bump& bump : kBumps)
  {
    for (int side = 0; side < (bump.Mirror ? 2 : 1); ++side)
    {
      double sign = side == 0 ? 1.0 : -1.0;
      double c[3] = { sign * bump.Centre[0], bump.Centre[1], bump.Centre[2] };
      double shift[3] = { sign * bump.Shift[0], bump.Shift[1], bump.Shift[2] };
      double q = distance2(p, c) / (bump.Radius * bump.Radius);
      if (q < 1.0)
      {
        add(shift, (1.0 - q) * (1.0 - q) * (1.0 - q), bump.Part);
      }
    }
  }

  // Jaw: below the mouth line and above the throat, in front of the jaw
  // angles, between them.
  double weight = smoothstep(-0.69, -0.8, p[2]) * smoothstep(-1.7, -1.1, p[2]) *
                  smoothstep(-0.1, 0.35, p[1]) * smoothstep(0.75, 0.45, std::fabs(p[0]));
  if (weight > 0.0)
  {
    double y = p[1] - kJawHinge[1];
    double z = p[2] - kJawHinge[2];
    double c = std::cos(kJawAngle), s = std::sin(kJawAngle);
    double shift[3] = { 0.0, y * c + z * s - y, -y * s + z * c - z };
    add(shift, weight, FacePart::Jaw);
  }

  head.VectorToWorld(d, displacement);
  double size = std::sqrt(displacement[0] * displacement[0] + displacement[1] * displacement[1] +
                          displacement[2] * displacement[2]);
  if (size > kMaxDisplacement)
  {
    for (int i = 0; i < 3; ++i)
    {
      displacement[i] *= kMaxDisplacement / size;
    }
  }
  return size < kStillThreshold ? FacePart::Anchor : part;
}

std::vector<ControlPair> place_expression_controls(vtkPolyData* face, double* movingSpacing)
{
  std::vector<vtkIdType> order = visiting_order(face->GetNumberOfPoints());

  // Widen the spacing until there are at most kMostMoving moving pairs.
  double spacing = kFirstMovingSpacing;
  std::vector<ControlPair> moving = place_moving(face, order, spacing);
  while (static_cast<int>(moving.size()) > kMostMoving)
  {
    spacing *= 1.1;
    moving = place_moving(face, order, spacing);
  }
  while (static_cast<int>(moving.size()) < kFewestMoving && spacing > kSmallestSpacing)
  {
    spacing = std::max(kSmallestSpacing, spacing / 1.1);
    moving = place_moving(face, order, spacing);
  }
  *movingSpacing = spacing;
  std::stable_sort(moving.begin(), moving.end(), moving_first);

  // Anchors where the field vanishes: kAnchorSpacing apart from each other,
  // and at least the moving spacing away from the moving pairs.
  std::vector<ControlPair> all = moving;
  PointGrid grid(std::max(kAnchorSpacing, spacing));
  for (size_t i = 0; i < all.size(); ++i)
  {
    grid.Insert(all[i].Source, static_cast<int>(i));
  }
  double anchor2 = kAnchorSpacing * kAnchorSpacing;
  double moving2 = spacing * spacing;
  for (vtkIdType vertex : order)
  {
    double p[3], d[3];
    face->GetPoint(vertex, p);
    if (expression_displacement(p, d) != FacePart::Anchor)
    {
      continue;
    }
    bool crowded = grid.Any(p,
                            [&](int id)
                            {
                              double limit = all[id].Part == FacePart::Anchor ? anchor2 : moving2;
                              return distance2(all[id].Source, p) < limit;
                            });
    if (!crowded)
    {
      grid.Insert(p, static_cast<int>(all.size()));
      all.push_back(make_pair(p));
    }
  }
  return all;
}

std::vector<ControlPair> place_spread_controls(vtkPolyData* face, int count, double* spacing)
{
  std::vector<vtkIdType> order = visiting_order(face->GetNumberOfPoints());
  // Greedy selection at spacing s, stopped once `count` points are accepted.
  auto select = [&](double s)
  {
    std::vector<vtkIdType> chosen;
    PointGrid grid(s);
    double s2 = s * s;
    std::vector<std::array<double, 3>> positions;
    for (vtkIdType vertex : order)
    {
      double p[3];
      face->GetPoint(vertex, p);
      if (grid.Any(p, [&](int id) { return distance2(positions[id].data(), p) < s2; }))
      {
        continue;
      }
      grid.Insert(p, static_cast<int>(chosen.size()));
      chosen.push_back(vertex);
      positions.push_back({ p[0], p[1], p[2] });
      if (static_cast<int>(chosen.size()) == count)
      {
        break;
      }
    }
    return chosen;
  };

  // Bisection on the spacing: a greedy pass at `high` (the diagonal of the
  // mesh's bounds, which admits a single point) never reaches the count; at
  // `low` it does whenever the mesh can hold that many points.
  double low = 1e-4, high = face->GetLength();
  for (int step = 0; step < 40; ++step)
  {
    double middle = 0.5 * (low + high);
    if (static_cast<int>(select(middle).size()) == count)
    {
      low = middle;
    }
    else
    {
      high = middle;
    }
  }
  std::vector<ControlPair> pairs;
  std::vector<vtkIdType> chosen = select(low);
  if (static_cast<int>(chosen.size()) < count)
  {
    return pairs;
  }
  *spacing = low;
  for (vtkIdType vertex : chosen)
  {
    double p[3];
    face->GetPoint(vertex, p);
    pairs.push_back(make_pair(p));
  }
  std::stable_sort(pairs.begin(), pairs.end(), moving_first);
  return pairs;
}

} // namespace demo
