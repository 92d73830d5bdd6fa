// The control-point editor driven by real events under a virtual X server:
// a click adds a point on the face, a drag moves its target, u and r undo
// and redo the drag, s saves and q quits. The saved scene file keeps every
// other line, and the batch run turns it into the face that a dense
// double-precision fit of the saved control points gives.
#include "dense_solve.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <gtest/gtest.h>

#include <vtkCellLocator.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace
{
// Control points on the sides and the top of the test scene's sphere,
// leaving its front, which the camera faces, free to click on.
std::string SceneFile(const std::vector<std::array<double, 3>>& face)
{
  const std::array<double, 3> centre = { 0.145534, 0.631591, 7.68539 };
  std::string text = "# A small scene for the editor\n"
                     "FramesNumber 2\n"
                     "LoopCount 1\n"
                     "WindowSize 400 400\n"
                     "SupportRadius 0.8   # reaches the front\n"
                     "Hair none\n"
                     "# the sides: anchors, then one pair that moves outward\n";
  int written = 0;
  for (const auto& p : face)
  {
    const double side = p[0] - centre[0];
    const double up = p[2] - centre[2];
    if (std::fabs(side) > 0.85 && std::fabs(up) < 0.3 && written < 8)
    {
      std::array<double, 3> target = p;
      if (written == 0)
      {
        target[0] += 0.1 * side;
      }
      text += ControlLine(p, target);
      ++written;
    }
  }
  text += "# the top\n";
  for (const auto& p : face)
  {
    if (p[2] - centre[2] > 0.99)
    {
      text += ControlLine(p, p);
    }
  }
  return text + "# end of the scene\n";
}

struct SavedPair
{
  DensePoint Source;
  DensePoint Target;
};

// The control-point lines of a scene file as the program reads them: six
// numbers in single precision.
std::vector<SavedPair> ReadPairs(const std::string& text)
{
  std::vector<SavedPair> pairs;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
  {
    float v[6];
    if (line[0] != '#' &&
        std::sscanf(line.c_str(), "%f %f %f %f %f %f", v, v + 1, v + 2, v + 3, v + 4, v + 5) == 6)
    {
      pairs.push_back({ { v[0], v[1], v[2] }, { v[3], v[4], v[5] } });
    }
  }
  return pairs;
}

// Runs the editor in folder under a virtual X server of its own, with the
// actions once its window shows; returns its console (standard output and
// error). The editor must end with status 0.
std::string RunEditorSession(const TemporaryFolder& folder, const std::string& actions)
{
  folder.Write("session.sh",
               WindowSession("--edit", "^Editing woman.ptt", "Animation: control points", actions));
  const std::string command =
    "cd '" + folder.Path() + "' && xvfb-run -a -s '-screen 0 1280x1024x24' bash session.sh";
  const int status = std::system(command.c_str());
  const std::string console = ReadWholeFile(folder.File("console.txt"));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << console;
  return console;
}

double DistanceToSurface(vtkPolyData* mesh, const DensePoint& p)
{
  vtkNew<vtkCellLocator> locator;
  locator->SetDataSet(mesh);
  locator->BuildLocator();
  double x[3] = { p[0], p[1], p[2] };
  double closest[3], distance2;
  vtkIdType cell;
  int subId;
  locator->FindClosestPoint(x, closest, cell, subId, distance2);
  return std::sqrt(distance2);
}
}

TEST(ControlPointEditor, SessionOfRealEventsSavesTheFaceThatTheBatchRunDraws)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "");
  const auto face = ReadMeshPoints(folder.File("woman.vtk"));
  const std::string original = SceneFile(face);
  folder.Write("woman.ptt", original);

  // Click the middle of the face, drag the new handle right and up, undo
  // and redo the drag, save; then undo once more and quit unsaved.
  const std::string console =
    RunEditorSession(folder,
                     "xdotool mousemove --window \"$window\" 200 200 click 1\n"
                     "sleep 0.3\n"
                     "xdotool mousedown 1 mousemove_relative 15 -5 sleep 0.2 "
                     "mousemove_relative 15 -5 sleep 0.2 mouseup 1\n"
                     "sleep 0.3\n"
                     "xdotool key --window \"$window\" u r s\n"
                     "sleep 0.5\n"
                     "xdotool key --window \"$window\" u q\n");
  EXPECT_NE(console.find("Saved woman.ptt: "), std::string::npos) << console;
  EXPECT_NE(console.find("woman.ptt was not saved: the editor was closed with unsaved edits\n"),
            std::string::npos)
    << console;

  // The saved file is the original with one more line, after the last pair.
  const std::string saved = ReadWholeFile(folder.File("woman.ptt"));
  const std::string ending = "# end of the scene\n";
  const std::size_t added = original.size() - ending.size();
  ASSERT_GT(saved.size(), original.size());
  EXPECT_EQ(saved.substr(0, added), original.substr(0, added));
  EXPECT_EQ(saved.substr(saved.size() - ending.size()), ending);
  const std::vector<SavedPair> pairs = ReadPairs(saved);
  ASSERT_EQ(pairs.size(), ReadPairs(original).size() + 1);

  // The new point lies on the face; its target went right (+x) and up (+z).
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(folder.File("woman.vtk").c_str());
  reader->Update();
  const SavedPair& newPair = pairs.back();
  EXPECT_LT(DistanceToSurface(reader->GetOutput(), newPair.Source), 1e-5);
  EXPECT_GT(newPair.Target[0] - newPair.Source[0], 0.05);
  EXPECT_GT(newPair.Target[2] - newPair.Source[2], 0.01);

  // The batch run's last frame, blend 0.5, against the dense fit.
  const ProgramRun run = RunAnimation(folder.Path(), "--batch");
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<DensePoint> sources, values;
  for (const SavedPair& pair : pairs)
  {
    sources.push_back(pair.Source);
    values.push_back({ pair.Source[0] - pair.Target[0],
                       pair.Source[1] - pair.Target[1],
                       pair.Source[2] - pair.Target[2] });
  }
  DenseSplineDefinition definition;
  definition.Radius = 0.8;
  const DenseSplineField field(definition, sources, values);
  const auto animated = ReadMeshPoints(folder.File("animated_shape.vtk"));
  ASSERT_EQ(animated.size(), face.size());
  double gap = 0;
  double largest = 0;
  for (std::size_t i = 0; i < face.size(); ++i)
  {
    const DensePoint s = field({ face[i][0], face[i][1], face[i][2] });
    for (int a = 0; a < 3; ++a)
    {
      gap = std::max(gap, std::fabs(animated[i][a] - (face[i][a] - 0.5 * s[a])));
      largest = std::max(largest, std::fabs(0.5 * s[a]));
    }
  }
  EXPECT_LT(gap, 1e-4);
  EXPECT_GT(largest, 0.05);
}

