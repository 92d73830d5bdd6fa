// The estimate behind the mesh-writing progress line, against the size of the
// file the toolkit's legacy writer really writes.
#include "file_growth_progress.h"
#include "scene_file.h"

#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataNormals.h>
#include <vtkPolyDataWriter.h>
#include <vtkSphereSource.h>

#include <gtest/gtest.h>

#include <filesystem>

TEST(FileGrowthProgressTest, EstimateIsCloseToTheWrittenLegacyFile)
{
  vtkNew<vtkSphereSource> sphere;
  sphere->SetCenter(0.3, -12.5, 7.25);
  sphere->SetThetaResolution(300);
  sphere->SetPhiResolution(200);
  vtkNew<vtkPolyDataNormals> normals;
  normals->SetInputConnection(sphere->GetOutputPort());
  normals->Update();

  TemporaryFolder folder;
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(normals->GetOutput());
  writer->SetFileName(folder.File("sphere.vtk").c_str());
  ASSERT_EQ(writer->Write(), 1);

  const double written = static_cast<double>(std::filesystem::file_size(folder.File("sphere.vtk")));
  const double estimated = static_cast<double>(EstimatedLegacyTextBytes(normals->GetOutput()));
  EXPECT_NEAR(estimated / written, 1.0, 0.1)
    << estimated << " estimated, " << written << " written";
}
