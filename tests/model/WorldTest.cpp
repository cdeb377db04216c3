#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "SeedHelpers.h"
#include "TWorld.h"

namespace dla {
namespace {

using test::FixedSeed;

TEST(World, LatticeFollowsTheDrawingArea) {
  const struct {
    std::int32_t width, height, columns, rows;
  } cases[] = {{404, 404, 135, 135}, {403, 406, 134, 135}, {405, 4, 135, 1},
               {3, 5, 1, 2},         {1500, 1500, 500, 500}};
  for (const auto& c : cases) {
    const TWorld world(c.width, c.height, FixedSeed(1));
    EXPECT_EQ(world.GridColumns(), c.columns) << c.width;
    EXPECT_EQ(world.GridRows(), c.rows) << c.height;
    EXPECT_EQ(world.FieldWidth(), 3 * c.columns);
    EXPECT_EQ(world.FieldHeight(), 3 * c.rows);
    EXPECT_EQ(world.Canvas().Width(), c.width);
    EXPECT_EQ(world.StepCount(), 0);
  }
}

TEST(World, RefusesAreasWithoutALattice) {
  for (const auto& [w, h] : {std::pair{2, 404}, {404, 2}, {0, 0}, {-5, 10}, {100000, 100000}}) {
    EXPECT_THROW(TWorld(w, h, FixedSeed(1)), std::invalid_argument) << w << "x" << h;
  }
}

TEST(World, CellsSitOnTheThreePixelPitch) {
  const TWorld world(404, 404, FixedSeed(1));
  const auto& cells = world.Cells();
  EXPECT_EQ(cells[0][0].PositionX(), 2);
  EXPECT_EQ(cells[0][0].PositionY(), 2);
  EXPECT_EQ(cells[134][0].PositionX(), 404);
  EXPECT_EQ(cells[134][0].PositionY(), 2);
  EXPECT_EQ(cells[7][100].PositionX(), 23);
  EXPECT_EQ(cells[7][100].PositionY(), 302);
  EXPECT_EQ(cells[7][100].Size(), 2);
}

TEST(World, PlacementDrawsThreeTimesPerAgent) {
  TWorld world(404, 404, FixedSeed(4242));
  world.CreateAgents(2000);
  EXPECT_EQ(world.PlacementSeed(), 4242u);
  std::uint32_t seed = 4242;
  for (int i = 0; i < 6000; ++i) seed = NextSeed(seed);
  EXPECT_EQ(Seed(), seed);

  // Agent 0 takes the first three draws: column, row, heading.
  SetSeed(4242);
  const std::int32_t column = UniformBelow(135);
  const std::int32_t row = UniformBelow(135);
  const std::int32_t heading = UniformBelow(8);
  const TAgent& first = world.Agents().front();
  EXPECT_EQ(first.X, 3 * column + 2);
  EXPECT_EQ(first.Y, 3 * row + 2);
  EXPECT_EQ(first.Heading, 45 * heading);

  for (const TAgent& agent : world.Agents()) {
    ASSERT_EQ(agent.Moving, 1);
    ASSERT_EQ(agent.Radius, 1);
    ASSERT_EQ((agent.X - 2) % 3, 0);
    ASSERT_EQ((agent.Y - 2) % 3, 0);
    ASSERT_TRUE(agent.Heading % 45 == 0 && agent.Heading >= 0 && agent.Heading <= 315);
    ASSERT_EQ(agent.DX, 0);
    ASSERT_EQ(agent.DY, 0);
  }
}

TEST(World, SetUpPictureIsWhiteWithRedDots) {
  TWorld world(404, 404, FixedSeed(77));
  world.CreateAgents(300);
  std::vector<bool> dot(404 * 404, false);
  for (const TAgent& agent : world.Agents()) {
    for (std::int32_t y = agent.Y - 1; y <= agent.Y; ++y) {
      for (std::int32_t x = agent.X - 1; x <= agent.X; ++x) {
        if (x < 404 && y < 404) dot[static_cast<std::size_t>(y * 404 + x)] = true;
      }
    }
  }
  for (std::int32_t y = 0; y < 404; ++y) {
    for (std::int32_t x = 0; x < 404; ++x) {
      ASSERT_EQ(world.Canvas().PixelColour(x, y),
                dot[static_cast<std::size_t>(y * 404 + x)] ? TCanvas::Red : TCanvas::White)
          << x << "," << y;
    }
  }
}

TEST(World, NoAgentsForACountOfZeroOrLess) {
  for (const std::int32_t count : {0, -1, -32768}) {
    TWorld world(30, 30, FixedSeed(5));
    world.CreateAgents(count);
    EXPECT_TRUE(world.Agents().empty());
    EXPECT_EQ(Seed(), 5u);  // reseeded, nothing drawn
  }
}

TEST(World, NewSetupReopensEveryCellAndReplacesThePopulation) {
  TWorld world(60, 60, FixedSeed(9));
  world.CreateAgents(400);
  for (int i = 0; i < 5; ++i) world.RunStep(0);
  ASSERT_GT(world.AggregatedCells(), 0);
  world.ResetCells();  // cells only: stuck agents then register in open cells, once a step
  for (int i = 0; i < 3; ++i) world.RunStep(65535);
  std::int64_t registrations = 0;
  for (std::int32_t i = 0; i < world.GridRows() * world.GridColumns(); ++i) {
    registrations += world.Cells()[i % world.GridColumns()][i / world.GridColumns()].State();
  }
  EXPECT_EQ(registrations, 400);
  world.NewSetup(25);
  EXPECT_EQ(world.StepCount(), 0);
  EXPECT_EQ(world.Agents().size(), 25u);
  EXPECT_EQ(world.AggregatedCells(), 0);
  for (std::int32_t r = 0; r < world.GridRows(); ++r) {
    for (std::int32_t c = 0; c < world.GridColumns(); ++c) {
      ASSERT_EQ(world.Cells()[c][r].Shade, 0);
      ASSERT_EQ(world.Cells()[c][r].State(), 0);
    }
  }
  EXPECT_EQ(world.RunStep(6).StepNumber, 1);
}

// A world that does not paint must still run exactly the same model: same
// series, same cells, same agents and the same draws, to the end of the run.
// One case widens an agent's dot mid-run, which makes the painting world
// repaint everything from then on.
TEST(World, PaintingOffRunsTheSameModel) {
  const struct {
    std::uint32_t seed;
    std::int32_t width, height, agents;
    std::uint16_t threshold;
    bool widenADot;
  } cases[] = {{1, 404, 404, 2000, 6, false}, {7, 61, 40, 300, 3, false},
               {99, 5, 9, 12, 0, false},      {12345, 150, 97, 800, 8, true},
               {31, 100, 100, 50, 1, false}};
  for (const auto& c : cases) {
    TWorld painted(c.width, c.height, FixedSeed(c.seed));
    TWorld unpainted(c.width, c.height, FixedSeed(c.seed), Painting::Off);
    ASSERT_TRUE(painted.Paints());
    ASSERT_FALSE(unpainted.Paints());
    EXPECT_EQ(unpainted.Canvas().Width(), 0);
    EXPECT_EQ(unpainted.Canvas().Height(), 0);
    // Both worlds draw from the one generator: each keeps its own state.
    painted.CreateAgents(c.agents);
    std::uint32_t paintedSeed = Seed();
    unpainted.CreateAgents(c.agents);
    std::uint32_t unpaintedSeed = Seed();
    EXPECT_EQ(unpaintedSeed, paintedSeed) << c.seed;
    StepResult a{}, b{};
    do {
      if (c.widenADot && painted.StepCount() == 5) {
        painted.MutableAgents()[0].SetRadius(2);
        unpainted.MutableAgents()[0].SetRadius(2);
      }
      SetSeed(paintedSeed);
      a = painted.RunStep(c.threshold);
      paintedSeed = Seed();
      SetSeed(unpaintedSeed);
      b = unpainted.RunStep(c.threshold);
      unpaintedSeed = Seed();
      ASSERT_EQ(a.FreeAgents, b.FreeAgents) << c.seed << " step " << a.StepNumber;
      ASSERT_EQ(a.StepNumber, b.StepNumber);
      ASSERT_EQ(unpaintedSeed, paintedSeed) << c.seed << " step " << a.StepNumber;
    } while (a.AnyFree && a.StepNumber < 4000);
    EXPECT_FALSE(a.AnyFree) << c.seed << ": the run should end by itself";
    EXPECT_EQ(painted.AggregatedCells(), unpainted.AggregatedCells()) << c.seed;
    for (std::int32_t column = 0; column < painted.GridColumns(); ++column) {
      for (std::int32_t row = 0; row < painted.GridRows(); ++row) {
        const TCellView p = painted.Cell(column, row);
        const TCellView u = unpainted.Cell(column, row);
        ASSERT_EQ(p.State(), u.State()) << c.seed << " " << column << "," << row;
        ASSERT_EQ(p.Shade, u.Shade) << c.seed << " " << column << "," << row;
        ASSERT_EQ(p.NeighbourSum, u.NeighbourSum) << c.seed << " " << column << "," << row;
        ASSERT_TRUE(std::ranges::equal(p.AgentIndexes, u.AgentIndexes)) << c.seed << " " << column << "," << row;
      }
    }
    const auto& pa = painted.Agents();
    const auto& ua = unpainted.Agents();
    ASSERT_EQ(pa.size(), ua.size());
    for (std::size_t k = 0; k < pa.size(); ++k) {
      ASSERT_EQ(std::tie(pa[k].X, pa[k].Y, pa[k].Heading, pa[k].Moving, pa[k].Radius),
                std::tie(ua[k].X, ua[k].Y, ua[k].Heading, ua[k].Moving, ua[k].Radius))
          << c.seed << " agent " << k;
    }
  }
}

}  // namespace
}  // namespace dla
