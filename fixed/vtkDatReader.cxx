#include "vtkDatReader.h"

#include "available_memory.h"
#include "envelope_estimate.h"
#include "finite_points.h"
#include "fit.h"
#include "named_file.h"
#include "program_error.h"
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

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

vtkObjectFactoryNewMacro(vtkDatReader);

namespace
{
std::string MiB(std::int64_t bytes)
{
  return std::to_string((bytes + 1048575) / 1048576) + " MiB";
}

// Throws program_error naming the estimated size of the matrix and the
// memory available, in MiB, and the likely cause, when the matrix of the
// points cannot fit in the memory available.
void CheckMatrixFits(int count, float radius, vtkPoints* points, vtkPointLocator* locator)
{
  const std::int64_t available = available_memory_bytes();
  if (available < 0)
  {
    return;
  }
  const animation::core::envelope_estimate estimate =
    animation::core::EstimateEnvelope(count, radius, points, locator);
  const std::int64_t needed = animation::core::MatrixBytes(estimate.Entries, count);
  if (needed <= available)
  {
    return;
  }
  std::ostringstream text;
  text << "The interpolation matrix of " << count << " control points would need about "
       << MiB(needed) << ", but only " << MiB(available)
       << " of memory are available: each control point has about "
       << static_cast<std::int64_t>(estimate.MeanNeighbours + 0.5)
       << " others within the support radius " << radius
       << ". The coordinates are probably in another unit than the radius assumes (set it with "
          "SupportRadius in woman.ptt), or there are far more control points than the surface "
          "needs.";
  throw program_error(text.str());
}

// Longest piece of a line quoted in a warning.
constexpr size_t QuotedLength = 60;

// Warnings shown about the lines of one file; a file of millions of bad lines
// gets these and the number of the rest.
constexpr int ShownWarnings = 20;

constexpr const char* WhiteSpace = " \t\r\n\v\f";

// True when text begins with a UTF-16 byte-order mark, or its first bytes
// hold the zero bytes of UTF-16 text without one.
bool IsUtf16(const std::string& text)
{
  const std::string start = text.substr(0, 64);
  if (start.compare(0, 2, "\xff\xfe") == 0 || start.compare(0, 2, "\xfe\xff") == 0)
  {
    return true;
  }
  const auto zeros = static_cast<std::size_t>(std::count(start.begin(), start.end(), '\0'));
  return start.size() >= 8 && zeros >= start.size() / 3;
}

// std::sscanf(line, format, ...) for a format that starts with a keyword (its
// characters before the first blank or '%'), which sscanf matches literally:
// a line that does not start with the keyword costs one comparison instead
// of a scan, so that a file of millions of lines is read in seconds whatever
// they hold. Returns what sscanf returns, or 0 for another keyword.
int ScanLine(const char* line, const char* format, ...)
{
  if (format[0] != '%' &&
      (line[0] != format[0] || std::strncmp(line, format, std::strcspn(format, " %")) != 0))
  {
    return 0;
  }
  va_list fields;
  va_start(fields, format);
  const int count = std::vsscanf(line, format, fields);
  va_end(fields);
  return count;
}

// True when the integers that line holds for format (a keyword's pattern
// with %lld fields) lie in the range of int: %d wraps larger ones silently,
// 4294967298 to 2.
bool IntegersFitInt(const char* line, const char* format)
{
  long long value[2] = { 0, 0 };
  const int count = ScanLine(line, format, &value[0], &value[1]);
  for (int k = 0; k < count; ++k)
  {
    if (value[k] < std::numeric_limits<int>::min() || value[k] > std::numeric_limits<int>::max())
    {
      return false;
    }
  }
  return true;
}

// True for text that is white space alone, or a comment starting with '#'.
bool IsBlankOrComment(const char* text)
{
  const char first = text[std::strspn(text, WhiteSpace)];
  return first == '\0' || first == '#';
}

// The text without its surrounding white space, in double quotes, cut to a
// length that fits a console line, control characters shown as '?'.
std::string Quoted(const char* text)
{
  std::string trimmed = text + std::strspn(text, WhiteSpace);
  trimmed.erase(trimmed.find_last_not_of(WhiteSpace) + 1);
  if (trimmed.size() > QuotedLength)
  {
    trimmed = trimmed.substr(0, QuotedLength) + "...";
  }
  // Control characters of a binary file would garble the console.
  for (char& c : trimmed)
  {
    if (std::iscntrl(static_cast<unsigned char>(c)))
    {
      c = '?';
    }
  }
  return "\"" + trimmed + "\"";
}
}

