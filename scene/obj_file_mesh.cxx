#include "obj_file_mesh.h"

#include "named_file.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkIdList.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace
{
// The file's own numbering: its vertices, and for each face ("f") and
// polyline ("l"), in file order, the 0-based vertices of its corners.
struct ObjNumbering
{
  std::vector<double> Vertices; // 3 per "v" line
  std::vector<std::vector<vtkIdType>> Faces;
  std::vector<std::vector<vtkIdType>> Polylines;
};

// The vertex of a corner word ("3", "3/7", "3//2", "-1/-1/-1"): its first
// number, 1-based or, when negative, counted back from the last vertex read.
vtkIdType CornerVertex(const std::string& word, vtkIdType verticesSoFar)
{
  const long long index = std::strtoll(word.c_str(), nullptr, 10);
  return index < 0 ? verticesSoFar + index : index - 1;
}

// The file is opened by the rule of every file a scene names (named_file.h);
// one that cannot be read again gives no vertices.
ObjNumbering ReadNumbering(const std::string& fileName)
{
  ObjNumbering numbering;
  std::string bytes;
  std::string why;
  ReadNamedFile(fileName, MaximumDataFileBytes, "a mesh", bytes, why);
  std::istringstream file(bytes);
  std::string line;
  while (std::getline(file, line))
  {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "v")
    {
      double p[3] = { 0, 0, 0 };
      words >> p[0] >> p[1] >> p[2];
      numbering.Vertices.insert(numbering.Vertices.end(), p, p + 3);
    }
    else if (keyword == "f" || keyword == "l")
    {
      const auto verticesSoFar = static_cast<vtkIdType>(numbering.Vertices.size() / 3);
      std::vector<vtkIdType> corners;
      for (std::string word; words >> word;)
      {
        corners.push_back(CornerVertex(word, verticesSoFar));
      }
      (keyword == "f" ? numbering.Faces : numbering.Polylines).push_back(corners);
    }
  }
  return numbering;
}

// Appends the cells to cells; out of range ids (which the file's checks
// exclude) would make a cell that names no point, so such a cell is skipped.
void AddCells(const std::vector<std::vector<vtkIdType>>& list,
              vtkIdType points,
              vtkCellArray* cells)
{
  for (const std::vector<vtkIdType>& corners : list)
  {
    const auto isPoint = [points](vtkIdType id) { return id >= 0 && id < points; };
    if (!corners.empty() && std::all_of(corners.begin(), corners.end(), isPoint))
    {
      cells->InsertNextCell(static_cast<vtkIdType>(corners.size()), corners.data());
    }
  }
}

// For each point of read, the file vertex it stands for, or -1: the corners
// of read's cells taken against the file's cells of the same kind, in order.
// Empty when the cells do not match one for one.
std::vector<vtkIdType> VertexOfReadPoint(const std::vector<std::vector<vtkIdType>>& fileCells,
                                         vtkCellArray* readCells,
                                         std::vector<vtkIdType> vertexOf)
{
  if (vertexOf.empty() || readCells->GetNumberOfCells() != static_cast<vtkIdType>(fileCells.size()))
  {
    return {};
  }
  vtkIdType count;
  const vtkIdType* ids;
  size_t cell = 0;
  for (readCells->InitTraversal(); readCells->GetNextCell(count, ids); ++cell)
  {
    if (count != static_cast<vtkIdType>(fileCells[cell].size()))
    {
      return {};
    }
    for (vtkIdType c = 0; c < count; ++c)
    {
      vertexOf[ids[c]] = fileCells[cell][c];
    }
  }
  return vertexOf;
}

