// Expressions on a timeline, end to end: a scene with three expressions (its
// own control-point lines, a file of six-number lines, a CSV file with a
// header) and three Key lines, run as a user runs it, against fields fitted
// by dense solves in double precision.
#include "dense_solve.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
using Point = std::array<double, 3>;
using Points = std::vector<Point>;

constexpr double Radius = 0.5;

double Distance(const Point& a, const Point& b)
{
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

Point Rounded(const Point& p)
{
  return { static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]) };
}

// The interpolating field of one expression, fitted by a dense solve of the
// bordered system [A P'; P 0] [c; d] = [source - target; 0] per coordinate.
class DenseField
{
public:
  DenseField(const std::vector<ControlPair>& pairs)
  {
    const size_t n = pairs.size();
    for (const auto& pair : pairs)
    {
      this->Sources.push_back(Rounded(pair.Source));
    }
    std::vector<std::vector<double>> bordered(n + 4, std::vector<double>(n + 4, 0.0));
    for (size_t i = 0; i < n; ++i)
    {
      for (size_t j = 0; j < n; ++j)
      {
        bordered[i][j] = Phi(Distance(this->Sources[i], this->Sources[j]));
      }
      const double row[4] = { 1.0, this->Sources[i][0], this->Sources[i][1], this->Sources[i][2] };
      for (int t = 0; t < 4; ++t)
      {
        bordered[i][n + t] = bordered[n + t][i] = row[t];
      }
    }
    for (int a = 0; a < 3; ++a)
    {
      std::vector<double> b(n + 4, 0.0);
      for (size_t i = 0; i < n; ++i)
      {
        b[i] = static_cast<float>(pairs[i].Source[a]) - static_cast<float>(pairs[i].Target[a]);
      }
      this->Coefficients[a] = DenseSolve(bordered, b);
    }
  }

  // s(x); 0 where no source lies within the radius.
  Point At(const Point& x) const
  {
    Point s{ 0.0, 0.0, 0.0 };
    bool near = false;
    const size_t n = this->Sources.size();
    for (size_t i = 0; i < n; ++i)
    {
      const double r = Distance(x, this->Sources[i]);
      if (r <= Radius)
      {
        near = true;
        for (int a = 0; a < 3; ++a)
        {
          s[a] += this->Coefficients[a][i] * Phi(r);
        }
      }
    }
    for (int a = 0; near && a < 3; ++a)
    {
      const auto& c = this->Coefficients[a];
      s[a] += c[n] + c[n + 1] * x[0] + c[n + 2] * x[1] + c[n + 3] * x[2];
    }
    return s;
  }

private:
  static double Phi(double r) { return r < Radius ? (1 - r / Radius) * (1 - r / Radius) : 0.0; }

  Points Sources;
  std::vector<double> Coefficients[3];
};

std::string PairLine(const ControlPair& pair, const char* separator)
{
  char line[200];
  std::snprintf(line,
                sizeof(line),
                "%.6f%s%.6f%s%.6f%s%.6f%s%.6f%s%.6f\n",
                pair.Source[0],
                separator,
                pair.Source[1],
                separator,
                pair.Source[2],
                separator,
                pair.Target[0],
                separator,
                pair.Target[1],
                separator,
                pair.Target[2]);
  return line;
}

// The pairs as the scene file holds them, rounded to its six decimals.
std::vector<ControlPair> AsWritten(const std::vector<ControlPair>& pairs)
{
  std::vector<ControlPair> written;
  for (const auto& pair : pairs)
  {
    ControlPair p;
    std::sscanf(PairLine(pair, " ").c_str(),
                "%lf %lf %lf %lf %lf %lf",
                &p.Source[0],
                &p.Source[1],
                &p.Source[2],
                &p.Target[0],
                &p.Target[1],
                &p.Target[2]);
    written.push_back(p);
  }
  return written;
}