vtkDatReader::vtkDatReader()
  : PointArray(vtkPoints::New())
  , PointArrayN(vtkPoints::New())
  , PolyData(vtkPolyData::New())
  , Tree(vtkPointLocator::New())
{
  this->Tree->Initialize();
  // A single-precision fit that lands every control point within this
  // fraction of the largest control-point move is kept as it is, so the
  // frames of such scenes do not change; a worse one is refined.
  this->FitOptions.RefineAbove = 1e-4;
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
  // Only a regular file of sensible size is read: a FIFO or a device is
  // refused without waiting for it.
  std::string text;
  std::string why;
  if (!this->FileName ||
      !ReadNamedFile(this->FileName, MaximumTextFileBytes, "a scene file", text, why))
  {
    if (!why.empty() && why != "does not exist")
    {
      animErrorMacro(<< "Not correct FileName: " << this->FileName << " " << why);
    }
    else
    {
      animErrorMacro(<< "Not correct FileName");
    }
    return -1;
  }
  if (IsUtf16(text))
  {
    animErrorMacro(<< "Not correct FileName: " << this->FileName
                   << " is UTF-16 text; save it as plain text (ASCII or UTF-8)");
    return -1;
  }

  // Each line whole, whatever its length, without its line end. A zero byte
  // inside a line stays in it (the line's text then ends there for the
  // parser); it never joins two lines.
  int result = 0;
  this->Warnings = 0;
  std::size_t start = 0;
  for (int lineNumber = 1; result == 0 && start < text.size(); ++lineNumber)
  {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    result = this->ParseLine(text.substr(start, end - start), lineNumber);
    start = end + 1;
  }
  if (this->Warnings > ShownWarnings)
  {
    std::cerr << "Warning: " << this->FileName << ": " << this->Warnings - ShownWarnings
              << " more warnings about its lines are not shown" << std::endl;
  }
  if (result != 0)
  {
    return result;
  }
  return this->PrepareControlPoints();
}

