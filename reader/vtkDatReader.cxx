#include "vtkDatReader.h"

#include "envelope_estimate.h"
#include "stopwatch.h"
#include "well_ordered_list.h"

#include <vtkBMPReader.h>
#include <vtkImageActor.h>
#include <vtkImageMapper3D.h>
#include <vtkObjectFactory.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkTexture.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <sys/stat.h>

vtkObjectFactoryNewMacro(vtkDatReader);

namespace
{
// A line longer than this is read in pieces of at most this many characters.
constexpr int LineBufferSize = 80;

bool AllFinite(const float* values, int count)
{
  for (int i = 0; i < count; ++i)
  {
    if (!std::isfinite(values[i]))
    {
      return false;
    }
  }
  return true;
}

float* AllocateFloats(int count)
{
  return static_cast<float*>(std::malloc((count > 0 ? count : 1) * sizeof(float)));
}
}

vtkDatReader::vtkDatReader()
  : FileName(nullptr)
  , PointArray(vtkPoints::New())
  , PointArrayN(vtkPoints::New())
  , PolyData(vtkPolyData::New())
  , Tree(vtkPointLocator::New())
  , Texture(nullptr)
  , TextureReader(nullptr)
  , ImageActor(nullptr)
  , BackgroundReader(nullptr)
  , List(nullptr)
  , UnList(nullptr)
  , TX(0)
  , TY(0)
  , TZ(0)
  , BX(nullptr)
  , BY(nullptr)
  , BZ(nullptr)
  , Radius(0.1f)
  , WindowSize{ 300, 300 }
  , Max(0)
  , FramesNumber(10)
  , LoopCount(1)
  , SaveImages(0)
  , UseTexture(0)
  , UseBackground(0)
  , BackGroundColor{ 0.24f, 0.35f, 0.67f }
  , DiffuseColor{ 1.0f, 0.9608f, 0.9333f }
  , SpecularColor{ 0.7529f, 0.7529f, 0.7529f }
{
  this->Tree->Initialize();
}

vtkDatReader::~vtkDatReader()
{
  this->PointArray->Delete();
  this->PointArrayN->Delete();
  this->PolyData->Delete();
  this->Tree->Delete();
  std::free(this->List);
  std::free(this->UnList);
  std::free(this->BX);
  std::free(this->BY);
  std::free(this->BZ);
  if (this->UseTexture == 1)
  {
    this->Texture->Delete();
    this->TextureReader->Delete();
  }
  if (this->UseBackground == 1)
  {
    this->BackgroundReader->Delete();
    this->ImageActor->Delete();
  }
}

int vtkDatReader::ReadFile()
{
  FILE* file = this->FileName ? std::fopen(this->FileName, "r") : nullptr;
  // A folder opens like a file on some systems, then reads as empty.
  struct stat status;
  if (file && (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)))
  {
    std::fclose(file);
    file = nullptr;
  }
  if (!file)
  {
    animErrorMacro(<< "Not correct FileName");
    return -1;
  }

  char line[LineBufferSize];
  int lineNumber = 1;
  int result = 0;
  while (result == 0 && std::fgets(line, LineBufferSize, file))
  {
    result = this->ParseLine(line, lineNumber);
    // A piece without its line end is the first part of a longer line.
    if (std::strchr(line, '\n'))
    {
      ++lineNumber;
    }
  }
  std::fclose(file);
  if (result != 0)
  {
    return result;
  }
  return this->PrepareControlPoints();
}

