#include <gtest/gtest.h>

#include <cmath>
#include <map>

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
    TAgent agent;
    agent.CalcDX(row.heading);
    agent.CalcDY(row.heading);
    EXPECT_EQ(agent.DX, row.dx) << row.heading;
    EXPECT_EQ(agent.DY, row.dy) << row.heading;
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
  SetSeed(2024);
  std::map<std::int32_t, int> counts;
  const int draws = 200000;
  for (int i = 0; i < draws; ++i) ++counts[TAgent::RandomBetween(-2, 2)];
  EXPECT_EQ(counts.begin()->first, -2);
  EXPECT_EQ(counts.rbegin()->first, 3);
  EXPECT_EQ(counts.size(), 6u);
  EXPECT_NEAR(counts[3] / double(draws), 0.1, 0.005);
  EXPECT_NEAR(counts[-2] / double(draws), 0.1, 0.005);
  EXPECT_NEAR(counts[0] / double(draws), 0.2, 0.005);
}

TEST(Agent, RandomBetweenEqualBoundsAndTies) {
  const struct {
    std::int32_t a;
    std::uint32_t next;  // the seed the draw sees
    std::int32_t expected;
  } cases[] = {{4, 0x7FFFFFFFu, 4}, {4, 0x80000001u, 5}, {4, 0x80000000u, 4},
               {5, 0x80000000u, 6}, {-2, 0x80000000u, 0}};
  for (const auto& c : cases) {
    SetSeed(SeedBefore(c.next));
    const std::int32_t b = c.a == -2 ? 2 : c.a;
    EXPECT_EQ(TAgent::RandomBetween(c.a, b), c.expected) << c.a << " " << c.next;
  }
}

TEST(Agent, HalfwayDrawLeavesTheHeading) {
  TAgent agent;
  agent.SetHeading(90);
  SetSeed(SeedBefore(0x80000000u));
  agent.ChangeHeading(2);
  EXPECT_EQ(agent.Heading, 90);
  EXPECT_EQ(agent.DX, 1);
  EXPECT_EQ(agent.DY, 0);
}

TEST(Agent, HeadingWrapsModulo2To32) {
  TAgent agent;
  agent.SetHeading(2147483610);
  SetSeed(SeedForTurn(1));
  agent.ChangeHeading(2);
  EXPECT_EQ(agent.Heading, -2147483641);
  EXPECT_EQ(agent.DX, RoundedSine(-2147483641));
}

TEST(Agent, TurnMatchesTheExtendedPrecisionRule) {
  // Every outcome of the draw, ties included, from headings all over the
  // range, for the step's n and for bounds whose count wraps.
  const std::int32_t ns[] = {2, 0, 1, 1000, -3, 2147483647, -2147483647 - 1};
  std::uint32_t s = 17;
  for (int i = 0; i < 140000; ++i) {
    s = NextSeed(s);
    const std::int32_t n = ns[i % 7];
    const std::int32_t heading = i % 3 == 0 ? static_cast<std::int32_t>(s ^ 0x5555u) : 45 * (i % 97 - 48);
    const std::uint32_t seed = i % 1000 < 7 ? SeedBefore(0x80000000u) : s * 2654435761u;
    const auto a = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(n));
    const auto count = static_cast<std::int32_t>(2u * static_cast<std::uint32_t>(n) + 1u);
    const long double u = std::ldexp(static_cast<long double>(NextSeed(seed)), -32);
    const std::int32_t k = Low32(RoundHalfEven(u * count + a));
    const auto expected = static_cast<std::int32_t>(static_cast<std::uint32_t>(heading) +
                                                    45u * static_cast<std::uint32_t>(k));
    TAgent agent;
    agent.SetHeading(heading);
    SetSeed(seed);
    agent.ChangeHeading(n);
    ASSERT_EQ(Seed(), NextSeed(seed));
    ASSERT_EQ(agent.Heading, expected) << seed << " n " << n;
    ASSERT_EQ(agent.DX, Low32(RoundHalfEven(Sine(expected))));
    ASSERT_EQ(agent.DY, Low32(RoundHalfEven(Cosine(expected))));
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
      EXPECT_EQ(canvas.PixelColour(x, y), dot ? TCanvas::Red : TCanvas::White) << x << "," << y;
    }
  }
  EXPECT_EQ(canvas.PenColour(), TCanvas::Red);
  EXPECT_EQ(canvas.BrushColour(), TCanvas::Red);
}

}  // namespace
}  // namespace dla
