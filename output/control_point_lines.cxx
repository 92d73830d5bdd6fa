#include "control_point_lines.h"

#include "atomic_write.h"
#include "named_file.h"
#include "program_error.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

namespace
{
constexpr const char* WhiteSpace = " \t\r\n\v\f";

// The file's lines without their '\n'. A last line without one counts; the
// empty piece after a final '\n' does not.
std::vector<std::string> SplitLines(const std::string& text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
  {
    lines.push_back(line);
  }
  return lines;
}

// Where the six numbers of a control-point line end, or npos when line is
// not one. What follows them (a label column, a comment, a '\r') is the
// line's own and is kept when the pair is rewritten.
std::size_t PairEnd(const std::string& line, PairSeparators separators)
{
  std::string text = line;
  if (separators == PairSeparators::BlanksOrCommas)
  {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::replace(text.begin(), text.end(), ';', ' ');
  }
  const char first = text[std::strspn(text.c_str(), WhiteSpace)];
  if (first == '\0' || first == '#')
  {
    return std::string::npos;
  }
  float v[6];
  int end = 0;
  const int read =
    std::sscanf(text.c_str(), "%f %f %f %f %f %f%n", v, v + 1, v + 2, v + 3, v + 4, v + 5, &end);
  return read == 6 ? static_cast<std::size_t>(end) : std::string::npos;
}

bool IsControlPointLine(const std::string& line, PairSeparators separators)
{
  return PairEnd(line, separators) != std::string::npos;
}

bool IsSupportRadiusLine(const std::string& line)
{
  float radius;
  return std::sscanf(line.c_str(), "SupportRadius %f", &radius) == 1;
}

// What a rewritten SupportRadius line keeps of the old one: its comment, and
// the '\r' of a file with Windows line ends.
std::string KeptEnding(const std::string& old)
{
  const std::size_t hash = old.find('#');
  if (hash != std::string::npos)
  {
    return " " + old.substr(hash);
  }
  return !old.empty() && old.back() == '\r' ? "\r" : "";
}

std::string Numbers(const double* values, int count, const char* separator = " ")
{
  std::string text;
  char number[32];
  for (int k = 0; k < count; ++k)
  {
    std::snprintf(number, sizeof(number), "%.9g", values[k]);
    text += (k ? separator : "") + std::string(number);
  }
  return text;
}

std::string PairLine(const EditedPair& pair, const char* separator)
{
  return Numbers(pair.Source, 3, separator) + separator + Numbers(pair.Target, 3, separator);
}
}

std::vector<int> ControlPointLineNumbers(const std::string& text, PairSeparators separators)
{
  std::vector<int> numbers;
  const std::vector<std::string> lines = SplitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i)
  {
    if (IsControlPointLine(lines[i], separators))
    {
      numbers.push_back(static_cast<int>(i) + 1);
    }
  }
  return numbers;
}

std::string RewriteControlPointLines(const std::string& text,
                                     PairSeparators separators,
                                     const std::vector<EditedPair>& pairs,
                                     double radius,
                                     std::vector<int>& lines)
{
  const std::vector<std::string> old = SplitLines(text);
  std::map<int, std::size_t> pairOfLine;
  for (std::size_t k = 0; k < pairs.size(); ++k)
  {
    if (pairs[k].Line > 0)
    {
      pairOfLine[pairs[k].Line] = k;
    }
  }
  int lastControlLine = 0;
  int radiusLine = 0;
  const char* separator = " ";
  for (std::size_t i = 0; i < old.size(); ++i)
  {
    if (IsControlPointLine(old[i], separators))
    {
      // The first pair's separator is the file's.
      if (lastControlLine == 0 && old[i].find_first_of(",;") != std::string::npos)
      {
        separator = old[i].find(',') != std::string::npos ? "," : ";";
      }
      lastControlLine = static_cast<int>(i) + 1;
    }
    else if (IsSupportRadiusLine(old[i]))
    {
      radiusLine = static_cast<int>(i) + 1;
    }
  }
  // Lines that the file did not have end as its own lines do.
  const std::string newLineEnd = text.find("\r\n") != std::string::npos ? "\r" : "";
  const std::string radiusText = "SupportRadius " + Numbers(&radius, 1);
  const bool newRadiusLine = radius > 0 && radiusLine == 0;

  std::string result;
  int written = 0;
  lines.assign(pairs.size(), 0);
  auto write = [&result, &written](const std::string& line)
  {
    result += line + "\n";
    ++written;
  };
  auto writeNewPairs = [&]()
  {
    for (std::size_t k = 0; k < pairs.size(); ++k)
    {
      if (pairs[k].Line == 0)
      {
        write(PairLine(pairs[k], separator) + newLineEnd);
        lines[k] = written;
      }
    }
  };
  bool radiusWritten = !newRadiusLine;
  for (std::size_t i = 0; i < old.size(); ++i)
  {
    const int number = static_cast<int>(i) + 1;
    if (IsControlPointLine(old[i], separators))
    {
      if (!radiusWritten)
      {
        write(radiusText + newLineEnd);
        radiusWritten = true;
      }
      const auto pair = pairOfLine.find(number);
      if (pair != pairOfLine.end())
      {
        const EditedPair& edited = pairs[pair->second];
        write(edited.Changed
                ? PairLine(edited, separator) + old[i].substr(PairEnd(old[i], separators))
                : old[i]);
        lines[pair->second] = written;
      }
    }
    else if (radius > 0 && number == radiusLine)
    {
      write(radiusText + KeptEnding(old[i]));
    }
    else
    {
      write(old[i]);
    }
    if (number == lastControlLine)
    {
      writeNewPairs();
    }
  }
  if (!radiusWritten)
  {
    write(radiusText + newLineEnd);
  }
  if (lastControlLine == 0)
  {
    writeNewPairs();
  }
  // A file whose last line had no line end keeps it that way when nothing
  // follows it.
  if (!text.empty() && text.back() != '\n' && written == static_cast<int>(old.size()))
  {
    result.pop_back();
  }
  return result;
}

void ReplaceSceneFile(const std::string& path, const std::string& read, const std::string& text)
{
  struct stat status;
  if (lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
  {
    throw program_error("Cannot save " + path + ": it is not a regular file");
  }
  std::string now;
  std::string why;
  if (!ReadNamedFile(path, MaximumTextFileBytes, "a scene file", now, why))
  {
    throw program_error("Cannot save " + path + ": it " + why);
  }
  if (now != read)
  {
    throw program_error("Cannot save " + path +
                        ": another program changed it since it was read; nothing was written");
  }
  if (access(path.c_str(), W_OK) != 0)
  {
    throw program_error("Cannot save " + path + ": it is read-only; nothing was written");
  }
  // The new file takes the place of the old one with its permissions, so that
  // a private scene stays private.
  const mode_t mode = status.st_mode & 07777;
  WriteAtomically(path,
                  [&text, mode](int descriptor) {
                    return fchmod(descriptor, mode) != 0
                             ? errno
                             : WriteAll(descriptor, text.data(), text.size());
                  });
}