int vtkDatReader::ParseLine(const char* line, int lineNumber)
{
  char word[LineBufferSize];
  float v[6];
  int first, second;

  if (std::sscanf(line, "FramesNumber %d", &first) == 1)
  {
    this->FramesNumber = first;
  }
  else if (std::sscanf(line, "LoopCount %d", &first) == 1)
  {
    this->LoopCount = first;
  }
  else if (std::sscanf(line, "Texture %s", word) == 1)
  {
    this->SetUpTexture(word);
  }
  else if (std::sscanf(line, "BackgroundImage %s", word) == 1)
  {
    this->SetUpBackground(word);
  }
  else if (std::sscanf(line, "SaveImages %s", word) == 1)
  {
    if (std::strcmp(word, "yes") == 0)
    {
      this->SaveImages = 1;
    }
  }
  else if (std::sscanf(line, "WindowSize %d %d", &first, &second) == 2)
  {
    this->WindowSize[0] = first;
    this->WindowSize[1] = second;
  }
  else if (std::sscanf(line, "RotateX %f", v) == 1)
  {
    this->TX = v[0];
  }
  else if (std::sscanf(line, "RotateY %f", v) == 1)
  {
    this->TY = v[0];
  }
  else if (std::sscanf(line, "RotateZ %f", v) == 1)
  {
    this->TZ = v[0];
  }
  else if (std::sscanf(line, "BackgroundColor %f %f %f", v, v + 1, v + 2) == 3)
  {
    if (!AllFinite(v, 3))
    {
      animErrorMacro(<< "BackgroundColor on line " << lineNumber << " is not a finite colour");
      return -1;
    }
    std::copy(v, v + 3, this->BackGroundColor);
  }
  else if (std::sscanf(line, "DiffuseColor %f %f %f", v, v + 1, v + 2) == 3)
  {
    if (!AllFinite(v, 3))
    {
      animErrorMacro(<< "DiffuseColor on line " << lineNumber << " is not a finite colour");
      return -1;
    }
    std::copy(v, v + 3, this->DiffuseColor);
  }
  else if (std::sscanf(line, "SpecularColor %f %f %f", v, v + 1, v + 2) == 3)
  {
    if (!AllFinite(v, 3))
    {
      animErrorMacro(<< "SpecularColor on line " << lineNumber << " is not a finite colour");
      return -1;
    }
    std::copy(v, v + 3, this->SpecularColor);
  }
  else if (std::sscanf(line, "%f %f %f %f %f %f", v, v + 1, v + 2, v + 3, v + 4, v + 5) == 6)
  {
    // nan, inf and numbers beyond the float range would poison the locator
    // and the solve, so the whole read fails here.
    if (!AllFinite(v, 6))
    {
      animErrorMacro(<< "Control point on line " << lineNumber
                     << " holds a number that is not finite");
      return -1;
    }
    this->PointArray->InsertNextPoint(v[0], v[1], v[2]);
    this->PointArrayN->InsertNextPoint(v[3], v[4], v[5]);
  }
  return 0;
}

void vtkDatReader::SetUpTexture(const char* fileName)
{
  if (this->UseTexture == 1)
  {
    this->Texture->Delete();
    this->TextureReader->Delete();
  }
  this->UseTexture = 1;
  this->TextureReader = vtkBMPReader::New();
  this->TextureReader->SetFileName(fileName);
  this->Texture = vtkTexture::New();
  this->Texture->SetInputConnection(this->TextureReader->GetOutputPort());
  this->Texture->InterpolateOn();
}

void vtkDatReader::SetUpBackground(const char* fileName)
{
  if (this->UseBackground == 1)
  {
    this->BackgroundReader->Delete();
    this->ImageActor->Delete();
  }
  this->UseBackground = 1;
  this->BackgroundReader = vtkBMPReader::New();
  this->BackgroundReader->SetFileName(fileName);
  this->ImageActor = vtkImageActor::New();
  this->ImageActor->GetMapper()->SetInputConnection(this->BackgroundReader->GetOutputPort());
}

int vtkDatReader::PrepareControlPoints()
{
  this->PolyData->SetPoints(this->PointArray);
  this->Tree->SetDataSet(this->PolyData);

  const int count = static_cast<int>(this->PointArray->GetNumberOfPoints());
  stopwatch_start();
  // An empty point set has nothing to subdivide; the toolkit would complain.
  if (count > 0)
  {
    this->Tree->BuildLocator();
  }
  std::cout << "Tree build time: " << stopwatch_elapsed() << " sec." << std::endl;
  CheckMatrixFits(count, this->Radius, this->PointArray, this->Tree);

  stopwatch_start();
  this->List = GetWellOderredList(this->Max, count, this->Radius, this->PointArray, this->Tree);
  this->UnList = static_cast<int*>(std::malloc((count > 0 ? count : 1) * sizeof(int)));
  if (!this->UnList)
  {
    animErrorMacro(<< "Not enough memory");
    return -1;
  }
  for (int k = 0; k < count; ++k)
  {
    this->UnList[this->List[k]] = k;
  }
  std::cout << "Sorting time: " << stopwatch_elapsed() << " sec." << std::endl;

  float** differences[3] = { &this->BX, &this->BY, &this->BZ };
  for (float** array : differences)
  {
    *array = AllocateFloats(count);
    if (!*array)
    {
      animErrorMacro(<< "Not enough memory");
      return -1;
    }
  }
  for (int k = 0; k < count; ++k)
  {
    double source[3], target[3];
    this->PointArray->GetPoint(this->List[k], source);
    this->PointArrayN->GetPoint(this->List[k], target);
    this->BX[k] = static_cast<float>(source[0]) - static_cast<float>(target[0]);
    this->BY[k] = static_cast<float>(source[1]) - static_cast<float>(target[1]);
    this->BZ[k] = static_cast<float>(source[2]) - static_cast<float>(target[2]);
  }
  return 0;
}
