#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "CellGrid.h"
#include "ReferenceStep.h"
#include "ReferenceRules.h"
#include "Render.h"
#include "SeedHelpers.h"
#include "TWorld.h"
#include "TWorldState.h"

namespace dla {
namespace {

using test::Arrival;
using test::CellGrid;
using test::SeedBefore;

// A world whose next step brings free agents onto the cells.
TWorld WorldWith(const std::vector<Arrival>& arrivals, std::int32_t width = 404, std::int32_t height = 404) {
  TWorld world(width, height, FixedSeed(3));
  world.SetAgents(test::ArrivingAt(world.Seed(), world.GridRows(), arrivals));
  return world;
}

// The world's picture as a canvas of its drawing area.
TCanvas Picture(const TWorld& world) {
  TCanvas canvas(world.DrawingWidth(), world.DrawingHeight());
  Render(world, canvas);
  return canvas;
}

TEST(Step, AggregationNeedsMoreThanTheThreshold) {
  const struct {
    const char* name;
    std::vector<Arrival> agents;
    std::vector<std::pair<std::int32_t, std::int32_t>> aggregated;
    std::vector<std::int32_t> sums;  // NeighbourSum of each placed cell, in order
  } cases[] = {
      {"seven in one cell", {{10, 10, 7}}, {{10, 10}}, {7}},
      {"six in a block", {{10, 10, 2}, {11, 11, 2}, {9, 9, 2}}, {}, {6, 4, 4}},
      {"one, three, three", {{10, 10, 1}, {11, 10, 3}, {12, 10, 3}}, {{11, 10}}, {4, 7, 6}},
  };
  for (const auto& c : cases) {
    TWorld world = WorldWith(c.agents);
    world.RunStep(6);
    const CellGrid cells(world);
    std::int32_t aggregated = 0;
    for (std::size_t i = 0; i < c.agents.size(); ++i) {
      const test::CellView cell = cells[c.agents[i].column][c.agents[i].row];
      EXPECT_EQ(cell.NeighbourSum, c.sums[i]) << c.name << " cell " << i;
    }
    for (std::int32_t r = 0; r < world.GridRows(); ++r) {
      for (std::int32_t col = 0; col < world.GridColumns(); ++col) {
        aggregated += cells[col][r].Shade == 255;
      }
    }
    EXPECT_EQ(aggregated, static_cast<std::int32_t>(c.aggregated.size())) << c.name;
    EXPECT_EQ(world.AggregatedCells(), aggregated);
    EXPECT_EQ(world.NewAggregates().size(), c.aggregated.size()) << c.name;
    for (const auto& [col, row] : c.aggregated) {
      EXPECT_EQ(cells[col][row].Shade, 255) << c.name;
      for (const TAgent& agent : world.CopyAgents()) {
        const bool inside = (agent.X - 1) / 3 == col && (agent.Y - 1) / 3 == row;
        EXPECT_EQ(agent.Moving, inside ? 0 : 1) << c.name;
      }
    }
  }
}

TEST(Step, AggregatedCellsKeepCountingAndCatchNeighbours) {
  TWorld world = WorldWith({{10, 10, 7}});
  for (const std::int32_t expected : {7, 14, 21}) {
    world.RunStep(6);
    EXPECT_EQ(CellGrid(world)[10][10].State(), expected);
    // Aggregated in the first of these steps only.
    EXPECT_EQ(world.NewAggregates().size(), expected == 7 ? 1u : 0u);
  }
  // One agent next to the aggregate: its block sum is 28 + 1 > 6.
  std::vector<TAgent> agents = world.CopyAgents();
  agents.push_back(test::ArrivingAt(world.Seed(), world.GridRows(), {{11, 10, 1}}).front());
  world.SetAgents(agents);
  world.RunStep(6);
  EXPECT_EQ(CellGrid(world)[11][10].NeighbourSum, 29);
  EXPECT_EQ(CellGrid(world)[11][10].Shade, 255);
  EXPECT_EQ(world.CopyAgents().back().Moving, 0);
  // Counts saturate rather than wrap, whether added every step (the first
  // after a load) or held back and caught up when read.
  TWorldState state = world.State();
  state.States[static_cast<std::size_t>(10 * world.GridColumns() + 10)] = 2147483647 - 3;
  TWorld loaded(state);
  for (int i = 0; i < 6; ++i) {
    loaded.RunStep(6);
    ASSERT_EQ(CellGrid(loaded)[10][10].State(), 2147483647) << "step " << loaded.StepCount();
  }
}

TEST(Step, NeighbourhoodWrapsRoundTheTorus) {
  std::vector<Arrival> block;
  for (const std::int32_t row : {134, 0, 1}) {
    for (const std::int32_t column : {134, 0, 1}) block.push_back({column, row, 1});
  }
  block.push_back({2, 0, 5});
  block.push_back({0, 2, 5});
  TWorld world = WorldWith(block);
  world.RunStep(65535);
  EXPECT_EQ(CellGrid(world)[0][0].NeighbourSum, 9);
  EXPECT_EQ(CellGrid(world)[134][134].NeighbourSum, 4);
}

TEST(Step, NarrowLatticesCountCellsMoreThanOnce) {
  // 1x1, 1x3 and 2x2 lattices; on the last, one more agent in the other
  // column and row, which the block of (0, 0) holds four times.
  const struct {
    std::int32_t width, height, expected;
    std::vector<Arrival> agents;
  } cases[] = {{4, 4, 9, {{0, 0, 1}}}, {4, 10, 3, {{0, 0, 1}}}, {6, 6, 5, {{0, 0, 1}, {1, 1, 1}}}};
  for (const auto& c : cases) {
    TWorld world = WorldWith(c.agents, c.width, c.height);
    world.RunStep(65535);
    EXPECT_EQ(CellGrid(world)[0][0].NeighbourSum, c.expected) << c.width << "x" << c.height;
  }
}

TEST(Step, AgentsWrapAtEveryEdge) {
  // Headings 90, 225, 0 and 135 point right, left, down and up; a draw of
  // exactly one half keeps the heading.
  const struct {
    std::int32_t x, y, heading, newX, newY, column, row;
  } cases[] = {
      {2, 200, 225, 403, 200, 134, 66}, {404, 200, 90, 1, 200, 0, 66},
      {1, 200, 225, 403, 200, 134, 66}, {403, 200, 90, 1, 200, 0, 66},
      {200, 2, 135, 200, 403, 66, 134}, {200, 404, 0, 200, 1, 66, 0},
      {200, 1, 135, 200, 403, 66, 134}, {200, 403, 0, 200, 1, 66, 0},
      {5, 200, 225, 2, 200, 0, 66},
  };
  for (const auto& c : cases) {
    TWorld world(404, 404, FixedSeed(3));
    TAgent agent;
    agent.SetX(c.x);
    agent.SetY(c.y);
    agent.SetHeading(c.heading);
    agent.SetRadius(1);
    agent.Moving = 1;
    world.SetAgents({agent});
    world.Reseed(SeedBefore(0x80000000u));
    const StepResult result = world.RunStep(6);
    EXPECT_EQ(result.FreeAgents, 1);
    EXPECT_EQ(world.CopyAgents()[0].X, c.newX) << c.x << "," << c.y;
    EXPECT_EQ(world.CopyAgents()[0].Y, c.newY) << c.x << "," << c.y;
    EXPECT_EQ(world.CopyStates()[c.row * world.GridColumns() + c.column], 1) << c.x << "," << c.y;
  }
}

TEST(Step, RunOutcomes) {
  const struct {
    const char* name;
    std::int32_t agents;
    std::uint16_t threshold;
    std::vector<std::int32_t> freeAgents;  // per step
  } cases[] = {
      {"first step moves everyone", 2000, 6, {2000}},
      {"empty population ends at once", 0, 6, {0, 0}},
      {"threshold 0 stops all in step 1", 500, 0, {500, 0, 0}},
      {"a lone agent never aggregates", 1, 6, std::vector<std::int32_t>(50, 1)},
  };
  for (const auto& c : cases) {
    TWorld world(404, 404, FixedSeed(11));
    world.CreateAgents(c.agents);
    for (std::size_t i = 0; i < c.freeAgents.size(); ++i) {
      const StepResult r = world.RunStep(c.threshold);
      EXPECT_EQ(r.FreeAgents, c.freeAgents[i]) << c.name << " step " << i + 1;
      EXPECT_EQ(r.AnyFree, c.freeAgents[i] > 0) << c.name;
      EXPECT_EQ(r.StepNumber, static_cast<std::int32_t>(i + 1)) << c.name;
    }
  }
}

TEST(Step, AgentsNoRunMakesAreRefusedBeforeAnythingChanges) {
  TWorld world(404, 404, FixedSeed(2));
  world.CreateAgents(10);
  const std::vector<TAgent> before = world.CopyAgents();
  // The same world with every cell aggregated, where a stuck agent may stand
  // anywhere on the lattice.
  TWorldState aggregated = world.State();
  std::ranges::fill(aggregated.Shades, std::uint8_t{255});
  // Free agents need 1 <= v < 405 off the multiples of 3, stuck ones
  // 1 <= v <= 405 in an aggregated cell; Moving is 1 or 0.
  enum TOutcome { OffTheLattice, NoRunsAgent, Fits, FitsInAnAggregate };
  const struct {
    std::int32_t x, moving;
    TOutcome outcome;
  } cases[] = {{0, 1, OffTheLattice},     {405, 1, OffTheLattice},    {3, 1, OffTheLattice},
               {406, 0, OffTheLattice},   {-7, 0, OffTheLattice},     {1, 1, Fits},
               {404, 1, Fits},            {405, 0, FitsInAnAggregate}, {3, 0, FitsInAnAggregate},
               {2, 2, NoRunsAgent},       {2, -1, NoRunsAgent}};
  for (const auto& c : cases) {
    std::vector<TAgent> agents = before;
    agents[5].SetX(c.x);
    agents[5].Moving = c.moving;
    if (c.outcome == OffTheLattice) {
      EXPECT_THROW(world.SetAgents(agents), std::out_of_range) << c.x;
    } else if (c.outcome != Fits) {
      // Moving neither 0 nor 1, or a stuck agent in an open cell.
      EXPECT_THROW(world.SetAgents(agents), std::invalid_argument) << c.x;
    }
    EXPECT_TRUE(std::ranges::equal(world.CopyAgents(), before, [](const TAgent& a, const TAgent& b) {
      return a.X == b.X && a.Moving == b.Moving;
    })) << c.x;
    if (c.outcome == OffTheLattice || c.outcome == NoRunsAgent) continue;
    TWorld fits = c.outcome == Fits ? TWorld(404, 404, FixedSeed(2)) : TWorld(aggregated, FixedSeed(2));
    fits.SetAgents(agents);
    EXPECT_EQ(fits.RunStep(6).FreeAgents, c.moving == 1 ? 10 : 9) << c.x;
    const TAgent moved = fits.CopyAgents()[5];
    EXPECT_EQ(fits.CopyStates()[(moved.Y - 1) / 3 * fits.GridColumns() + (moved.X - 1) / 3], 1) << c.x;
  }
  EXPECT_EQ(world.StepCount(), 0);
}

// The fast step against the literal one: results, agents, cells and every
// pixel, step by step, over lattices of every shape and both ends of a run.
struct LiteralCase {
  const char* name;
  std::int32_t width, height, agents;
  std::uint16_t threshold;
  std::uint32_t seed;
  std::int32_t steps;  // the last step compared
  bool ends;           // whether the run ends there
  bool wideDot = false;  // agent 3 drawn with radius 3, past its cell
  // Agents, cells and pixels looked at only every lookEvery steps and at the
  // last, so that whatever the world puts off piles up in between.
  std::int32_t lookEvery = 1;
  // Not 0: agent k starts with heading headingsFrom + 45 * (k % 64),
  // wrapping, so that headings wrap past the 32-bit range (both ways, as
  // they wander).
  std::int32_t headingsFrom = 0;
  // From step laterFrom on, the threshold is laterThreshold.
  std::int32_t laterFrom = 0;
  std::uint16_t laterThreshold = 0;
};

// Agents, cells and every pixel of the two worlds alike.
testing::AssertionResult SameWorlds(const test::ReferenceWorld& reference, const TWorld& world) {
  const std::vector<TAgent> agents = world.CopyAgents();
  for (std::size_t k = 0; k < agents.size(); ++k) {
    const TAgent& a = agents[k];
    const TAgent& b = reference.Agents[k];
    if (!(a.X == b.X && a.Y == b.Y && a.Moving == b.Moving && a.Heading == b.Heading && a.DX == b.DX &&
          a.DY == b.DY)) {
      return testing::AssertionFailure() << "agent " << k;
    }
  }
  const CellGrid cells(world);
  for (std::int32_t r = 0; r < world.GridRows(); ++r) {
    for (std::int32_t col = 0; col < world.GridColumns(); ++col) {
      const test::CellView a = cells[col][r];
      const test::TCell& b = reference.Cells[col][r];
      if (!(a.Shade == b.Shade && a.State() == b.State() && a.NeighbourSum == b.NeighbourSum &&
            std::ranges::equal(a.AgentIndexes, b.AgentIndexes))) {
        return testing::AssertionFailure() << "cell " << col << "," << r;
      }
    }
  }
  const TCanvas picture = Picture(world);
  for (std::int32_t y = 0; y < picture.Height(); ++y) {
    for (std::int32_t x = 0; x < picture.Width(); ++x) {
      if (picture.Pixel(x, y) != reference.Canvas.Pixel(x, y)) {
        return testing::AssertionFailure() << "pixel " << x << "," << y;
      }
    }
  }
  return testing::AssertionSuccess();
}

class LiteralStep : public testing::TestWithParam<LiteralCase> {};

TEST_P(LiteralStep, MatchesBitForBit) {
  const LiteralCase& c = GetParam();
  test::ReferenceWorld reference(c.width, c.height, c.seed, c.agents);
  TWorld world(c.width, c.height, FixedSeed(c.seed));
  world.CreateAgents(c.agents);
  if (c.wideDot || c.headingsFrom != 0) {
    std::vector<TAgent> agents = world.CopyAgents();
    if (c.wideDot) agents[3].SetRadius(3);
    for (std::size_t k = 0; c.headingsFrom != 0 && k < agents.size(); ++k) {
      agents[k].SetHeading(
          static_cast<std::int32_t>(static_cast<std::uint32_t>(c.headingsFrom) + 45u * (k % 64)));
    }
    world.SetAgents(agents);
    reference.Agents = agents;
  }
  StepResult actual;
  do {
    const std::uint16_t threshold =
        c.laterFrom != 0 && world.StepCount() + 1 >= c.laterFrom ? c.laterThreshold : c.threshold;
    const StepResult expected = reference.RunStep(threshold);
    actual = world.RunStep(threshold);
    ASSERT_TRUE(actual.FreeAgents == expected.FreeAgents && actual.AnyFree == expected.AnyFree &&
                actual.StepNumber == expected.StepNumber) << "step " << actual.StepNumber;
    if (actual.StepNumber % c.lookEvery == 0 || !actual.AnyFree || actual.StepNumber == c.steps) {
      ASSERT_TRUE(SameWorlds(reference, world)) << "step " << actual.StepNumber;
    }
  } while (actual.AnyFree && actual.StepNumber < c.steps);
  EXPECT_EQ(actual.StepNumber, c.steps);
  EXPECT_EQ(actual.AnyFree, !c.ends);

  // The same picture in a web canvas's byte order, into a buffer wider than
  // the picture: every pixel the same colour, the margin untouched.
  const std::ptrdiff_t stride = c.width + 3;
  std::vector<std::uint32_t> rgba(static_cast<std::size_t>(stride * c.height), 0x12345678u);
  Render(world, rgba.data(), stride, PixelOrder::Rgba8888);
  for (std::int32_t y = 0; y < c.height; ++y) {
    for (std::int32_t x = 0; x < stride; ++x) {
      const std::uint32_t pixel = rgba[static_cast<std::size_t>(y * stride + x)];
      ASSERT_EQ(pixel, x < c.width ? 0xFF000000u | test::PixelColour(reference.Canvas, x, y) : 0x12345678u)
          << "pixel " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worlds, LiteralStep,
    testing::Values(LiteralCase{"DefaultArea", 404, 404, 2000, 6, 12345, 1884, true},
                    LiteralCase{"ThresholdTwo", 404, 404, 600, 2, 1, 40, false},
                    LiteralCase{"OddSides", 403, 406, 800, 6, 99, 30, false},
                    LiteralCase{"Small", 121, 121, 150, 4, 1, 285, true},
                    LiteralCase{"Wide", 150, 100, 250, 4, 9, 136, true},
                    LiteralCase{"Crowded", 61, 61, 300, 6, 7, 9, true},
                    LiteralCase{"CrowdedOddSides", 62, 59, 200, 3, 8, 5, true},
                    LiteralCase{"Tiny", 10, 7, 30, 6, 5, 2, true},
                    LiteralCase{"OneCell", 4, 4, 5, 6, 6, 2, true},
                    LiteralCase{"TwoColumnsHighThreshold", 5, 8, 9, 20, 4, 50, false},
                    LiteralCase{"ThresholdZero", 31, 29, 60, 0, 3, 2, true},
                    LiteralCase{"ThresholdNeverReached", 30, 30, 100, 65535, 2, 100, false},
                    LiteralCase{"NoAgents", 404, 404, 0, 6, 0, 1, true},
                    LiteralCase{"Strip", 100, 40, 400, 8, 4242, 17, true},
                    LiteralCase{"WideDot", 60, 60, 50, 6, 21, 40, false, true},
                    LiteralCase{.name = "SeldomLookedAt", .width = 200, .height = 200, .agents = 700,
                                .threshold = 6, .seed = 77, .steps = 281, .ends = true, .lookEvery = 37},
                    LiteralCase{.name = "ThresholdRaised", .width = 150, .height = 100, .agents = 250,
                                .threshold = 4, .seed = 9, .steps = 168, .ends = true, .lookEvery = 5,
                                .laterFrom = 20, .laterThreshold = 12},
                    LiteralCase{.name = "HeadingsWrap", .width = 121, .height = 121, .agents = 131,
                                .threshold = 65535, .seed = 3, .steps = 300, .ends = false,
                                .headingsFrom = 2147483647 - 45 * 70}),
    [](const testing::TestParamInfo<LiteralCase>& info) { return std::string(info.param.name); });

// Every agent, in the groups the fast step moves together and in the rest,
// takes its own draw, including the draws where the turn changes and the tie
// at u = 1/2.
TEST(Step, EveryAgentTakesItsOwnDrawAtTheEdges) {
  const std::uint32_t draws[] = {0u,          429496729u,  429496730u,  1288490188u, 1288490189u,
                                 0x80000000u, 0x80000001u, 3006477107u, 3006477108u, 3865470566u,
                                 3865470567u, 0xFFFFFFFFu};
  for (const std::uint32_t draw : draws) {
    for (const std::uint32_t agent : {0u, 5u, 7u, 8u, 18u}) {
      test::ReferenceWorld reference(60, 60, 5, 19);
      TWorld world(60, 60, FixedSeed(5));
      world.CreateAgents(19);
      reference.RunStep(65535);
      world.RunStep(65535);
      // The second step's draw for `agent` is `draw`.
      std::uint32_t seed = draw;
      for (std::uint32_t i = 0; i <= agent; ++i) seed = SeedBefore(seed);
      reference.Reseed(seed);
      world.Reseed(seed);
      reference.RunStep(65535);
      world.RunStep(65535);
      ASSERT_TRUE(SameWorlds(reference, world)) << "draw " << draw << " for agent " << agent;
    }
  }
}

// Whole runs pinned by digests (FNV-1a 64) of the free-agents series and the
// final picture, produced once by the literal step. A fault that the fast and
// the literal step share, in the random source or the placement draws, shows
// here.
std::uint64_t Fnv1a(std::uint64_t hash, std::uint32_t value) {
  for (int byte = 0; byte < 4; ++byte) {
    hash ^= (value >> (8 * byte)) & 0xFFu;
    hash *= 0x100000001B3u;
  }
  return hash;
}

TEST(Step, WholeRunsMatchTheirPinnedDigests) {
  const struct {
    std::int32_t width, height, agents;
    std::uint16_t threshold;
    std::uint32_t seed;
    std::int32_t steps;
    std::uint64_t series, picture;
  } cases[] = {
      {404, 404, 2000, 6, 12345, 1884, 0x489CBEABD43D87B1u, 0xF74712262B5BBD1Bu},
      {150, 100, 250, 4, 9, 136, 0xDC1F4878B1B4F127u, 0xC5790C116363A521u},
      {61, 61, 300, 6, 7, 9, 0x367E098C6DF54297u, 0xEDEA5AB592E0D6E4u},
      {100, 40, 400, 8, 4242, 17, 0x1383A6E73406FD2Eu, 0x2EBAF97BC2DF9EE5u},
      // Never aggregates: pinned at the step limit.
      {5, 8, 9, 20, 4, 20000, 0x1E7A7915C1FDDC25u, 0x7D014175FFBF98A5u},
  };
  constexpr std::uint64_t Basis = 0xCBF29CE484222325u;
  for (const auto& c : cases) {
    TWorld world(c.width, c.height, FixedSeed(c.seed));
    world.CreateAgents(c.agents);
    std::uint64_t series = Basis;
    StepResult r;
    do {
      r = world.RunStep(c.threshold);
      series = Fnv1a(series, static_cast<std::uint32_t>(r.FreeAgents));
    } while (r.AnyFree && r.StepNumber < 20000);
    std::uint64_t picture = Basis;
    const TCanvas canvas = Picture(world);
    for (std::int32_t y = 0; y < c.height; ++y) {
      for (std::int32_t x = 0; x < c.width; ++x) picture = Fnv1a(picture, canvas.Pixel(x, y));
    }
    EXPECT_EQ(r.StepNumber, c.steps) << c.seed;
    EXPECT_EQ(series, c.series) << c.seed;
    EXPECT_EQ(picture, c.picture) << c.seed;
  }
}

TEST(Step, SameSeedSameRun) {
  std::vector<std::int32_t> runs[2];
  std::vector<std::uint32_t> pictures[2];
  for (int i = 0; i < 2; ++i) {
    TWorld world(200, 150, FixedSeed(31337));
    world.CreateAgents(700);
    StepResult r;
    do {
      r = world.RunStep(6);
      runs[i].push_back(r.FreeAgents);
    } while (r.AnyFree && r.StepNumber < 3000);
    const TCanvas canvas = Picture(world);
    pictures[i].assign(canvas.Bits(), canvas.Bits() + 150 * canvas.Stride());
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_TRUE(pictures[0] == pictures[1]);
}

}  // namespace
}  // namespace dla
