// NewMeshReader on the broken meshes a user can be handed: the sizes a file
// declares are checked against the file (mesh_precheck.h) and the toolkit's
// reader runs in a child process (isolated_mesh_read.h), so that every file
// below ends in a reason instead of a crash, a runaway or a wrong mesh.
#include "isolated_mesh_read.h"
#include "mesh_reader.h"
#include "scene_file.h"

#include <vtkAlgorithm.h>
#include <vtkDataArray.h>
#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataAlgorithm.h>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{
const std::string Legacy = "# vtk DataFile Version 3.0\nmesh\nASCII\nDATASET POLYDATA\n";
const std::string Triangle = "POINTS 3 float\n0 0 0 1 0 0 0 1 0\n";
const std::string ObjTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
const std::string PlyAscii = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                             "property float y\nproperty float z\nelement face 1\n"
                             "property list uchar int vertex_indices\nend_header\n";

std::string LittleEndian(std::uint32_t value)
{
  std::string bytes(4, '\0');
  for (int k = 0; k < 4; ++k)
  {
    bytes[k] = static_cast<char>((value >> (8 * k)) & 0xff);
  }
  return bytes;
}

std::string BinaryStl(std::uint32_t declared, int present)
{
  return std::string(80, ' ') + LittleEndian(declared) + std::string(50 * present, '\0');
}

std::string BinaryPlyCutInItsVertices()
{
  std::string header = PlyAscii;
  header.replace(header.find("ascii"), 5, "binary_little_endian");
  return header + std::string(4 * 3 * 2, '\0'); // two of the three vertices
}

struct BadMesh
{
  const char* Name;
  std::string Bytes;
  const char* Reason;
};

// A source that misbehaves as a broken reader does, to show that the child
// process takes the blow.
class MisbehavingSource : public vtkPolyDataAlgorithm
{
public:
  static MisbehavingSource* New();
  vtkTypeMacro(MisbehavingSource, vtkPolyDataAlgorithm);
  enum
  {
    Crash,
    Hang,
    Grow
  } Fault = Crash;

protected:
  MisbehavingSource() { this->SetNumberOfInputPorts(0); }
  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override
  {
    if (this->Fault == Crash)
    {
      std::raise(SIGSEGV);
    }
    std::vector<std::vector<char>> hoard;
    for (;;)
    {
      if (this->Fault == Grow)
      {
        hoard.emplace_back(1 << 20, 'x');
      }
    }
  }
};
vtkStandardNewMacro(MisbehavingSource);

std::string ReasonOfIsolatedRead(MisbehavingSource* source, const ReadLimits& limits)
{
  std::string why;
  vtkAlgorithm* copy = ReadInChildProcess(source, limits, why);
  EXPECT_EQ(copy, nullptr);
  if (copy)
  {
    copy->Delete();
  }
  return why;
}
}

TEST(MeshReaderTest, ToolkitExportsOfEveryFormatAreReadWhole)
{
  // The seeds of fuzz_mesh_reader: each is the format's selector byte and a
  // 12-point sphere as the toolkit's writer exported it.
  TemporaryFolder folder;
  int seeds = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(ANIMATION_SOURCE_DIR "/fuzz/corpus/fuzz_mesh_reader"))
  {
    const std::string seed = ReadWholeFile(entry.path().string());
    const char* const extensions[] = { ".vtk", ".ply", ".obj", ".stl", ".gltf" };
    if (seed[0] % 5 == 4)
    {
      continue; // a glTF seed of one triangle, below
    }
    const std::string path =
      folder.Write(entry.path().filename().string() + extensions[seed[0] % 5], seed.substr(1));
    std::string why;
    vtkAlgorithm* reader = NewMeshReader(path, why);
    ASSERT_NE(reader, nullptr) << path << ": " << why;
    vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
    // STL stores every triangle's corners, which its reader merges again.
    EXPECT_EQ(mesh->GetNumberOfPoints(), 12) << path;
    EXPECT_EQ(mesh->GetNumberOfPolys(), 20) << path;
    reader->Delete();
    ++seeds;
  }
  EXPECT_EQ(seeds, 7);
}

