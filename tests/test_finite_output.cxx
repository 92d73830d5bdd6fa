// The last guard of the outputs: every part of a mesh or a glTF scene that
// could carry an infinity or a NaN into a file is found and named.
#include "finite_output.h"
#include "gltf_writer.h"

#include <gtest/gtest.h>

#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace
{
const float Infinity = std::numeric_limits<float>::infinity();
const float NaN = std::numeric_limits<float>::quiet_NaN();

GltfMesh FiniteFace()
{
  GltfPrimitive primitive;
  primitive.Positions = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  primitive.Normals = { 0, 0, 1, 0, 0, 1, 0, 0, 1 };
  primitive.Triangles = { 0, 1, 2 };
  primitive.TargetPositions = { std::vector<float>(9, 0.5f) };
  primitive.TargetNormals = { std::vector<float>(9, 0.0f) };
  GltfMesh face;
  face.Name = "face";
  face.Primitives = { primitive };
  face.TargetNames = { "frown" };
  return face;
}

GltfCamera FiniteCamera()
{
  return GltfCamera{ { 0, 0, 5 }, { 0, 0, 0, 1 }, 0.5, 1.0, 0.1, 100.0 };
}
}

TEST(FiniteOutputTest, EveryPartOfAnOutputIsChecked)
{
  vtkNew<vtkPolyData> mesh;
  vtkNew<vtkPoints> points;
  points->InsertNextPoint(0, 0, 0);
  points->InsertNextPoint(1, 2, 3);
  mesh->SetPoints(points);
  vtkNew<vtkFloatArray> normals;
  normals->SetName("Normals");
  normals->SetNumberOfComponents(3);
  normals->InsertNextTuple3(0, 0, 1);
  normals->InsertNextTuple3(0, 0, 1);
  mesh->GetPointData()->SetNormals(normals);
  EXPECT_EQ(NonFinitePartOf(mesh), "");
  normals->SetComponent(1, 2, NaN);
  EXPECT_EQ(NonFinitePartOf(mesh), "its point array Normals");
  points->SetPoint(1, 1, Infinity, 3);
  EXPECT_EQ(NonFinitePartOf(mesh), "its points");

  const GltfWeights animation{ { 0.0f, 0.04f }, { 0.0f, 1.0f } };
  std::vector<GltfMesh> meshes{ FiniteFace() };
  std::vector<GltfMaterial> materials(1);
  materials[0].Name = "skin";
  const GltfCamera finite = FiniteCamera();
  EXPECT_EQ(NonFinitePartOf(meshes, materials, &finite, animation), "");
  meshes[0].Primitives[0].TargetNormals[0][4] = NaN;
  EXPECT_EQ(NonFinitePartOf(meshes, materials, &finite, animation),
            "the target frown of mesh face");
  meshes[0].Primitives[0].Positions[2] = -Infinity;
  EXPECT_EQ(NonFinitePartOf(meshes, materials, &finite, animation), "the positions of mesh face");
  materials[0].BaseColour[3] = NaN;
  EXPECT_EQ(NonFinitePartOf({ FiniteFace() }, materials, nullptr, animation),
            "the base colour of material skin");
  GltfCamera camera = FiniteCamera();
  camera.ZFar = Infinity;
  EXPECT_EQ(NonFinitePartOf({ FiniteFace() }, {}, &camera, animation), "the camera");
  EXPECT_EQ(NonFinitePartOf({ FiniteFace() }, {}, &finite, { { 0.0f }, { Infinity } }),
            "the animation");

  EXPECT_NO_THROW(RefuseNonFinite("animated_shape.vtk", ""));
  try
  {
    RefuseNonFinite("animated_shape.vtk", "its points");
    FAIL() << "a non-finite part was let through";
  }
  catch (const std::exception& refusal)
  {
    EXPECT_STREQ(refusal.what(),
                 "Cannot write animated_shape.vtk: a number in its points is not finite (an "
                 "infinity or a NaN); nothing was written");
  }
}
