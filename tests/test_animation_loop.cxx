// The animation's frame count and the triangle wave of its blend factor.
#include "animation_loop.h"
#include "read_stage.h"
#include "timeline.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace
{
std::vector<float> BlendFactors(int framesNumber, int loopCount)
{
  std::vector<float> factors;
  for (int64_t frame = 0; frame < FrameCount(framesNumber, loopCount); ++frame)
  {
    factors.push_back(BlendFactorOfFrame(frame, framesNumber));
  }
  return factors;
}

void ExpectFactors(const std::vector<float>& actual, const std::vector<double>& expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
  {
    EXPECT_EQ(actual[i], static_cast<float>(expected[i])) << "frame " << i;
  }
}
}

TEST(BlendFactor, DefaultsClimbInTenths)
{
  ExpectFactors(BlendFactors(10, 1), { 0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9 });
}

TEST(BlendFactor, FiveFramesTwoLoopsRiseFallAndRiseAgain)
{
  ExpectFactors(BlendFactors(5, 2), { 0, 0.2, 0.4, 0.6, 0.8, 0.6, 0.4, 0.2, 0, 0.2 });
}

TEST(BlendFactor, ThreeFramesThreeLoopsInThirds)
{
  ExpectFactors(BlendFactors(3, 3),
                { 0, 1.0 / 3, 2.0 / 3, 1.0 / 3, 0, 1.0 / 3, 2.0 / 3, 1.0 / 3, 0 });
}

TEST(BlendFactor, TwoFramesAlternate)
{
  ExpectFactors(BlendFactors(2, 3), { 0, 0.5, 0, 0.5, 0, 0.5 });
}

TEST(BlendFactor, FollowsTheTriangleWaveAndNeverReachesOne)
{
  for (int framesNumber = 2; framesNumber < 40; ++framesNumber)
  {
    const int sweep = framesNumber - 1;
    for (int frame = 0; frame < 5 * sweep; ++frame)
    {
      const int phase = frame % (2 * sweep);
      const int step = phase <= sweep ? phase : 2 * sweep - phase;
      const float expected = static_cast<float>(static_cast<double>(step) / framesNumber);
      ASSERT_EQ(BlendFactorOfFrame(frame, framesNumber), expected)
        << framesNumber << " frames, frame " << frame;
      ASSERT_LT(BlendFactorOfFrame(frame, framesNumber), 1.0f);
    }
  }
}

TEST(BlendFactor, NoSweepMeansNoDeformation)
{
  for (int framesNumber : { 1, 0, -1, -7, INT_MIN })
  {
    for (int frame : { 0, 1, 2, 1000 })
    {
      EXPECT_EQ(BlendFactorOfFrame(frame, framesNumber), 0.0f) << framesNumber << ", " << frame;
    }
  }
}

TEST(FrameCount, IsTheProductOrFrameZeroAlone)
{
  EXPECT_EQ(FrameCount(10, 1), 10);
  EXPECT_EQ(FrameCount(5, 2), 10);
  EXPECT_EQ(FrameCount(1, 1), 1);
  EXPECT_EQ(FrameCount(0, 5), 1);
  EXPECT_EQ(FrameCount(7, 0), 1);
  EXPECT_EQ(FrameCount(-3, 4), 1);
  EXPECT_EQ(FrameCount(4, -3), 1);
  EXPECT_EQ(FrameCount(-3, -4), 1);
}

TEST(FrameCount, DoesNotOverflow)
{
  EXPECT_EQ(FrameCount(INT_MAX, 2), 2 * static_cast<int64_t>(INT_MAX));
  EXPECT_EQ(FrameCount(INT_MAX, INT_MAX), static_cast<int64_t>(INT_MAX) * INT_MAX);
  EXPECT_EQ(FrameCount(INT_MIN, INT_MIN), 1);
}
