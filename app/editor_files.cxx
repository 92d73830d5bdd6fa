#include "editor_files.h"

#include "expression_files.h"
#include "expressions.h"
#include "named_file.h"
#include "program_error.h"

#include <vtkPoints.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iostream>

namespace
{
// Whether path names a file of pairs that files already holds, by another
// name or the same: two expressions that share a file cannot both rewrite it.
bool NamedBefore(const EditedFiles& files, const std::string& path)
{
  std::error_code error;
  return std::any_of(files.Files.begin(),
                     files.Files.end(),
                     [&](const PairFile& file)
                     { return std::filesystem::equivalent(file.Path, path, error); });
}

// The text of a file of pairs and the line of each of its count pairs.
std::string ReadPairText(const std::string& path,
                         PairSeparators separators,
                         std::size_t count,
                         std::vector<int>& lines)
{
  std::string text;
  std::string why;
  if (!ReadNamedFile(path, MaximumTextFileBytes, "a scene file", text, why))
  {
    throw program_error("Cannot edit " + path + ": it " + why);
  }
  lines = ControlPointLineNumbers(text, separators);
  if (lines.size() != count)
  {
    throw program_error("Cannot edit " + path + ": it changed while it was read");
  }
  return text;
}

// The pair of point, on line of its file (0 for none).
EditedPair PairOf(const EditedPoint& point, int line)
{
  EditedPair pair;
  std::copy(point.Source, point.Source + 3, pair.Source);
  std::copy(point.Target, point.Target + 3, pair.Target);
  pair.Line = line;
  return pair;
}

// Appends an expression of the given pairs, which its file holds on lines
// (file is -1 when the points are not saved); Ids follow those given so far.
void AddExpression(EditState& state,
                   EditedFiles& files,
                   const std::string& name,
                   int file,
                   const std::vector<std::array<double, 6>>& pairs,
                   const std::vector<int>& lines,
                   int& nextId)
{
  PointsOfExpression points;
  for (std::size_t k = 0; k < pairs.size(); ++k)
  {
    EditedPoint point{ nextId++, {}, {} };
    std::copy(pairs[k].begin(), pairs[k].begin() + 3, point.Source);
    std::copy(pairs[k].begin() + 3, pairs[k].end(), point.Target);
    points.push_back(point);
    if (file >= 0)
    {
      files.Files[file].InFile[point.Id] = PairOf(point, lines[k]);
    }
  }
  state.Expressions.push_back(points);
  files.Expressions.push_back({ name, file });
}

std::vector<std::array<double, 6>> PairsOf(const PointList& sources, const PointList& targets)
{
  std::vector<std::array<double, 6>> pairs;
  for (std::size_t k = 0; k < sources.size(); ++k)
  {
    pairs.push_back(
      { sources[k][0], sources[k][1], sources[k][2], targets[k][0], targets[k][1], targets[k][2] });
  }
  return pairs;
}

// The pairs of points for their file, each with its line there and whether
// it changed; dirty tells whether the file must be written.
std::vector<EditedPair> PairsForFile(const PairFile& file,
                                     const PointsOfExpression& points,
                                     bool& dirty)
{
  std::vector<EditedPair> pairs;
  dirty = points.size() != file.InFile.size();
  for (const EditedPoint& point : points)
  {
    EditedPair pair = PairOf(point, 0);
    const auto inFile = file.InFile.find(point.Id);
    if (inFile != file.InFile.end())
    {
      const EditedPair& old = inFile->second;
      pair.Line = old.Line;
      pair.Changed = !std::equal(old.Source, old.Source + 3, point.Source) ||
                     !std::equal(old.Target, old.Target + 3, point.Target);
    }
    dirty = dirty || pair.Line == 0 || pair.Changed;
    pairs.push_back(pair);
  }
  return pairs;
}

// Rewrites file with points (and radius, unless 0); returns why it was not
// written, or an empty text.
std::string SaveFile(PairFile& file, const PointsOfExpression& points, double radius)
{
  bool dirty = false;
  const std::vector<EditedPair> pairs = PairsForFile(file, points, dirty);
  if (!dirty && radius == 0.0)
  {
    return "";
  }
  std::vector<int> lines;
  const std::string text =
    RewriteControlPointLines(file.Text, file.Separators, pairs, radius, lines);
  try
  {
    ReplaceSceneFile(file.Path, file.Text, text);
  }
  catch (const program_error& failure)
  {
    return failure.what();
  }
  file.Text = text;
  file.InFile.clear();
  for (std::size_t k = 0; k < pairs.size(); ++k)
  {
    file.InFile[points[k].Id] = PairOf(points[k], lines[k]);
  }
  std::cout << "Saved " << file.Path << ": " << points.size() << " control points" << std::endl;
  return "";
}
}

