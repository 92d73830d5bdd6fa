#include "vtkPLYFaceReader.h"

#include <vtkInformation.h>
#include <vtkInformationVector.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPLYReader.h>
#include <vtkPolyData.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

vtkStandardNewMacro(vtkPLYFaceReader);

namespace
{
// A header longer than this is no PLY header (the checks before the reader
// have refused it already).
constexpr size_t LongestHeaderLines = 100000;

// The lines of the header of the PLY file at path, before its "end_header".
std::vector<std::string> HeaderLines(const char* path)
{
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line) && lines.size() < LongestHeaderLines;)
  {
    if (line.compare(0, 10, "end_header") == 0)
    {
      return lines;
    }
    lines.push_back(line);
  }
  return {};
}

// Renames in the header lines the vertex properties s and t (or texture_s
// and texture_t) u and v (texture_u and texture_v) when the vertices have no
// u and v of their own. Returns false when nothing is to be renamed.
bool RenameTextureCoordinates(std::vector<std::string>& lines)
{
  // The lines of the vertex element's properties, by the property's name.
  bool inVertex = false;
  std::vector<size_t> s, t;
  bool hasUV = false;
  for (size_t i = 0; i < lines.size(); ++i)
  {
    std::istringstream words(lines[i]);
    std::string keyword, type, name;
    words >> keyword;
    if (keyword == "element")
    {
      words >> name;
      inVertex = name == "vertex";
    }
    else if (keyword == "property" && inVertex && (words >> type >> name))
    {
      if (name == "s" || name == "texture_s")
      {
        s.push_back(i);
      }
      else if (name == "t" || name == "texture_t")
      {
        t.push_back(i);
      }
      hasUV = hasUV || name == "u" || name == "v" || name == "texture_u" || name == "texture_v";
    }
  }
  if (hasUV || s.size() != 1 || t.size() != 1)
  {
    return false;
  }
  // The name is the line's last word; the binary data after the header are
  // untouched.
  for (size_t i : { s[0], t[0] })
  {
    std::string& line = lines[i];
    const size_t last = line.find_last_not_of(" \t\r");
    line[last] = line[last] == 's' ? 'u' : 'v';
  }
  return true;
}
}

int vtkPLYFaceReader::RequestData(vtkInformation*,
                                  vtkInformationVector**,
                                  vtkInformationVector* outputVector)
{
  vtkNew<vtkPLYReader> reader;
  reader->SetFileName(this->FileName);
  std::vector<std::string> header = HeaderLines(this->FileName ? this->FileName : "");
  if (RenameTextureCoordinates(header))
  {
    // The file with its header's lines renamed: each line keeps its length
    // but for the one letter, and the data after the header stay as they are.
    std::ifstream file(this->FileName, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t offset = 0;
    for (const std::string& line : header)
    {
      text.replace(offset, line.size(), line);
      offset += line.size() + 1;
    }
    reader->ReadFromInputStringOn();
    reader->SetInputString(text);
  }
  reader->Update();
  vtkPolyData::GetData(outputVector)->ShallowCopy(reader->GetOutput());
  return 1;
}
