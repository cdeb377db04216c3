#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "ReferenceRules.h"
#include "SeedHelpers.h"
#include "TCanvas.h"
#include "agenten.h"

namespace dla {
namespace {

using test::SeedBefore;
using test::SeedForTurn;

TEST(Agent, StepVectorsOfTheHeadingTable) {
  const struct {
    std::int32_t heading, dx, dy;
  } table[] = {{-360, -1, 0}, {-315, -1, 1}, {-270, 0, 1},  {-225, 1, 0}, {-180, 1, -1}, {-135, 0, -1},
               {-90, -1, 0},  {-45, -1, 1},  {0, 0, 1},     {45, 1, 1},   {90, 1, 0},    {135, 0, -1},
               {180, -1, -1}, {225, -1, 0},  {270, 0, 1},   {315, 1, 1}};
  for (const auto& row : table) {
    EXPECT_EQ(test::RoundedSine(row.heading), row.dx) << row.heading;
    EXPECT_EQ(test::RoundedCosine(row.heading), row.dy) << row.heading;
  }
}

TEST(Agent, NewAgentIsZeroAndPlacingKeepsTheStepVector) {
  TAgent agent;
  EXPECT_EQ(agent.Moving | agent.X | agent.Y | agent.Radius | agent.Heading | agent.DX | agent.DY, 0);
  agent.SetHeading(135);
  agent.SetX(5);
  EXPECT_EQ(agent.DX, 0);
  EXPECT_EQ(agent.DY, 0);
}

TEST(Agent, RandomBetweenRunsFromAToBPlusOne) {
  TRandom random(2024);
  std::map<std::int32_t, int> counts;
  const int draws = 200000;
  for (int i = 0; i < draws; ++i) ++counts[test::RandomBetween(-2, 2, random)];
  EXPECT_EQ(counts.begin()->first, -2);
  EXPECT_EQ(counts.rbegin()->first, 3);
  EXPECT_EQ(counts.size(), 6u);
  EXPECT_NEAR(counts[3] / double(draws), 0.1, 0.005);
  EXPECT_NEAR(counts[-2] / double(draws), 0.1, 0.005);
  EXPECT_NEAR(counts[0] / double(draws), 0.2, 0.005);
}

TEST(Agent, HalfwayDrawLeavesTheHeading) {
  TAgent agent;
  agent.SetHeading(90);
  TRandom random(SeedBefore(0x80000000u));
  test::ChangeHeading(agent, 2, random);
  EXPECT_EQ(agent.Heading, 90);
  EXPECT_EQ(agent.DX, 1);
  EXPECT_EQ(agent.DY, 0);
}

TEST(Agent, HeadingWrapsModulo2To32) {
  TAgent agent;
  agent.SetHeading(2147483610);
  TRandom random(SeedForTurn(1));
  test::ChangeHeading(agent, 2, random);
  EXPECT_EQ(agent.Heading, -2147483641);
  EXPECT_EQ(agent.DX, test::RoundedSine(-2147483641));
}

TEST(Agent, RandomBetweenMatchesTheExtendedPrecisionFormula) {
  // The step's bounds, equal bounds and bounds whose count wraps, with draws
  // all over the range and ties (u = 1/2) among them.
  const std::pair<std::int32_t, std::int32_t> bounds[] = {
      {-2, 2}, {4, 4}, {5, 5}, {0, 0}, {-1000, 1000}, {7, -3}, {-2147483647 - 1, 2147483647}};
  std::uint32_t s = 17;
  for (int i = 0; i < 140000; ++i) {
    s = NextSeed(s);
    const auto [a, b] = bounds[i % 7];
    const std::uint32_t seed = i % 1000 < 7 ? SeedBefore(0x80000000u) : s * 2654435761u;
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(b) - static_cast<std::uint32_t>(a) + 1u);
    const long double u = std::ldexp(static_cast<long double>(NextSeed(seed)), -32);
    TRandom random(seed);
    ASSERT_EQ(test::RandomBetween(a, b, random), Low32(RoundHalfEven(u * count + a))) << seed << " " << a;
    ASSERT_EQ(random.Seed(), NextSeed(seed));
  }
}

TEST(Agent, DrawPaintsTheTwoByTwoBlockUpAndLeft) {
  TCanvas canvas(8, 8);
  TAgent agent;
  agent.SetX(2);
  agent.SetY(2);
  agent.SetRadius(1);
  agent.Moving = 0;  // a stuck agent is as red as a free one
  agent.Draw(canvas);
  for (std::int32_t y = 0; y < 8; ++y) {
    for (std::int32_t x = 0; x < 8; ++x) {
      const bool dot = (x == 1 || x == 2) && (y == 1 || y == 2);
      EXPECT_EQ(test::PixelColour(canvas, x, y), dot ? TCanvas::Red : TCanvas::White) << x << "," << y;
    }
  }
  EXPECT_EQ(canvas.PenColour(), TCanvas::Red);
  EXPECT_EQ(canvas.BrushColour(), TCanvas::Red);
}

}  // namespace
}  // namespace dla