EditState ReadEditedFiles(const SceneInput& input, EditedFiles& files)
{
  vtkDatReader* reader = input.Settings;
  EditState state{ {}, reader->GetRadius() };
  int nextId = 0;
  std::vector<int> lines;
  vtkPoints* sources = reader->GetPointArray();
  vtkPoints* targets = reader->GetPointArrayN();
  const std::size_t own = static_cast<std::size_t>(sources->GetNumberOfPoints());
  files.Files.push_back({ SceneFileName,
                          PairSeparators::Blanks,
                          ReadPairText(SceneFileName, PairSeparators::Blanks, own, lines),
                          {} });
  files.Radius = state.Radius;
  if (own > 0)
  {
    std::vector<std::array<double, 6>> pairs(own);
    for (std::size_t k = 0; k < own; ++k)
    {
      sources->GetPoint(static_cast<vtkIdType>(k), pairs[k].data());
      targets->GetPoint(static_cast<vtkIdType>(k), pairs[k].data() + 3);
    }
    AddExpression(state, files, "default", 0, pairs, lines, nextId);
  }
  for (const ExpressionLine& line : ReadExpressionLines(reader))
  {
    PointList from;
    PointList to;
    int file = -1;
    if (line.Files.size() == 1)
    {
      ReadControlPairs(line.Files[0], from, to);
      if (!NamedBefore(files, line.Files[0]))
      {
        file = static_cast<int>(files.Files.size());
        files.Files.push_back(
          { line.Files[0],
            PairSeparators::BlanksOrCommas,
            ReadPairText(line.Files[0], PairSeparators::BlanksOrCommas, from.size(), lines),
            {} });
      }
    }
    else if (line.Files.size() == 2)
    {
      from = ReadPointFile(line.Files[0]);
      to = ReadPointFile(line.Files[1]);
      if (from.size() != to.size())
      {
        throw program_error("Cannot edit expression " + line.Name + ": it has " +
                            std::to_string(from.size()) + " sources in " + line.Files[0] + " but " +
                            std::to_string(to.size()) + " targets in " + line.Files[1]);
      }
    }
    AddExpression(state, files, line.Name, file, PairsOf(from, to), lines, nextId);
  }
  if (state.Expressions.empty())
  {
    // A scene without control points starts the default expression.
    AddExpression(state, files, "default", 0, {}, {}, nextId);
  }
  return state;
}

std::string SaveEditedFiles(EditedFiles& files, const EditState& state)
{
  std::string failures;
  for (std::size_t f = 0; f < files.Files.size(); ++f)
  {
    const PointsOfExpression none;
    const PointsOfExpression* points = &none;
    for (std::size_t e = 0; e < files.Expressions.size(); ++e)
    {
      if (files.Expressions[e].File == static_cast<int>(f))
      {
        points = &state.Expressions[e];
      }
    }
    const double radius = f == 0 && state.Radius != files.Radius ? state.Radius : 0.0;
    const std::string failure = SaveFile(files.Files[f], *points, radius);
    if (!failure.empty())
    {
      failures += (failures.empty() ? "" : "; ") + failure;
    }
    else if (f == 0)
    {
      files.Radius = state.Radius;
    }
  }
  return failures;
}