int vtkDatReader::ParseLine(const std::string& text, int lineNumber)
{
  const char* line = text.c_str();
  if (IsBlankOrComment(line))
  {
    return 0;
  }
  // A word field can be as long as the line itself.
  std::vector<char> buffer(text.size() + 1);
  char* word = buffer.data();
  float v[6];
  int first, second;
  // Characters consumed up to the end of the last field: what follows is
  // ignored, and named in a warning unless it is blank.
  int end = 0;

  for (const char* format : { "FramesNumber %lld", "LoopCount %lld", "WindowSize %lld %lld" })
  {
    if (!IntegersFitInt(line, format))
    {
      animErrorMacro(<< "The number on line " << lineNumber << " is out of range (-2147483648 to "
                     << "2147483647): " << Quoted(line));
      return -1;
    }
  }
  // The colours, then the camera's vectors: three numbers each.
  const struct
  {
    const char* Format;
    float* Colour;
    double* Camera;
  } vectors[] = { { "BackgroundColor %f %f %f%n", this->BackGroundColor, nullptr },
                  { "DiffuseColor %f %f %f%n", this->DiffuseColor, nullptr },
                  { "SpecularColor %f %f %f%n", this->SpecularColor, nullptr },
                  { "CameraPosition %f %f %f%n", nullptr, this->CameraPosition },
                  { "CameraFocalPoint %f %f %f%n", nullptr, this->CameraFocalPoint },
                  { "CameraViewUp %f %f %f%n", nullptr, this->CameraViewUp } };
  for (const auto& vector : vectors)
  {
    if (ScanLine(line, vector.Format, v, v + 1, v + 2, &end) == 3)
    {
      return this->StoreVector(
        vector.Format, v, vector.Colour, vector.Camera, line, end, lineNumber);
    }
  }
  if (ScanLine(line, "FramesNumber %d%n", &first, &end) == 1)
  {
    this->FramesNumber = first;
    this->FramesLine = lineNumber;
  }
  else if (ScanLine(line, "LoopCount %d%n", &first, &end) == 1)
  {
    this->LoopCount = first;
    this->FramesLine = lineNumber;
  }
  else if (ScanLine(line, "Texture %s%n", word, &end) == 1)
  {
    this->SetUpTexture(word);
  }
  else if (ScanLine(line, "BackgroundImage %s%n", word, &end) == 1)
  {
    this->SetUpBackground(word);
  }
  else if (ScanLine(line, "SaveImages %s%n", word, &end) == 1)
  {
    if (std::strcmp(word, "yes") == 0)
    {
      this->SaveImages = 1;
    }
    else
    {
      this->Warn(lineNumber, "SaveImages takes only \"yes\"; " + Quoted(word) + " changes nothing");
    }
  }
  else if (ScanLine(line, "WindowSize %d %d%n", &first, &second, &end) == 2)
  {
    this->WindowSize[0] = first;
    this->WindowSize[1] = second;
  }
  else if (ScanLine(line, "RotateX %f%n", v, &end) == 1)
  {
    this->TX = v[0];
  }
  else if (ScanLine(line, "RotateY %f%n", v, &end) == 1)
  {
    this->TY = v[0];
  }
  else if (ScanLine(line, "RotateZ %f%n", v, &end) == 1)
  {
    this->TZ = v[0];
  }
  else if (ScanLine(line, "SupportRadius %f%n", v, &end) == 1)
  {
    if (!(std::isfinite(v[0]) && v[0] > 0))
    {
      animErrorMacro(<< "SupportRadius on line " << lineNumber
                     << " must be a positive finite number");
      return -1;
    }
    this->SetRadius(v[0]);
  }
  else if (ScanLine(line, "Face %s%n", word, &end) == 1)
  {
    this->FaceFileName = word;
  }
  else if (ScanLine(line, "Hair %s%n", word, &end) == 1)
  {
    this->HairFileName = word;
  }
  else if (ScanLine(line, "Polynomial %s%n", word, &end) == 1)
  {
    if (std::strcmp(word, "yes") == 0 || std::strcmp(word, "no") == 0)
    {
      this->FitOptions.Polynomial = std::strcmp(word, "yes") == 0;
    }
    else
    {
      this->Warn(lineNumber,
                 "Polynomial takes \"yes\" or \"no\"; " + Quoted(word) + " changes nothing");
    }
  }
  else if (ScanLine(line, "Kernel %s%n", word, &end) == 1)
  {
    if (std::strcmp(word, "quadratic") == 0 || std::strcmp(word, "wendland") == 0)
    {
      this->FitOptions.Kernel = std::strcmp(word, "wendland") == 0
                                  ? animation::core::basis_kernel::wendland
                                  : animation::core::basis_kernel::quadratic;
    }
    else
    {
      this->Warn(lineNumber,
                 "Kernel takes \"quadratic\" or \"wendland\"; " + Quoted(word) +
                   " changes nothing");
    }
  }
  else if (ScanLine(line, "Smoothing %f%n", v, &end) == 1)
  {
    if (std::isfinite(v[0]) && v[0] >= 0)
    {
      this->FitOptions.Smoothing = v[0];
    }
    else
    {
      this->Warn(lineNumber,
                 "Smoothing takes a finite number of 0 or more; " + Quoted(line) +
                   " changes nothing");
    }
  }
  else if (ScanLine(line, "UpAxis %s%n", word, &end) == 1)
  {
    if (std::strcmp(word, "y") == 0 || std::strcmp(word, "z") == 0)
    {
      this->UpAxis = word;
    }
    else
    {
      this->Warn(lineNumber, "UpAxis takes \"y\" or \"z\"; " + Quoted(word) + " changes nothing");
    }
  }
  else if (ScanLine(line, "ShowControlPoints %s%n", word, &end) == 1)
  {
    if (std::strcmp(word, "yes") == 0 || std::strcmp(word, "no") == 0)
    {
      this->ShowControlPoints = std::strcmp(word, "yes") == 0;
    }
    else
    {
      this->Warn(lineNumber,
                 "ShowControlPoints takes \"yes\" or \"no\"; " + Quoted(word) + " changes nothing");
    }
  }
  else if (std::strncmp(line, "Expression", 10) == 0 || std::strncmp(line, "Key", 3) == 0)
  {
    // Their fields name files and expressions; the driver reads them.
    const bool expression = line[0] == 'E';
    (expression ? this->ExpressionLines : this->KeyLines)
      .push_back({ lineNumber, line + (expression ? 10 : 3) });
    return 0;
  }
  else if (ScanLine(line, "%f %f %f %f %f %f%n", v, v + 1, v + 2, v + 3, v + 4, v + 5, &end) == 6)
  {
    // nan, inf and numbers beyond the float range would poison the locator
    // and the solve, so the whole read fails here.
    if (!animation::core::AllFinite(v, 6))
    {
      animErrorMacro(<< "Control point on line " << lineNumber
                     << " holds a number that is not finite");
      return -1;
    }
    this->PointArray->InsertNextPoint(v[0], v[1], v[2]);
    this->PointArrayN->InsertNextPoint(v[3], v[4], v[5]);
  }
  else
  {
    this->Warn(lineNumber, "ignored, it is neither a setting nor a control point: " + Quoted(line));
    return 0;
  }
  this->WarnAboutTrailingText(line, end, lineNumber);
  return 0;
}