class ExpressionTimeline : public ::testing::Test
{
protected:
  // default: the test scene's own lines. smile: the same sources, the front
  // ones raised by 0.1 (a file of six-number lines). wide: every other
  // source, the front ones moved 0.1 along x (a CSV file with a header).
  void SetUp() override
  {
    const TestScene scene = WriteTestScene(this->Folder.Path(),
                                           "FramesNumber 30\n"
                                           "Expression smile smile.txt\n"
                                           "Expression wide wide.csv\n"
                                           "Key 0 default 0\n"
                                           "Key 4 default 1 smile 0.5\n"
                                           "Key 8 smile 1 wide 0.75\n");
    this->Default = AsWritten(scene.Controls);
    std::string smile = "# source, then target\n";
    std::string wide = "sx,sy,sz,tx,ty,tz\n";
    for (size_t i = 0; i < this->Default.size(); ++i)
    {
      ControlPair pair = this->Default[i];
      pair.Target = pair.Source;
      const bool front = pair.Source[1] < 0.631591 - 0.8;
      pair.Target[2] += front ? 0.1 : 0.0;
      this->Smile.push_back(pair);
      smile += PairLine(pair, " ");
      if (i % 2 == 0)
      {
        pair.Target = pair.Source;
        pair.Target[0] += front ? 0.1 : 0.0;
        this->Wide.push_back(pair);
        wide += PairLine(pair, ",");
      }
    }
    this->Folder.Write("smile.txt", smile);
    this->Folder.Write("wide.csv", wide);
  }

  TemporaryFolder Folder;
  std::vector<ControlPair> Default;
  std::vector<ControlPair> Smile;
  std::vector<ControlPair> Wide;
};

TEST_F(ExpressionTimeline, LastFrameIsTheWeightedSumOfDenseFields)
{
  const ProgramRun run = RunAnimation(this->Folder.Path(), "--batch --export-shapes shapes");
  ASSERT_EQ(run.Status, 0) << run.Err;
  // Frames 0 to the last key frame 8; FramesNumber does not apply.
  EXPECT_NE(run.Out.find("\n9 frames generated in "), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\nFactorisations: 2 for 3 expressions.\n"), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find("FramesNumber and LoopCount do not apply"), std::string::npos) << run.Err;

  // Frame 8: default held at 1 after its last key, smile 1, wide 0.75.
  const DenseField fields[3] = { DenseField(this->Default),
                                 DenseField(this->Smile),
                                 DenseField(this->Wide) };
  const double weights[3] = { 1.0, 1.0, 0.75 };
  const Points rest = ReadMeshPoints(this->Folder.File("woman.vtk"));
  const Points last = ReadMeshPoints(this->Folder.File("animated_shape.vtk"));
  ASSERT_EQ(last.size(), rest.size());
  double largest = 0.0;
  for (size_t i = 0; i < rest.size(); ++i)
  {
    const Point x = Rounded(rest[i]);
    Point expected = x;
    for (int k = 0; k < 3; ++k)
    {
      const Point s = fields[k].At(x);
      for (int a = 0; a < 3; ++a)
      {
        expected[a] -= weights[k] * s[a];
      }
    }
    for (int a = 0; a < 3; ++a)
    {
      ASSERT_NEAR(last[i][a], expected[a], 2e-4) << "point " << i << " axis " << a;
      largest = std::max(largest, std::fabs(expected[a] - x[a]));
    }
  }
  // The expressions do move the face.
  EXPECT_GT(largest, 0.05);

  // Each expression alone at weight 1, in the face's format.
  const char* const names[3] = { "default", "smile", "wide" };
  for (int k = 0; k < 3; ++k)
  {
    const Points shape =
      ReadMeshPoints(this->Folder.File(std::string("shapes/") + names[k] + ".vtk"));
    ASSERT_EQ(shape.size(), rest.size()) << names[k];
    for (size_t i = 0; i < rest.size(); ++i)
    {
      const Point x = Rounded(rest[i]);
      const Point s = fields[k].At(x);
      for (int a = 0; a < 3; ++a)
      {
        ASSERT_NEAR(shape[i][a], x[a] - s[a], 2e-4) << names[k] << " point " << i << " axis " << a;
      }
    }
  }
}

TEST_F(ExpressionTimeline, KeyOfAnUnknownExpressionEndsTheRunNamingTheLine)
{
  const std::string scene = ReadWholeFile(this->Folder.File("woman.ptt"));
  this->Folder.Write("woman.ptt", "Key 2 smile 1 nosuch 1\n" + scene);
  const ProgramRun run = RunAnimation(this->Folder.Path(), "--batch");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("woman.ptt line 1: Key names nosuch, which is not an expression"),
            std::string::npos)
    << run.Err;
}
}