TEST(MeshReaderTest, GltfSeedsReadTheirDataUriAndRefuseUrisThatLeaveTheFolder)
{
  TemporaryFolder folder;
  const std::string corpus = ANIMATION_SOURCE_DIR "/fuzz/corpus/fuzz_mesh_reader/";
  std::string why;
  const std::string inline_ =
    folder.Write("inline.gltf", ReadWholeFile(corpus + "gltf-data-uri").substr(1));
  vtkAlgorithm* reader = NewMeshReader(inline_, why);
  ASSERT_NE(reader, nullptr) << why;
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  EXPECT_EQ(mesh->GetNumberOfPoints(), 3);
  EXPECT_EQ(mesh->GetNumberOfPolys(), 1);
  reader->Delete();

  const std::string outside =
    folder.Write("outside.gltf", ReadWholeFile(corpus + "gltf-external-uris").substr(1));
  EXPECT_EQ(NewMeshReader(outside, why), nullptr);
  EXPECT_EQ(why, "its buffer uri \"../../../../../../etc/passwd\" leaves the folder of " + outside);
}

TEST(MeshReaderTest, BrokenFilesEndInAReasonNamingTheFault)
{
  const BadMesh meshes[] = {
    { "missing-normal.obj",
      ObjTriangle + "vn 0 0 1\nf 1//1 2//1 3//99999\n",
      "names normal 99999, but the file has 1" },
    { "huge-index.obj",
      ObjTriangle + "f 1 2 99999999999999999999\n",
      "names vertex 99999999999999999999, which is no index" },
    { "texture-index.obj",
      ObjTriangle + "vt 0 0\nf 1/5 2/5 3/5\n",
      "names texture coordinate 5, but the file has 1" },
    { "cut.obj", ObjTriangle, "it has points but no faces" },
    { "no-end.ply",
      PlyAscii.substr(0, PlyAscii.find("end_header")) + "0 0 0\n",
      "its header has no end_header line" },
    { "cut-binary.ply", BinaryPlyCutInItsVertices(), "it ends within its 3 vertex elements" },
    { "index.ply",
      PlyAscii + "0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n",
      "face 0 names vertex 7, but there are 3 vertices" },
    { "list-255.ply",
      PlyAscii + "0 0 0\n1 0 0\n0 1 0\n255 0 1 2\n",
      "claims 255 values, beyond the file's end" },
    { "missing-vertex.ply", PlyAscii + "0 0 0\n1 0 0\n3 0 1 2\n", "a line is missing" },
    { "two-billion.ply",
      "ply\nformat ascii 1.0\nelement vertex 2000000000\nproperty float x\nend_header\n0\n",
      "it declares 2000000000 vertex elements, more than" },
    { "huge-cell.vtk",
      Legacy + Triangle + "POLYGONS 1 4\n2000000000 0 1 2\n",
      "claims 2000000000 points, beyond the section's 4 entries" },
    { "offset-beyond.vtk",
      "# vtk DataFile Version 5.1\nmesh\nASCII\nDATASET POLYDATA\n" + Triangle +
        "POLYGONS 2 3\nOFFSETS vtktypeint64\n0 7\nCONNECTIVITY vtktypeint64\n0 1 2\n",
      "its POLYGONS hold an offset 7 outside 0 to 3 or out of order" },
    { "connectivity-cut.vtk",
      "# vtk DataFile Version 5.1\nmesh\nASCII\nDATASET POLYDATA\n" + Triangle +
        "POLYGONS 2 3\nOFFSETS vtktypeint64\n0 3\nCONNECTIVITY vtktypeint64\n0 1\n",
      "its POLYGONS end before their point ids" },
    { "negative-points.vtk", Legacy + "POINTS -1 float\n", "it declares -1 points" },
    { "negative-polygons.vtk",
      Legacy + Triangle + "POLYGONS 311 -930\n",
      "POLYGONS line declares 311 -930: counts cannot be negative" },
    { "two-billion-points.vtk",
      "# vtk DataFile Version 3.0\nmesh\nBINARY\nDATASET POLYDATA\nPOINTS 2000000000 float\n" +
        std::string(36, '\0'),
      "it declares 2000000000 points, more than its 36 remaining bytes can hold" },
    { "two-billion-polygons.vtk",
      Legacy + Triangle + "POLYGONS 2000000000 8000000000\n3 0 1 2\n",
      "it declares 2000000000 POLYGONS cells, more than" },
    { "half.stl",
      BinaryStl(2, 1),
      "its header announces 2 triangles, which take 184 bytes, but the file has 134" },
    { "hundred-million.stl", BinaryStl(100000000, 1), "announces 100000000 triangles" },
  };
  TemporaryFolder folder;
  for (const BadMesh& mesh : meshes)
  {
    std::string why;
    vtkAlgorithm* reader = NewMeshReader(folder.Write(mesh.Name, mesh.Bytes), why);
    EXPECT_EQ(reader, nullptr) << mesh.Name;
    EXPECT_NE(why.find(mesh.Reason), std::string::npos) << mesh.Name << ": " << why;
    if (reader)
    {
      reader->Delete();
    }
  }
}

