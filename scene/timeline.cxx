#include "timeline.h"

#include "program_error.h"
#include "read_stage.h"
#include "vtkDatReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace
{
[[noreturn]] void Fail(vtkDatReader* reader, int line, const std::string& text)
{
  std::ostringstream message;
  message << reader->FileName << " line " << line << ": " << text;
  throw program_error(message.str());
}

// Adds (frame, weight) to a track kept in frame order; a second key at one
// frame replaces the first.
void SetKey(std::vector<std::pair<int64_t, double>>& track, int64_t frame, double weight)
{
  auto at = std::lower_bound(
    track.begin(), track.end(), frame, [](const auto& key, int64_t f) { return key.first < f; });
  if (at != track.end() && at->first == frame)
  {
    at->second = weight;
    return;
  }
  track.insert(at, { frame, weight });
}

// Linear between the keys around frame, held outside them, 0 without keys.
double TrackWeight(const std::vector<std::pair<int64_t, double>>& track, int64_t frame)
{
  if (track.empty())
  {
    return 0.0;
  }
  if (frame <= track.front().first)
  {
    return track.front().second;
  }
  if (frame >= track.back().first)
  {
    return track.back().second;
  }
  auto next = std::upper_bound(
    track.begin(), track.end(), frame, [](int64_t f, const auto& key) { return f < key.first; });
  auto previous = next - 1;
  const double t = static_cast<double>(frame - previous->first) /
                   static_cast<double>(next->first - previous->first);
  return previous->second + (next->second - previous->second) * t;
}
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
  for (const auto& key : reader->GetKeyLines())
  {
    std::istringstream fields(key.Text);
    std::string word;
    fields >> word;
    char* end = nullptr;
    const long long frame = std::strtoll(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || frame < 0 || frame >= MaximumFrameCount)
    {
      Fail(reader,
           key.Line,
           "Key needs a frame from 0 to " + std::to_string(MaximumFrameCount - 1) +
             ", then expression names and weights");
    }
    int pairs = 0;
    for (std::string name, value; fields >> name;)
    {
      const auto found = std::find(names.begin(), names.end(), name);
      if (found == names.end())
      {
        Fail(reader, key.Line, "Key names " + name + ", which is not an expression");
      }
      fields >> value;
      const double weight = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(weight))
      {
        Fail(reader, key.Line, "the weight of " + name + " is not a finite number");
      }
      SetKey(timeline.Tracks[found - names.begin()], frame, weight);
      ++pairs;
    }
    if (pairs == 0)
    {
      Fail(reader, key.Line, "Key needs at least one expression name and weight");
    }
    timeline.Frames = std::max<int64_t>(timeline.Frames, frame + 1);
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
