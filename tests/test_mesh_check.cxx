// ReadCheckedMesh: a legacy polydata file is accepted only as a whole mesh;
// the toolkit's reader alone accepts files that are not.
#include "mesh_check.h"
#include "scene_file.h"

#include <gtest/gtest.h>

#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>

#include <limits>
#include <string>

namespace
{
const std::string Header = "# vtk DataFile Version 3.0\nmesh\nASCII\nDATASET POLYDATA\n";

class MeshCheckTest : public ::testing::Test
{
protected:
  bool Check(const std::string& name, std::string& why)
  {
    this->Reader->SetFileName(this->Folder.File(name).c_str());
    return ReadCheckedMesh(this->Reader, why);
  }

  void WriteMesh(vtkPolyData* mesh, const std::string& name, bool binary)
  {
    auto writer = vtkSmartPointer<vtkPolyDataWriter>::New();
    writer->SetInputData(mesh);
    writer->SetFileName(this->Folder.File(name).c_str());
    if (binary)
    {
      writer->SetFileTypeToBinary();
    }
    writer->Write();
  }

  vtkSmartPointer<vtkPolyData> Sphere()
  {
    auto sphere = vtkSmartPointer<vtkSphereSource>::New();
    sphere->Update();
    return sphere->GetOutput();
  }

  TemporaryFolder Folder;
  vtkSmartPointer<vtkPolyDataReader> Reader = vtkSmartPointer<vtkPolyDataReader>::New();
};
}

TEST_F(MeshCheckTest, WholeMeshIsAcceptedAndWritesBackUnchanged)
{
  this->WriteMesh(this->Sphere(), "sphere.vtk", false);
  std::string why;
  ASSERT_TRUE(this->Check("sphere.vtk", why)) << why;
  EXPECT_EQ(this->Reader->GetOutput()->GetNumberOfPoints(), this->Sphere()->GetNumberOfPoints());
  // The check leaves nothing on the mesh that a writer would add to the file.
  this->WriteMesh(this->Reader->GetOutput(), "again.vtk", false);
  EXPECT_EQ(ReadWholeFile(this->Folder.File("again.vtk")),
            ReadWholeFile(this->Folder.File("sphere.vtk")));
}

TEST_F(MeshCheckTest, MissingFileIsRefused)
{
  std::string why;
  EXPECT_FALSE(this->Check("missing.vtk", why));
  EXPECT_EQ(why, "the file is missing, unreadable or incomplete");
}

TEST_F(MeshCheckTest, FewerPointsThanDeclaredAreRefused)
{
  this->Folder.Write("short.vtk", Header + "POINTS 4 float\n0 0 0 1 0 0 0 1 0\n");
  std::string why;
  EXPECT_FALSE(this->Check("short.vtk", why));
  EXPECT_EQ(why, "the file is missing, unreadable or incomplete");
}

TEST_F(MeshCheckTest, MeshWithoutPointsIsRefused)
{
  this->Folder.Write("empty.vtk", Header + "POINTS 0 float\n");
  std::string why;
  EXPECT_FALSE(this->Check("empty.vtk", why));
  EXPECT_EQ(why, "it has no points");
}

TEST_F(MeshCheckTest, CellNamingAMissingPointIsRefused)
{
  for (const char* cell : { "3 0 1 3", "3 0 -1 2" })
  {
    this->Folder.Write("cell.vtk",
                       Header + "POINTS 3 float\n0 0 0 1 0 0 0 1 0\nPOLYGONS 1 4\n" + cell + "\n");
    std::string why;
    EXPECT_FALSE(this->Check("cell.vtk", why)) << cell;
    EXPECT_EQ(why, "it has a cell that names a point it does not have") << cell;
  }
}

TEST_F(MeshCheckTest, CoordinateThatIsNotFiniteIsRefused)
{
  vtkSmartPointer<vtkPolyData> mesh = this->Sphere();
  mesh->GetPoints()->SetPoint(3, 0, std::numeric_limits<double>::quiet_NaN(), 0);
  this->WriteMesh(mesh, "nan.vtk", true);
  std::string why;
  EXPECT_FALSE(this->Check("nan.vtk", why));
  EXPECT_EQ(why, "it holds a coordinate that is not finite");
}
