#include "expression_files.h"

#include "finite_points.h"
#include "named_file.h"
#include "program_error.h"
#include "scene_folder.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{
using animation::core::AllFinite;

[[noreturn]] void Fail(const std::string& path, int line, const std::string& text)
{
  const std::string where = line > 0 ? " line " + std::to_string(line) : "";
  throw program_error("Expression file " + path + where + ": " + text);
}

// The whole file, when it is a regular file of at most MaximumTextFileBytes.
std::string ReadText(const std::string& path)
{
  std::string text;
  std::string why;
  if (!ReadNamedFile(path, MaximumTextFileBytes, "an expression or point file", text, why))
  {
    throw program_error("Expression file " + ShownName(path) + " " + why);
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& end)
{
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The fields of a line, split at blanks, commas, semicolons and tabs.
std::vector<std::string> Fields(const std::string& line)
{
  std::string spaced = line;
  for (char& c : spaced)
  {
    if (c == ',' || c == ';' || c == '\t' || c == '\r')
    {
      c = ' ';
    }
  }
  std::istringstream words(spaced);
  std::vector<std::string> fields;
  for (std::string field; words >> field;)
  {
    fields.push_back(field);
  }
  return fields;
}

bool IsNumber(const std::string& field, float* value)
{
  char* end = nullptr;
  *value = std::strtof(field.c_str(), &end);
  return end != field.c_str() && *end == '\0';
}

// The first count fields of a line as numbers; false when they are fewer or
// one of them is not a number. Fields after count are ignored (a CSV may
// carry a label column).
bool ReadNumbers(const std::string& line, int count, float* values)
{
  const std::vector<std::string> fields = Fields(line);
  if (static_cast<int>(fields.size()) < count)
  {
    return false;
  }
  for (int i = 0; i < count; ++i)
  {
    if (!IsNumber(fields[i], values + i))
    {
      return false;
    }
  }
  return true;
}

// A header names its columns: some field of it is not a number.
bool IsHeader(const std::string& line)
{
  const std::vector<std::string> fields = Fields(line);
  float value;
  return std::any_of(fields.begin(),
                     fields.end(),
                     [&value](const std::string& field) { return !IsNumber(field, &value); });
}

// The lines of the file at path that are neither blank nor a '#' comment,
// each with its number, counting from 1.
std::vector<std::pair<int, std::string>> DataLines(const std::string& path)
{
  std::istringstream text(ReadText(path));
  std::vector<std::pair<int, std::string>> lines;
  std::string line;
  for (int number = 1; std::getline(text, line); ++number)
  {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line[first] != '#')
    {
      lines.emplace_back(number, line);
    }
  }
  return lines;
}

// Rows of count numbers from a text of lines; one header line is allowed
// before the first row.
std::vector<std::vector<float>> ReadRows(const std::string& path, int count)
{
  std::vector<std::vector<float>> rows;
  bool header = false;
  for (const auto& [number, line] : DataLines(path))
  {
    std::vector<float> row(count);
    if (!ReadNumbers(line, count, row.data()))
    {
      if (rows.empty() && !header && IsHeader(line))
      {
        header = true;
        continue;
      }
      Fail(path, number, "expected " + std::to_string(count) + " numbers");
    }
    if (!AllFinite(row.data(), row.size()))
    {
      Fail(path, number, "holds a number that is not finite");
    }
    rows.push_back(row);
  }
  return rows;
}

// The "position" arrays of a Slicer markups file, in file order.
PointList ReadMarkupsJson(const std::string& path)
{
  const std::string text = ReadText(path);
  PointList points;
  for (size_t at = text.find("\"position\""); at != std::string::npos;
       at = text.find("\"position\"", at + 1))
  {
    const size_t open = text.find('[', at);
    const size_t close = text.find(']', open);
    if (open == std::string::npos || close == std::string::npos)
    {
      Fail(path, 0, "a \"position\" has no [x, y, z]");
    }
    float p[3];
    if (!ReadNumbers(text.substr(open + 1, close - open - 1), 3, p) || !AllFinite(p, 3))
    {
      Fail(path, 0, "a \"position\" is not three finite numbers");
    }
    points.push_back({ p[0], p[1], p[2] });
  }
  return points;
}

// The x, y, z columns (the second to the fourth) of a Slicer fiducial list.
PointList ReadFiducials(const std::string& path)
{
  PointList points;
  for (const auto& [number, line] : DataLines(path))
  {
    const size_t comma = line.find(',');
    float p[3];
    if (comma == std::string::npos || !ReadNumbers(line.substr(comma + 1), 3, p) ||
        !AllFinite(p, 3))
    {
      Fail(path, number, "expected id,x,y,z,...");
    }
    points.push_back({ p[0], p[1], p[2] });
  }
  return points;
}
}

void ReadControlPairs(const std::string& path, PointList& sources, PointList& targets)
{
  for (const auto& row : ReadRows(path, 6))
  {
    sources.push_back({ row[0], row[1], row[2] });
    targets.push_back({ row[3], row[4], row[5] });
  }
}

PointList ReadPointFile(const std::string& path)
{
  if (EndsWith(path, ".mrk.json"))
  {
    return ReadMarkupsJson(path);
  }
  if (EndsWith(path, ".fcsv"))
  {
    return ReadFiducials(path);
  }
  PointList points;
  for (const auto& row : ReadRows(path, 3))
  {
    points.push_back({ row[0], row[1], row[2] });
  }
  return points;
}