// Tab turns to the expression of a CSV pair file; a click adds its anchor
// there, and s writes that file alone, in its own separators.
TEST(ControlPointEditor, TabEditsAnExpressionAndSavesItsOwnFile)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "");
  const auto face = ReadMeshPoints(folder.File("woman.vtk"));
  const std::string scene = SceneFile(face) + "Expression frown frown.csv\n";
  folder.Write("woman.ptt", scene);
  std::string csv = "sx,sy,sz,tx,ty,tz\n";
  for (const SavedPair& pair : ReadPairs(SceneFile(face)))
  {
    char line[160];
    std::snprintf(line,
                  sizeof(line),
                  "%.6f,%.6f,%.6f,%.6f,%.6f,%.6f\n",
                  pair.Source[0],
                  pair.Source[1],
                  pair.Source[2],
                  pair.Source[0],
                  pair.Source[1],
                  pair.Source[2] - 0.05);
    csv += line;
  }
  folder.Write("frown.csv", csv);

  const std::string console =
    RunEditorSession(folder,
                     "xdotool key --window \"$window\" Tab\n"
                     "sleep 0.3\n"
                     "xdotool mousemove --window \"$window\" 200 200 click 1\n"
                     "sleep 0.3\n"
                     "xdotool key --window \"$window\" s q\n");
  EXPECT_NE(console.find("Saved frown.csv: "), std::string::npos) << console;
  EXPECT_EQ(console.find("Saved woman.ptt"), std::string::npos) << console;
  EXPECT_EQ(console.find("was not saved"), std::string::npos) << console;
  EXPECT_EQ(ReadWholeFile(folder.File("woman.ptt")), scene);

  const std::string saved = ReadWholeFile(folder.File("frown.csv"));
  ASSERT_GT(saved.size(), csv.size());
  EXPECT_EQ(saved.substr(0, csv.size()), csv);
  const std::string added = saved.substr(csv.size());
  float v[6];
  ASSERT_EQ(std::sscanf(added.c_str(), "%f,%f,%f,%f,%f,%f\n", v, v + 1, v + 2, v + 3, v + 4, v + 5),
            6)
    << added;
  EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1);
  EXPECT_EQ(v[0], v[3]);
  EXPECT_EQ(v[2], v[5]);
}

// With Shift held, a drag moves the target along the face's normal at its
// source: on the sphere, straight out from its centre. The point clicked
// faces the camera, so the drag up the screen pulls it out.
TEST(ControlPointEditor, ShiftDragMovesTheTargetAlongTheSurfaceNormal)
{
  TemporaryFolder folder;
  WriteTestScene(folder.Path(), "");
  const auto face = ReadMeshPoints(folder.File("woman.vtk"));
  folder.Write("woman.ptt", SceneFile(face));

  const std::string console =
    RunEditorSession(folder,
                     "xdotool mousemove --window \"$window\" 200 200 click 1\n"
                     "sleep 0.3\n"
                     "xdotool keydown shift mousedown 1 mousemove_relative 0 -10 sleep 0.2 "
                     "mousemove_relative 0 -10 sleep 0.2 mouseup 1 keyup shift\n"
                     "sleep 0.3\n"
                     "xdotool key --window \"$window\" s q\n");
  EXPECT_NE(console.find("Saved woman.ptt: "), std::string::npos) << console;

  const SavedPair added = ReadPairs(ReadWholeFile(folder.File("woman.ptt"))).back();
  const DensePoint centre = { 0.145534, 0.631591, 7.68539 };
  double move[3], out[3];
  for (int a = 0; a < 3; ++a)
  {
    move[a] = added.Target[a] - added.Source[a];
    out[a] = added.Source[a] - centre[a];
  }
  const double length = std::sqrt(move[0] * move[0] + move[1] * move[1] + move[2] * move[2]);
  const double radius = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  ASSERT_GT(length, 0.02);
  // The face's normal at the nearest vertex, within a facet's angle of the
  // radius; dragged up, the point facing the camera comes out of the face.
  const double cosine =
    (move[0] * out[0] + move[1] * out[1] + move[2] * out[2]) / (length * radius);
  EXPECT_GT(cosine, std::cos(10 * 3.14159265358979 / 180)) << cosine;
}
