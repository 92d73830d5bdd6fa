#include "timeline.h"

#include "program_error.h"
#include "read_stage.h"
#include "vtkDatReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <sstream>

namespace
{
// One "Key FRAME NAME WEIGHT [NAME WEIGHT ...]" line: the frame and the
// (name, weight) pairs as written.
struct Key
{
  int64_t Frame;
  std::vector<std::pair<std::string, double>> Weights;
};

// Reads a Key line. The frame must be an integer from 0 to the frame limit
// and every weight a number that stays finite in single precision, the
// precision in which the transform blends the expressions (1e39 does not).
Key ParseKey(vtkDatReader* reader, const vtkDatReader::KeywordLine& line)
{
  std::istringstream fields(line.Text);
  std::string word;
  fields >> word;
  char* end = nullptr;
  const long long frame = std::strtoll(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || frame < 0 || frame >= MaximumFrameCount)
  {
    FailOnSceneLine(reader,
                    line.Line,
                    "Key needs a frame from 0 to " + std::to_string(MaximumFrameCount - 1) +
                      ", then expression names and weights");
  }
  Key key{ frame, {} };
  for (std::string name, value; fields >> name;)
  {
    fields >> value;
    const double weight = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(weight))
    {
      FailOnSceneLine(reader, line.Line, "the weight of " + name + " is not a finite number");
    }
    if (!std::isfinite(static_cast<float>(weight)))
    {
      FailOnSceneLine(
        reader,
        line.Line,
        "the weight of " + name + ", " + value +
          ", is beyond the single-precision range (about 3.4e38) in which weights are used");
    }
    key.Weights.emplace_back(name, weight);
  }
  if (key.Weights.empty())
  {
    FailOnSceneLine(reader, line.Line, "Key needs at least one expression name and weight");
  }
  return key;
}

// Linear between the keys around frame, held outside them, 0 without keys.
double TrackWeight(const std::map<int64_t, double>& track, int64_t frame)
{
  if (track.empty())
  {
    return 0.0;
  }
  const auto next = track.upper_bound(frame);
  if (next == track.begin())
  {
    return next->second;
  }
  const auto previous = std::prev(next);
  if (next == track.end())
  {
    return previous->second;
  }
  const double t = static_cast<double>(frame - previous->first) /
                   static_cast<double>(next->first - previous->first);
  return previous->second + (next->second - previous->second) * t;
}
}

int64_t SceneFrameCount(vtkDatReader* reader)
{
  if (reader->GetKeyLines().empty())
  {
    return FrameCount(reader->GetFramesNumber(), reader->GetLoopCount());
  }
  int64_t frames = 1;
  for (const auto& line : reader->GetKeyLines())
  {
    frames = std::max<int64_t>(frames, ParseKey(reader, line).Frame + 1);
  }
  return frames;
}

std::vector<double> LargestKeyWeights(vtkDatReader* reader, const std::vector<std::string>& names)
{
  std::vector<double> largest(names.size(), 0.0);
  for (const auto& line : reader->GetKeyLines())
  {
    for (const auto& [name, weight] : ParseKey(reader, line).Weights)
    {
      const auto found = std::find(names.begin(), names.end(), name);
      if (found != names.end())
      {
        double& bound = largest[found - names.begin()];
        bound = std::max(bound, std::fabs(weight));
      }
    }
  }
  return largest;
}

float BlendFactorOfFrame(int64_t frame, int framesNumber)
{
  const int64_t sweep = static_cast<int64_t>(framesNumber) - 1; // frames of one rise or fall
  if (sweep <= 0)
  {
    return 0.0f;
  }
  const int64_t quotient = frame / sweep;
  const int64_t remainder = frame % sweep;
  const int64_t falling = quotient % 2;
  const int64_t sign = falling ? -1 : 1;
  return static_cast<float>(static_cast<double>(sign * remainder + falling * sweep) / framesNumber);
}

Timeline ReadTimeline(vtkDatReader* reader, const std::vector<std::string>& names, int wave)
{
  Timeline timeline;
  timeline.Tracks.resize(names.size());
  for (const auto& line : reader->GetKeyLines())
  {
    const Key key = ParseKey(reader, line);
    for (const auto& [name, weight] : key.Weights)
    {
      const auto found = std::find(names.begin(), names.end(), name);
      if (found == names.end())
      {
        FailOnSceneLine(reader, line.Line, "Key names " + name + ", which is not an expression");
      }
      // A second key at one frame replaces the first.
      timeline.Tracks[found - names.begin()][key.Frame] = weight;
    }
    timeline.Frames = std::max<int64_t>(timeline.Frames, key.Frame + 1);
  }
  if (!reader->GetKeyLines().empty())
  {
    if (reader->GetFramesLine() > 0)
    {
      std::cerr << "Warning: " << reader->FileName << " line " << reader->GetFramesLine()
                << ": FramesNumber and LoopCount do not apply: the Key lines give the run its "
                << timeline.Frames << " frames" << std::endl;
    }
    return timeline;
  }
  if (names.size() > 1 || wave < 0)
  {
    std::cerr << "Warning: " << reader->FileName << " has no Key lines: "
              << (wave >= 0 ? "the default expression plays the triangle wave and the others keep "
                              "weight 0"
                            : "every expression keeps weight 0")
              << std::endl;
  }
  timeline.Wave = wave;
  timeline.FramesNumber = reader->GetFramesNumber();
  timeline.Frames = FrameCount(reader->GetFramesNumber(), reader->GetLoopCount());
  return timeline;
}

std::vector<double> WeightsOfFrame(const Timeline& timeline, int64_t frame)
{
  std::vector<double> weights(timeline.Tracks.size(), 0.0);
  for (size_t k = 0; k < weights.size(); ++k)
  {
    weights[k] = static_cast<float>(TrackWeight(timeline.Tracks[k], frame));
  }
  if (timeline.Wave >= 0)
  {
    weights[timeline.Wave] = BlendFactorOfFrame(frame, timeline.FramesNumber);
  }
  return weights;
}
