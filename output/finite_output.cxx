#include "finite_output.h"

#include "finite_points.h"
#include "gltf_writer.h"
#include "program_error.h"

#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>

namespace
{
using animation::core::AllFinite;

bool AllFinite(const std::vector<float>& values)
{
  return AllFinite(values.data(), values.size());
}

// The first floating-point array of data with a value that is not finite,
// or null.
vtkDataArray* NonFiniteArray(vtkFieldData* data)
{
  for (int k = 0; k < data->GetNumberOfArrays(); ++k)
  {
    vtkDataArray* array = data->GetArray(k);
    if (array && !animation::core::AllValuesFinite(array))
    {
      return array;
    }
  }
  return nullptr;
}
}

std::string NonFinitePartOf(vtkPolyData* mesh)
{
  if (mesh->GetPoints() && !animation::core::AllPointsFinite(mesh->GetPoints()))
  {
    return "its points";
  }
  if (vtkDataArray* array = NonFiniteArray(mesh->GetPointData()))
  {
    return std::string("its point array ") + (array->GetName() ? array->GetName() : "(unnamed)");
  }
  if (vtkDataArray* array = NonFiniteArray(mesh->GetCellData()))
  {
    return std::string("its cell array ") + (array->GetName() ? array->GetName() : "(unnamed)");
  }
  return {};
}

std::string NonFinitePartOf(const std::vector<GltfMesh>& meshes,
                            const std::vector<GltfMaterial>& materials,
                            const GltfCamera* camera,
                            const GltfWeights& animation)
{
  for (const GltfMesh& mesh : meshes)
  {
    for (const GltfPrimitive& primitive : mesh.Primitives)
    {
      const std::pair<const std::vector<float>*, const char*> parts[] = {
        { &primitive.Positions, "the positions" },
        { &primitive.Normals, "the normals" },
        { &primitive.Colours, "the colours" },
        { &primitive.TexCoords, "the texture coordinates" },
      };
      for (const auto& [values, part] : parts)
      {
        if (!AllFinite(*values))
        {
          return part + (" of mesh " + mesh.Name);
        }
      }
      for (size_t t = 0; t < mesh.TargetNames.size(); ++t)
      {
        if (!AllFinite(primitive.TargetPositions[t]) ||
            (t < primitive.TargetNormals.size() && !AllFinite(primitive.TargetNormals[t])))
        {
          return "the target " + mesh.TargetNames[t] + " of mesh " + mesh.Name;
        }
      }
    }
  }
  for (const GltfMaterial& material : materials)
  {
    if (!AllFinite(material.BaseColour, 4))
    {
      return "the base colour of material " + material.Name;
    }
  }
  if (camera)
  {
    const double lens[] = { camera->YFov, camera->AspectRatio, camera->ZNear, camera->ZFar };
    if (!AllFinite(camera->Translation, 3) || !AllFinite(camera->Rotation, 4) ||
        !AllFinite(lens, 4))
    {
      return "the camera";
    }
  }
  if (!AllFinite(animation.Times) || !AllFinite(animation.Weights))
  {
    return "the animation";
  }
  return {};
}

void RefuseNonFinite(const std::string& role, const std::string& part)
{
  if (!part.empty())
  {
    throw program_error("Cannot write " + role + ": a number in " + part +
                        " is not finite (an infinity or a NaN); nothing was written");
  }
}