TEST(MeshReaderTest, NormalsThatAreNotFiniteAreLeftOut)
{
  // A binary legacy file, big-endian, whose first normal is NaN: written out
  // as text, the deformed mesh would hold "nan", which its reader refuses.
  const float coordinates[] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  const float normals[] = { std::nanf(""), 0, 1, 0, 0, 1, 0, 0, 1 };
  const std::int32_t polygon[] = { 3, 0, 1, 2 };
  auto bigEndian = [](const void* data, std::size_t count)
  {
    std::string bytes(static_cast<const char*>(data), 4 * count);
    for (std::size_t k = 0; k < bytes.size(); k += 4)
    {
      std::swap(bytes[k], bytes[k + 3]);
      std::swap(bytes[k + 1], bytes[k + 2]);
    }
    return bytes;
  };
  TemporaryFolder folder;
  const std::string file =
    folder.Write("nan-normals.vtk",
                 "# vtk DataFile Version 3.0\nmesh\nBINARY\nDATASET POLYDATA\nPOINTS 3 float\n" +
                   bigEndian(coordinates, 9) + "\nPOLYGONS 1 4\n" + bigEndian(polygon, 4) +
                   "\nPOINT_DATA 3\nNORMALS Normals float\n" + bigEndian(normals, 9) + "\n");
  std::string why;
  vtkAlgorithm* reader = NewMeshReader(file, why);
  ASSERT_NE(reader, nullptr) << why;
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetNumberOfPoints(), 3);
  EXPECT_EQ(mesh->GetNumberOfPolys(), 1);
  EXPECT_EQ(mesh->GetPointData()->GetNormals(), nullptr);
  EXPECT_EQ(mesh->GetPointData()->GetNumberOfArrays(), 0);
  reader->Delete();
}

TEST(MeshReaderTest, PlyTextureCoordinatesNamedSAndTAreKept)
{
  // Binary, so that the renamed header must leave the data after it exactly
  // where they were: x y z s t a vertex, then one triangle.
  const float vertices[] = { 0, 0, 0, 0.25f, 0.5f, 1, 0, 0, 0.5f, 0, 0, 1, 0, 0.75f, 1 };
  std::string data(reinterpret_cast<const char*>(vertices), sizeof(vertices));
  data += std::string(1, '\3') + LittleEndian(0) + LittleEndian(1) + LittleEndian(2);
  std::string header = PlyAscii;
  header.replace(header.find("ascii"), 5, "binary_little_endian");
  header.replace(header.find("element face"), 0, "property float s\nproperty float t\n");
  TemporaryFolder folder;
  std::string why;
  vtkAlgorithm* reader = NewMeshReader(folder.Write("st.ply", header + data), why);
  ASSERT_NE(reader, nullptr) << why;
  vtkPolyData* mesh = vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0));
  vtkDataArray* tcoords = mesh->GetPointData()->GetTCoords();
  ASSERT_NE(tcoords, nullptr);
  ASSERT_EQ(tcoords->GetNumberOfTuples(), 3);
  const double expected[3][2] = { { 0.25, 0.5 }, { 0.5, 0 }, { 0.75, 1 } };
  for (int i = 0; i < 3; ++i)
  {
    EXPECT_EQ(tcoords->GetComponent(i, 0), expected[i][0]);
    EXPECT_EQ(tcoords->GetComponent(i, 1), expected[i][1]);
  }
  EXPECT_EQ(mesh->GetPoint(2)[1], 1.0);
  reader->Delete();
}

TEST(MeshReaderTest, ReaderThatCrashesHangsOrGrowsEndsInAReason)
{
  vtkNew<MisbehavingSource> source;
  ReadLimits limits;
  limits.SecondsLimit = 1;
  limits.MemoryLimitBytes = 64LL << 20;
  EXPECT_EQ(ReasonOfIsolatedRead(source, limits),
            "the toolkit's reader crashed on it (Segmentation fault)");
  source->Fault = MisbehavingSource::Hang;
  EXPECT_EQ(ReasonOfIsolatedRead(source, limits), "reading it took longer than 1 s");
  source->Fault = MisbehavingSource::Grow;
  limits.SecondsLimit = 20;
  const std::string why = ReasonOfIsolatedRead(source, limits);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(why, "reading it needs more than 64 MiB of memory");
#endif
}