int vtkDatReader::StoreVector(const char* format,
                              const float value[3],
                              float colour[3],
                              double camera[3],
                              const char* line,
                              int end,
                              int lineNumber)
{
  const std::string keyword(format, std::strcspn(format, " "));
  if (!animation::core::AllFinite(value, 3))
  {
    animErrorMacro(<< keyword << " on line " << lineNumber
                   << (colour ? " is not a finite colour" : " holds a number that is not finite"));
    return -1;
  }
  if (colour)
  {
    std::copy(value, value + 3, colour);
    if (!std::all_of(value, value + 3, [](float c) { return c >= 0 && c <= 1; }))
    {
      this->Warn(lineNumber, keyword + " has a component outside 0 to 1: " + Quoted(line));
    }
  }
  else
  {
    std::copy(value, value + 3, camera);
    this->UseCamera = 1;
  }
  this->WarnAboutTrailingText(line, end, lineNumber);
  return 0;
}

void vtkDatReader::WarnAboutTrailingText(const char* line, int end, int lineNumber)
{
  if (!IsBlankOrComment(line + end))
  {
    this->Warn(lineNumber,
               "the text " + Quoted(line + end) +
                 " after the last value is ignored: " + Quoted(line));
  }
}

void vtkDatReader::Warn(int lineNumber, const std::string& text)
{
  if (++this->Warnings > ShownWarnings)
  {
    return;
  }
  std::cerr << "Warning: " << (this->FileName ? this->FileName : "") << " line " << lineNumber
            << ": " << text << std::endl;
}

void vtkDatReader::SetUpTexture(const char* fileName)
{
  // A later Texture line names another file for the same reader: a file of
  // millions of them costs a name each, not a pipeline each.
  if (this->UseTexture == 0)
  {
    this->UseTexture = 1;
    this->TextureReader = vtkBMPReader::New();
    this->Texture = vtkTexture::New();
    this->Texture->SetInputConnection(this->TextureReader->GetOutputPort());
    this->Texture->InterpolateOn();
  }
  this->TextureReader->SetFileName(fileName);
}

void vtkDatReader::SetUpBackground(const char* fileName)
{
  if (this->UseBackground == 0)
  {
    this->UseBackground = 1;
    this->BackgroundReader = vtkBMPReader::New();
    this->ImageActor = vtkImageActor::New();
    this->ImageActor->GetMapper()->SetInputConnection(this->BackgroundReader->GetOutputPort());
  }
  this->BackgroundReader->SetFileName(fileName);
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
    *array = static_cast<float*>(std::malloc((count > 0 ? count : 1) * sizeof(float)));
    if (!*array)
    {
      animErrorMacro(<< "Not enough memory");
      return -1;
    }
  }
  // Both point sets hold the file's numbers in single precision.
  float* const values[3] = { this->BX, this->BY, this->BZ };
  animation::core::list_order_differences(
    static_cast<const float*>(this->PointArray->GetVoidPointer(0)),
    static_cast<const float*>(this->PointArrayN->GetVoidPointer(0)),
    this->List,
    count,
    values);
  return 0;
}
