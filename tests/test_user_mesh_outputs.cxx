// The user's face mesh comes back as the user's mesh: animated_shape.vtk
// and the --export-shapes files hold the file's own points, as many and in
// the same order, each moved by the fitted field, whatever surface the
// renderer made of the face to draw it. The field is evaluated independently,
// by a dense double-precision fit, at the file's own points. Every mesh
// format is written through the program's writers and read back with the
// toolkit's readers, and a writer that fails ends the run.
//
// The faces are a bumped grid with its points numbered in a shuffled order:
// as a Blender OBJ export (every corner with a texture coordinate and a
// normal of its own, one vertex that no face uses), and as a file of each
// format without normals, which the renderer merges and gives normals split
// at creases.
#include "dense_solve.h"
#include "run_program.h"
#include "scene_file.h"
#include "test_scene.h"

#include <vtkCellArray.h>
#include <vtkDataObjectTreeIterator.h>
#include <vtkGLTFReader.h>
#include <vtkMultiBlockDataSet.h>
#include <vtkNew.h>
#include <vtkOBJWriter.h>
#include <vtkPLYReader.h>
#include <vtkPLYWriter.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkSTLReader.h>
#include <vtkSTLWriter.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataReader.h>
#include <vtkXMLPolyDataWriter.h>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// Points across and down the grid, and the shuffle: the grid's point k is
// the file's point (k * Stride) mod the number of points.
constexpr int Side = 21;
constexpr int Points = Side * Side;
constexpr int Stride = 97;

int FileId(int gridIndex)
{
  return static_cast<int>((static_cast<long>(gridIndex) * Stride) % Points);
}

// The grid, file's order: x and z across [-1, 1], a bump towards -y (the
// fixed camera's side) in the middle.
std::vector<DensePoint> GridPoints()
{
  std::vector<DensePoint> points(Points);
  for (int row = 0; row < Side; ++row)
  {
    for (int column = 0; column < Side; ++column)
    {
      const double x = -1.0 + 2.0 * column / (Side - 1);
      const double z = -1.0 + 2.0 * row / (Side - 1);
      points[FileId(row * Side + column)] = { x, -0.4 * std::exp(-2 * (x * x + z * z)), z };
    }
  }
  return points;
}

// The grid's triangles, two per square, in the file's numbering.
std::vector<std::array<int, 3>> GridTriangles()
{
  std::vector<std::array<int, 3>> triangles;
  for (int row = 0; row + 1 < Side; ++row)
  {
    for (int column = 0; column + 1 < Side; ++column)
    {
      const int a = FileId(row * Side + column), b = FileId(row * Side + column + 1);
      const int c = FileId((row + 1) * Side + column + 1), d = FileId((row + 1) * Side + column);
      triangles.push_back({ a, b, c });
      triangles.push_back({ a, c, d });
    }
  }
  return triangles;
}

// Every seventh point of the file is a control point: those near the middle
// move towards -y and sideways, the others hold the surface.
std::vector<ControlPair> Controls(const std::vector<DensePoint>& points)
{
  std::vector<ControlPair> controls;
  for (size_t id = 0; id < points.size(); id += 7)
  {
    const DensePoint& p = points[id];
    const bool moves = p[0] * p[0] + p[2] * p[2] < 0.3;
    controls.push_back({ p, moves ? DensePoint{ p[0] + 0.05, p[1] - 0.12, p[2] } : p });
  }
  return controls;
}

// The run shows frames 0 to 3 with blend factors 0, 1/4, 2/4 and 3/4.
constexpr double LastBlend = 0.75;
const char* const Settings = "FramesNumber 4\nHair none\nSupportRadius 0.6\n";

std::string SceneFile(const std::string& face, const std::vector<ControlPair>& controls)
{
  std::string text = std::string(Settings) + "Face " + face + "\n";
  for (const ControlPair& pair : controls)
  {
    text += ControlLine(pair.Source, pair.Target);
  }
  return text;
}

// The points moved by blend times the field that takes the sources (as the
// scene file writes them) to their targets, fitted densely.
std::vector<DensePoint> Moved(const std::vector<DensePoint>& points,
                              const std::vector<ControlPair>& controls,
                              double blend)
{
  std::vector<DensePoint> sources, differences;
  for (const ControlPair& pair : controls)
  {
    DensePoint source, target;
    std::sscanf(ControlLine(pair.Source, pair.Target).c_str(),
                "%lf %lf %lf %lf %lf %lf",
                &source[0],
                &source[1],
                &source[2],
                &target[0],
                &target[1],
                &target[2]);
    sources.push_back(source);
    differences.push_back({ source[0] - target[0], source[1] - target[1], source[2] - target[2] });
  }
  DenseSplineDefinition definition;
  definition.Radius = 0.6;
  const DenseSplineField field(definition, sources, differences);
  std::vector<DensePoint> moved;
  for (const DensePoint& x : points)
  {
    const DensePoint s = field(x);
    moved.push_back({ x[0] - blend * s[0], x[1] - blend * s[1], x[2] - blend * s[2] });
  }
  return moved;
}

