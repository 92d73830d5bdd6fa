#include "test_scene.h"

#include <vtkBMPReader.h>
#include <vtkBMPWriter.h>
#include <vtkClipPolyData.h>
#include <vtkImageData.h>
#include <vtkPlane.h>
#include <vtkPointData.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>
#include <vtkSmartPointer.h>
#include <vtkSphereSource.h>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace
{
const double FocalPoint[3] = { 0.145534, 0.631591, 7.68539 };

vtkSmartPointer<vtkPolyData> Sphere(double radius, int resolution)
{
  auto sphere = vtkSmartPointer<vtkSphereSource>::New();
  sphere->SetCenter(FocalPoint[0], FocalPoint[1], FocalPoint[2]);
  sphere->SetRadius(radius);
  sphere->SetThetaResolution(resolution);
  sphere->SetPhiResolution(resolution);
  sphere->Update();
  return sphere->GetOutput();
}

void WriteMesh(vtkPolyData* mesh, const std::string& path)
{
  auto writer = vtkSmartPointer<vtkPolyDataWriter>::New();
  writer->SetInputData(mesh);
  writer->SetFileName(path.c_str());
  writer->Write();
}

void WriteImage(const std::string& path,
                int size,
                unsigned char r,
                unsigned char g,
                unsigned char b,
                bool stripes)
{
  auto image = vtkSmartPointer<vtkImageData>::New();
  image->SetDimensions(size, size, 1);
  image->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
  auto* pixel = static_cast<unsigned char*>(image->GetScalarPointer());
  for (int y = 0; y < size; ++y)
  {
    for (int x = 0; x < size; ++x, pixel += 3)
    {
      const bool dark = stripes && (x / 4) % 2 == 0;
      pixel[0] = dark ? r / 2 : r;
      pixel[1] = dark ? g / 2 : g;
      pixel[2] = dark ? b / 2 : b;
    }
  }
  auto writer = vtkSmartPointer<vtkBMPWriter>::New();
  writer->SetInputData(image);
  writer->SetFileName(path.c_str());
  writer->Write();
}
}

TestScene WriteTestScene(const std::string& folder, const std::string& settings)
{
  vtkSmartPointer<vtkPolyData> face = Sphere(1.0, 48);
  WriteMesh(face, folder + "/woman.vtk");

  auto plane = vtkSmartPointer<vtkPlane>::New();
  plane->SetOrigin(FocalPoint[0], FocalPoint[1], FocalPoint[2] + 0.5);
  plane->SetNormal(0, 0, 1);
  auto cap = vtkSmartPointer<vtkClipPolyData>::New();
  cap->SetInputData(Sphere(1.05, 32));
  cap->SetClipFunction(plane);
  cap->Update();
  WriteMesh(cap->GetOutput(), folder + "/hair.vtk");

  TestScene scene;
  scene.BackgroundImageColour = { 40, 200, 60 };
  WriteImage(folder + "/hair.bmp", 64, 120, 70, 30, true);
  WriteImage(folder + "/studio.bmp",
             128,
             scene.BackgroundImageColour[0],
             scene.BackgroundImageColour[1],
             scene.BackgroundImageColour[2],
             false);

  // Every third vertex of the face is a control point; those that face the
  // camera (towards -y) and lie near the equator move outward by 0.15.
  vtkPoints* points = face->GetPoints();
  for (vtkIdType id = 0; id < points->GetNumberOfPoints(); id += 3)
  {
    double p[3];
    points->GetPoint(id, p);
    ControlPair pair{ { p[0], p[1], p[2] }, { p[0], p[1], p[2] } };
    const double dy = p[1] - FocalPoint[1];
    const double dz = p[2] - FocalPoint[2];
    if (dy < -0.8 && std::fabs(dz) < 0.3)
    {
      pair.Target[1] -= 0.15;
    }
    scene.Controls.push_back(pair);
  }

  std::ofstream ptt(folder + "/woman.ptt");
  ptt << "Texture hair.bmp\n" << settings;
  for (const ControlPair& pair : scene.Controls)
  {
    ptt << ControlLine(pair.Source, pair.Target);
  }
  return scene;
}

std::vector<std::array<double, 3>> ReadMeshPoints(const std::string& path)
{
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  reader->SetFileName(path.c_str());
  reader->Update();
  std::vector<std::array<double, 3>> result;
  vtkPoints* points = reader->GetOutput()->GetPoints();
  for (vtkIdType id = 0; points && id < points->GetNumberOfPoints(); ++id)
  {
    double p[3];
    points->GetPoint(id, p);
    result.push_back({ p[0], p[1], p[2] });
  }
  return result;
}

std::string ControlLine(const std::array<double, 3>& source, const std::array<double, 3>& target)
{
  char line[200];
  std::snprintf(line,
                sizeof(line),
                "%.6f %.6f %.6f %.6f %.6f %.6f\n",
                source[0],
                source[1],
                source[2],
                target[0],
                target[1],
                target[2]);
  return line;
}

std::array<int, 3> RgbImage::At(int x, int y) const
{
  const size_t at = 3 * (static_cast<size_t>(y) * this->Width + x);
  return { this->Pixels[at], this->Pixels[at + 1], this->Pixels[at + 2] };
}

RgbImage ImageFromToolkit(vtkImageData* image)
{
  RgbImage result;
  int dimensions[3];
  image->GetDimensions(dimensions);
  if (image->GetNumberOfScalarComponents() < 3 || image->GetScalarType() != VTK_UNSIGNED_CHAR)
  {
    return result;
  }
  result.Width = dimensions[0];
  result.Height = dimensions[1];
  for (int y = 0; y < result.Height; ++y)
  {
    for (int x = 0; x < result.Width; ++x)
    {
      auto* pixel = static_cast<unsigned char*>(image->GetScalarPointer(x, y, 0));
      result.Pixels.insert(result.Pixels.end(), pixel, pixel + 3);
    }
  }
  return result;
}

RgbImage ReadBmp(const std::string& path)
{
  auto reader = vtkSmartPointer<vtkBMPReader>::New();
  if (!reader->CanReadFile(path.c_str()))
  {
    return RgbImage();
  }
  reader->SetFileName(path.c_str());
  reader->Update();
  return ImageFromToolkit(reader->GetOutput());
}