// Carries each point array of read over to mesh when every point of read
// standing for one vertex holds the same tuple.
void KeepArraysThatAreOnePerVertex(vtkPolyData* read,
                                   const std::vector<vtkIdType>& vertexOf,
                                   vtkPolyData* mesh)
{
  vtkPointData* from = read->GetPointData();
  const vtkIdType vertices = mesh->GetNumberOfPoints();
  for (int a = 0; a < from->GetNumberOfArrays(); ++a)
  {
    vtkDataArray* array = from->GetArray(a);
    if (!array)
    {
      continue;
    }
    vtkSmartPointer<vtkDataArray> kept;
    kept.TakeReference(array->NewInstance());
    kept->SetName(array->GetName());
    kept->SetNumberOfComponents(array->GetNumberOfComponents());
    kept->SetNumberOfTuples(vertices);
    kept->Fill(0);
    std::vector<vtkIdType> firstPoint(vertices, -1);
    bool onePerVertex = true;
    for (vtkIdType point = 0; point < read->GetNumberOfPoints() && onePerVertex; ++point)
    {
      const vtkIdType vertex = vertexOf[point];
      if (vertex < 0 || vertex >= vertices)
      {
        continue;
      }
      if (firstPoint[vertex] < 0)
      {
        firstPoint[vertex] = point;
        kept->SetTuple(vertex, point, array);
        continue;
      }
      for (int c = 0; c < array->GetNumberOfComponents(); ++c)
      {
        onePerVertex = onePerVertex &&
                       array->GetComponent(point, c) == array->GetComponent(firstPoint[vertex], c);
      }
    }
    if (!onePerVertex)
    {
      continue;
    }
    const int role = from->IsArrayAnAttribute(a);
    if (role >= 0)
    {
      mesh->GetPointData()->SetAttribute(kept, role);
    }
    else
    {
      mesh->GetPointData()->AddArray(kept);
    }
  }
}
}

vtkSmartPointer<vtkPolyData> ObjFileMesh(const std::string& fileName, vtkPolyData* read)
{
  const ObjNumbering numbering = ReadNumbering(fileName);
  const auto vertices = static_cast<vtkIdType>(numbering.Vertices.size() / 3);

  auto points = vtkSmartPointer<vtkPoints>::New();
  points->SetDataTypeToFloat();
  points->SetNumberOfPoints(vertices);
  for (vtkIdType v = 0; v < vertices; ++v)
  {
    points->SetPoint(v, &numbering.Vertices[3 * v]);
  }
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  auto polys = vtkSmartPointer<vtkCellArray>::New();
  AddCells(numbering.Faces, vertices, polys);
  auto lines = vtkSmartPointer<vtkCellArray>::New();
  AddCells(numbering.Polylines, vertices, lines);
  mesh->SetPolys(polys);
  mesh->SetLines(lines);

  const bool cellsMatch = read->GetNumberOfVerts() == 0 && read->GetNumberOfStrips() == 0 &&
                          read->GetNumberOfPolys() == polys->GetNumberOfCells() &&
                          read->GetNumberOfLines() == lines->GetNumberOfCells();
  if (!cellsMatch)
  {
    return mesh;
  }
  mesh->GetCellData()->ShallowCopy(read->GetCellData());
  // The parts of the file's materials (face_parts.h) each span every point
  // the reader made; here they span the file's own vertices.
  mesh->GetFieldData()->DeepCopy(read->GetFieldData());
  if (vtkDataArray* parts = mesh->GetFieldData()->GetArray("PartTable"))
  {
    for (vtkIdType p = 0; p < parts->GetNumberOfTuples(); ++p)
    {
      parts->SetComponent(p, 2, 0);
      parts->SetComponent(p, 3, static_cast<double>(mesh->GetNumberOfPoints()));
    }
  }
  std::vector<vtkIdType> vertexOf(read->GetNumberOfPoints(), -1);
  vertexOf = VertexOfReadPoint(numbering.Faces, read->GetPolys(), vertexOf);
  vertexOf = VertexOfReadPoint(numbering.Polylines, read->GetLines(), vertexOf);
  if (!vertexOf.empty())
  {
    KeepArraysThatAreOnePerVertex(read, vertexOf, mesh);
  }
  return mesh;
}