// Expects written to hold expected, point by point, to single precision.
void ExpectSamePoints(const std::vector<DensePoint>& written,
                      const std::vector<DensePoint>& expected,
                      const std::string& what)
{
  ASSERT_EQ(written.size(), expected.size()) << what;
  double gap = 0;
  size_t worst = 0;
  for (size_t i = 0; i < written.size(); ++i)
  {
    for (int c = 0; c < 3; ++c)
    {
      if (std::fabs(written[i][c] - expected[i][c]) > gap)
      {
        gap = std::fabs(written[i][c] - expected[i][c]);
        worst = i;
      }
    }
  }
  EXPECT_LT(gap, 2e-5) << what << ": point " << worst;
}

// The "v" lines of an OBJ file.
std::vector<DensePoint> ObjVertices(const std::string& path)
{
  std::vector<DensePoint> vertices;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);)
  {
    std::istringstream words(line);
    std::string keyword;
    DensePoint p;
    if (words >> keyword && keyword == "v" && words >> p[0] >> p[1] >> p[2])
    {
      vertices.push_back(p);
    }
  }
  return vertices;
}

// The points of the mesh file at path as the toolkit's reader of type Reader
// gives them.
template<typename Reader>
std::vector<DensePoint> PointsReadBy(const std::string& path)
{
  vtkNew<Reader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  std::vector<DensePoint> points(mesh->GetNumberOfPoints());
  for (vtkIdType id = 0; id < mesh->GetNumberOfPoints(); ++id)
  {
    mesh->GetPoint(id, points[id].data());
  }
  return points;
}

// The points of the first mesh of a glTF file, at rest, in the file's frame.
std::vector<DensePoint> GltfRestPoints(const std::string& path)
{
  vtkNew<vtkGLTFReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  auto leaves =
    vtkSmartPointer<vtkDataObjectTreeIterator>::Take(reader->GetOutput()->NewTreeIterator());
  leaves->InitTraversal();
  std::vector<DensePoint> points;
  if (auto* mesh = vtkPolyData::SafeDownCast(leaves->GetCurrentDataObject()))
  {
    points.resize(mesh->GetNumberOfPoints());
    for (vtkIdType id = 0; id < mesh->GetNumberOfPoints(); ++id)
    {
      mesh->GetPoint(id, points[id].data());
    }
  }
  return points;
}

// The grid as a toolkit mesh, without normals.
vtkSmartPointer<vtkPolyData> GridMesh()
{
  vtkNew<vtkPoints> points;
  for (const DensePoint& p : GridPoints())
  {
    points->InsertNextPoint(p.data());
  }
  vtkNew<vtkCellArray> cells;
  for (const std::array<int, 3>& t : GridTriangles())
  {
    const vtkIdType ids[3] = { t[0], t[1], t[2] };
    cells->InsertNextCell(3, ids);
  }
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  mesh->SetPolys(cells);
  return mesh;
}

template<typename Writer>
void WriteMesh(vtkPolyData* mesh, const std::string& path)
{
  vtkNew<Writer> writer;
  writer->SetInputData(mesh);
  writer->SetFileName(path.c_str());
  ASSERT_EQ(writer->Write(), 1) << path;
}

// A Blender OBJ export of the grid: every corner names its own texture
// coordinate and a normal of its face; the last vertex belongs to no face.
// Returns the vertices.
std::vector<DensePoint> WriteBlenderObj(const std::string& path)
{
  std::vector<DensePoint> points = GridPoints();
  points.push_back({ 0.3, 0.9, 0.2 });
  std::ofstream obj(path);
  obj.precision(9);
  for (const DensePoint& p : points)
  {
    obj << "v " << p[0] << " " << p[1] << " " << p[2] << "\n";
  }
  const std::vector<std::array<int, 3>> triangles = GridTriangles();
  for (size_t t = 0; t < triangles.size(); ++t)
  {
    obj << "vt " << (t % 7) / 7.0 << " " << (t % 5) / 5.0 << "\nvt 0.5 0.5\nvt 0.25 " << t % 2
        << "\nvn " << (t % 3) * 0.1 << " -1 0\n";
  }
  obj << "g face\n";
  for (size_t t = 0; t < triangles.size(); ++t)
  {
    obj << "f";
    for (int c = 0; c < 3; ++c)
    {
      obj << " " << triangles[t][c] + 1 << "/" << 3 * t + c + 1 << "/" << t + 1;
    }
    obj << "\n";
  }
  return points;
}
}

