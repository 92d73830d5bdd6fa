#include "face_look.h"

#include "face_parts.h"
#include "vtkPartCellsFilter.h"

#include <vtkActor.h>
#include <vtkActorCollection.h>
#include <vtkAlgorithm.h>
#include <vtkDataSetMapper.h>
#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPNGReader.h>
#include <vtkPolyData.h>
#include <vtkProperty.h>
#include <vtkRenderer.h>
#include <vtkTexture.h>

#include <algorithm>
#include <vector>

namespace
{
// The parts of parts whose material is material (-1: none).
std::vector<bool> PartsOfMaterial(const FaceParts& parts, int material)
{
  std::vector<bool> chosen;
  for (const FacePart& part : parts.Parts)
  {
    chosen.push_back(part.Material == material);
  }
  return chosen;
}

// Makes actor draw only the parts of deformed that keep chooses.
void DrawParts(vtkActor* actor, vtkAlgorithm* deformed, const std::vector<bool>& keep)
{
  vtkNew<vtkPartCellsFilter> cells;
  cells->SetInputConnection(deformed->GetOutputPort());
  cells->SetParts(keep);
  actor->GetMapper()->SetInputConnection(cells->GetOutputPort());
}

// A new texture (the caller deletes it) of the image in the PNG file png,
// or null when png holds no image.
vtkTexture* NewTextureFromPng(const std::vector<unsigned char>& png)
{
  if (png.empty())
  {
    return nullptr;
  }
  vtkNew<vtkPNGReader> reader;
  reader->SetMemoryBuffer(png.data());
  reader->SetMemoryBufferLength(png.size());
  reader->Update();
  if (reader->GetErrorCode() != 0 || reader->GetOutput()->GetNumberOfPoints() == 0)
  {
    return nullptr;
  }
  // The reader reads from png, which need not outlive it: the texture keeps a
  // copy of the image.
  vtkNew<vtkImageData> image;
  image->DeepCopy(reader->GetOutput());
  vtkTexture* texture = vtkTexture::New();
  texture->SetInputData(image);
  texture->InterpolateOn();
  texture->RepeatOn();
  return texture;
}
}

vtkActorCollection* AddMaterialActors(vtkPolyData* face,
                                      vtkAlgorithm* deformed,
                                      vtkActor* faceActor,
                                      vtkRenderer* renderer)
{
  const FaceParts parts = FacePartsOf(face);
  const std::vector<bool> plain = PartsOfMaterial(parts, -1);
  if (std::find(plain.begin(), plain.end(), false) == plain.end())
  {
    return nullptr;
  }
  DrawParts(faceActor, deformed, plain);
  vtkActorCollection* actors = vtkActorCollection::New();
  for (size_t m = 0; m < parts.Materials.size(); ++m)
  {
    const FaceMaterial& material = parts.Materials[m];
    vtkNew<vtkActor> actor;
    vtkNew<vtkDataSetMapper> mapper;
    actor->SetMapper(mapper);
    DrawParts(actor, deformed, PartsOfMaterial(parts, static_cast<int>(m)));
    actor->GetProperty()->DeepCopy(faceActor->GetProperty());
    actor->GetProperty()->SetColor(
      material.BaseColour[0], material.BaseColour[1], material.BaseColour[2]);
    actor->GetProperty()->SetOpacity(material.BaseColour[3]);
    if (material.Texture >= 0)
    {
      if (vtkTexture* texture = NewTextureFromPng(parts.Textures[material.Texture]))
      {
        actor->SetTexture(texture);
        texture->Delete();
      }
    }
    actor->SetBackfaceProperty(faceActor->GetBackfaceProperty());
    renderer->AddViewProp(actor);
    actors->AddItem(actor);
  }
  return actors;
}
