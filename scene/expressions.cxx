#include "expressions.h"

#include "expression_files.h"
#include "program_error.h"
#include "read_stage.h"
#include "stopwatch.h"
#include "vtkDatReader.h"
#include "vtkExpressionTransform.h"

#include <vtkNew.h>
#include <vtkPoints.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <unordered_set>

namespace
{
void Fill(vtkPoints* points, const PointList& list)
{
  points->SetNumberOfPoints(static_cast<vtkIdType>(list.size()));
  for (size_t i = 0; i < list.size(); ++i)
  {
    points->SetPoint(static_cast<vtkIdType>(i), list[i].data());
  }
}

// "default", the expression of the scene's own control-point lines, when it
// has any.
std::vector<std::string> DefaultExpression(vtkDatReader* reader)
{
  if (reader->GetPointArray()->GetNumberOfPoints() > 0)
  {
    return { "default" };
  }
  return {};
}

// Adds the expression of one "Expression NAME FILE" or "Expression NAME
// SOURCES TARGETS" line.
void AddExpressionLine(ExpressionRun& run, vtkDatReader* reader, const ExpressionLine& line)
{
  PointList sources;
  PointList targets;
  if (line.Files.size() == 1)
  {
    ReadControlPairs(line.Files[0], sources, targets);
  }
  else
  {
    sources = ReadPointFile(line.Files[0]);
    targets = ReadPointFile(line.Files[1]);
    if (sources.size() != targets.size())
    {
      FailOnSceneLine(reader,
                      line.Line,
                      "expression " + line.Name + " has " + std::to_string(sources.size()) +
                        " sources in " + line.Files[0] + " but " + std::to_string(targets.size()) +
                        " targets in " + line.Files[1]);
    }
  }
  if (sources.empty())
  {
    FailOnSceneLine(reader, line.Line, "expression " + line.Name + " has no control points");
  }
  vtkNew<vtkPoints> source;
  vtkNew<vtkPoints> target;
  Fill(source, sources);
  Fill(target, targets);
  run.Transform->AddExpression(line.Name.c_str(), source, target);
  run.Names.push_back(line.Name);
}
}

std::vector<ExpressionLine> ReadExpressionLines(vtkDatReader* reader)
{
  std::vector<ExpressionLine> lines;
  const std::vector<std::string> fixed = DefaultExpression(reader);
  std::unordered_set<std::string> names(fixed.begin(), fixed.end());
  for (const auto& keyword : reader->GetExpressionLines())
  {
    std::istringstream fields(keyword.Text);
    std::vector<std::string> words;
    for (std::string word; fields >> word && word[0] != '#';)
    {
      words.push_back(word);
    }
    if (words.size() < 2 || words.size() > 3)
    {
      FailOnSceneLine(reader, keyword.Line, "Expression needs NAME FILE or NAME SOURCES TARGETS");
    }
    const std::string& name = words[0];
    if (!vtkExpressionTransform::IsExpressionName(name.c_str()))
    {
      FailOnSceneLine(
        reader, keyword.Line, "the expression name " + name + " is not letters, digits and _");
    }
    if (!names.insert(name).second)
    {
      FailOnSceneLine(reader,
                      keyword.Line,
                      "there is an expression named " + name +
                        " already (default is the scene's own control points)");
    }
    lines.push_back({ keyword.Line, name, { words.begin() + 1, words.end() } });
  }
  return lines;
}

std::vector<std::string> ExpressionNamesOf(vtkDatReader* reader)
{
  std::vector<std::string> names = DefaultExpression(reader);
  for (const ExpressionLine& line : ReadExpressionLines(reader))
  {
    names.push_back(line.Name);
  }
  return names;
}

bool HasExpressions(vtkDatReader* reader)
{
  return !reader->GetExpressionLines().empty() || !reader->GetKeyLines().empty();
}

void ApplySceneFitSettings(vtkLandmarkSplineTransform* transform, vtkDatReader* reader)
{
  transform->SetSupportRadius(reader->GetRadius());
  const animation::core::fit_options& options = reader->GetFitOptions();
  if (options.Kernel == animation::core::basis_kernel::wendland)
  {
    transform->SetKernelToWendland();
  }
  transform->SetPolynomial(options.Polynomial);
  transform->SetSmoothing(options.Smoothing);
}

vtkExpressionTransform* NewExpressionTransform(vtkDatReader* reader)
{
  vtkExpressionTransform* transform = vtkExpressionTransform::New();
  ApplySceneFitSettings(transform, reader);
  transform->SetRefinementThreshold(reader->GetFitOptions().RefineAbove);
  return transform;
}

ExpressionRun* SolveExpressions(vtkDatReader* reader)
{
  auto release = [](ExpressionRun* run) { ReleaseExpressions(run); };
  std::unique_ptr<ExpressionRun, decltype(release)> run(
    new ExpressionRun{ NewExpressionTransform(reader), {}, {} }, release);
  if (reader->GetPointArray()->GetNumberOfPoints() > 0)
  {
    run->Transform->AddExpression("default", reader->GetPointArray(), reader->GetPointArrayN());
    run->Names.push_back("default");
  }
  for (const ExpressionLine& line : ReadExpressionLines(reader))
  {
    AddExpressionLine(*run, reader, line);
  }
  if (run->Names.empty())
  {
    throw program_error(std::string(reader->FileName) +
                        " has Key lines but no expression: no control points and no "
                        "Expression line");
  }
  run->Keys = ReadTimeline(reader, run->Names, run->Names[0] == "default" ? 0 : -1);

  stopwatch_start();
  if (!run->Transform->Fit())
  {
    throw program_error(run->Transform->GetFitError());
  }
  std::cout << "Solving time: " << stopwatch_elapsed() << " sec. " << std::endl;
  std::cout << "Factorisations: " << run->Transform->GetNumberOfFactorisations() << " for "
            << run->Names.size() << " expressions." << std::endl;
  if (run->Transform->GetRefinementSteps() > 0)
  {
    ReportFitRefinement(run->Transform->GetFitResidualBeforeRefinement(),
                        run->Transform->GetFitResidual(),
                        run->Transform->GetPolynomialLoss());
  }
  ShowFrameWeights(*run, 0);
  return run.release();
}

void ReportFitRefinement(double before, double after, double polynomialLoss)
{
  std::cerr << "The single-precision fit missed the control points by up to " << before
            << " of the largest control-point move, and its affine part could be off by "
            << polynomialLoss << "; refined in double precision, it misses them by up to " << after
            << std::endl;
}

void ShowFrameWeights(ExpressionRun& run, int64_t frame)
{
  const std::vector<double> weights = WeightsOfFrame(run.Keys, frame);
  for (size_t k = 0; k < weights.size(); ++k)
  {
    run.Transform->SetWeight(static_cast<int>(k), weights[k]);
  }
}

void ReleaseExpressions(ExpressionRun* run)
{
  if (run)
  {
    run->Transform->Delete();
    delete run;
  }
}