TEST(UserMeshOutputs, ObjFaceWithOwnCornersComesBackWithItsVerticesInOrderMoved)
{
  TemporaryFolder folder;
  const std::vector<DensePoint> points = WriteBlenderObj(folder.File("face.obj"));
  const std::vector<ControlPair> controls = Controls(points);
  folder.Write("woman.ptt", SceneFile("face.obj", controls));

  const ProgramRun run =
    RunAnimation(folder.Path(), "--batch --export-shapes shapes --gltf face.glb");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err.find("ERROR"), std::string::npos) << run.Err;
  ExpectSamePoints(ReadMeshPoints(folder.File("animated_shape.vtk")),
                   Moved(points, controls, LastBlend),
                   "animated_shape.vtk");
  ExpectSamePoints(
    ObjVertices(folder.File("shapes/default.obj")), Moved(points, controls, 1.0), "default.obj");
  EXPECT_EQ(GltfRestPoints(folder.File("face.glb")).size(), points.size());
}

TEST(UserMeshOutputs, PlyFaceWithoutNormalsComesBackInItsOrderMoved)
{
  TemporaryFolder folder;
  WriteMesh<vtkPLYWriter>(GridMesh(), folder.File("face.ply"));
  const std::vector<DensePoint> points = GridPoints();
  const std::vector<ControlPair> controls = Controls(points);
  folder.Write("woman.ptt", SceneFile("face.ply", controls));

  const ProgramRun run = RunAnimation(folder.Path(), "--batch");
  ASSERT_EQ(run.Status, 0) << run.Err;
  ExpectSamePoints(ReadMeshPoints(folder.File("animated_shape.vtk")),
                   Moved(points, controls, LastBlend),
                   "animated_shape.vtk");
}

TEST(UserMeshOutputs, EveryFaceFormatExportsItsShapeThroughItsWriter)
{
  const std::vector<DensePoint> points = GridPoints();
  const std::vector<ControlPair> controls = Controls(points);
  const std::vector<DensePoint> shape = Moved(points, controls, 1.0);
  struct Format
  {
    std::string Extension;
    void (*Write)(vtkPolyData*, const std::string&);
    std::vector<DensePoint> (*ReadBack)(const std::string&);
  };
  const Format formats[] = {
    { ".vtk", WriteMesh<vtkPolyDataWriter>, PointsReadBy<vtkPolyDataReader> },
    { ".vtp", WriteMesh<vtkXMLPolyDataWriter>, PointsReadBy<vtkXMLPolyDataReader> },
    { ".ply", WriteMesh<vtkPLYWriter>, PointsReadBy<vtkPLYReader> },
    { ".obj", WriteMesh<vtkOBJWriter>, ObjVertices },
    { ".stl", WriteMesh<vtkSTLWriter>, PointsReadBy<vtkSTLReader> },
  };
  for (const Format& format : formats)
  {
    SCOPED_TRACE(format.Extension);
    TemporaryFolder folder;
    format.Write(GridMesh(), folder.File("face" + format.Extension));
    folder.Write("woman.ptt", SceneFile("face" + format.Extension, controls));
    const ProgramRun run = RunAnimation(folder.Path(), "--batch --export-shapes shapes");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err.find("ERROR"), std::string::npos) << run.Err;
    const std::vector<DensePoint> written =
      format.ReadBack(folder.File("shapes/default" + format.Extension));
    if (format.Extension == ".stl")
    {
      // STL holds triangles, not points: its reader numbers the corners
      // anew, merged, in the order the triangles name them.
      EXPECT_EQ(written.size(), shape.size());
      continue;
    }
    ExpectSamePoints(written, shape, "default" + format.Extension);
  }
}

TEST(UserMeshOutputs, WriterThatRunsOutOfRoomEndsTheRunNamingItsFile)
{
  // 30 KiB take animated_shape.vtk (about 25 KiB) but not the shape as OBJ
  // (about 36 KiB), whose writer does not see its writes fail.
  TemporaryFolder folder;
  const std::vector<DensePoint> points = WriteBlenderObj(folder.File("face.obj"));
  folder.Write("woman.ptt", SceneFile("face.obj", Controls(points)));
  rlimit earlier;
  getrlimit(RLIMIT_FSIZE, &earlier);
  rlimit limit = earlier;
  limit.rlim_cur = 30 * 1024;
  setrlimit(RLIMIT_FSIZE, &limit);
  const ProgramRun run = RunAnimation(folder.Path(), "--batch --export-shapes shapes");
  setrlimit(RLIMIT_FSIZE, &earlier);

  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_NE(run.Err.find("/shapes/default.obj: Input/output error"), std::string::npos) << run.Err;
  EXPECT_EQ(run.Err.find("ERROR"), std::string::npos) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.File("shapes/default.obj")));
  EXPECT_EQ(ReadMeshPoints(folder.File("animated_shape.vtk")).size(), points.size());
  EXPECT_TRUE(folder.PartialFiles().empty());
}
