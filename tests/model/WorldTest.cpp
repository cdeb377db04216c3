#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>
#include <tuple>

#include "CellGrid.h"
#include "ReferenceRules.h"
#include "Render.h"
#include "SeedHelpers.h"
#include "TThreadChoice.h"
#include "TWorld.h"
#include "TWorldState.h"

namespace dla {
namespace {

using test::CellGrid;

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
    EXPECT_EQ(world.DrawingWidth(), c.width);
    EXPECT_EQ(world.DrawingHeight(), c.height);
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
  const CellGrid cells(world);
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
  EXPECT_EQ(world.Seed(), seed);

  // Agent 0 takes the first three draws: column, row, heading.
  TRandom draws(4242);
  const std::int32_t column = draws.UniformBelow(135);
  const std::int32_t row = draws.UniformBelow(135);
  const std::int32_t heading = draws.UniformBelow(8);
  const TAgent first = world.CopyAgents().front();
  EXPECT_EQ(first.X, 3 * column + 2);
  EXPECT_EQ(first.Y, 3 * row + 2);
  EXPECT_EQ(first.Heading, 45 * heading);

  for (const TAgent& agent : world.CopyAgents()) {
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
  TCanvas canvas(404, 404);
  Render(world, canvas);
  std::vector<bool> dot(404 * 404, false);
  for (const TAgent& agent : world.CopyAgents()) {
    for (std::int32_t y = agent.Y - 1; y <= agent.Y; ++y) {
      for (std::int32_t x = agent.X - 1; x <= agent.X; ++x) {
        if (x < 404 && y < 404) dot[static_cast<std::size_t>(y * 404 + x)] = true;
      }
    }
  }
  for (std::int32_t y = 0; y < 404; ++y) {
    for (std::int32_t x = 0; x < 404; ++x) {
      ASSERT_EQ(test::PixelColour(canvas, x, y),
                dot[static_cast<std::size_t>(y * 404 + x)] ? TCanvas::Red : TCanvas::White)
          << x << "," << y;
    }
  }
}

TEST(World, NoAgentsForACountOfZeroOrLess) {
  for (const std::int32_t count : {0, -1, -32768}) {
    TWorld world(30, 30, FixedSeed(5));
    world.CreateAgents(count);
    EXPECT_EQ(world.AgentCount(), 0u);
    EXPECT_EQ(world.Seed(), 5u);  // reseeded, nothing drawn
  }
}

TEST(World, NewSetupReopensEveryCellAndReplacesThePopulation) {
  TWorld world(60, 60, FixedSeed(9));
  world.CreateAgents(400);
  for (int i = 0; i < 5; ++i) world.RunStep(0);
  ASSERT_GT(world.AggregatedCells(), 0);
  // Cells reopened under stuck agents would make a world that no run makes.
  const TWorldState stuck = world.State();
  EXPECT_THROW(world.ResetCells(), std::logic_error);
  EXPECT_EQ(world.State().States, stuck.States);
  EXPECT_EQ(world.State().Shades, stuck.Shades);
  EXPECT_EQ(world.Seed(), stuck.Seed);
  EXPECT_EQ(world.LastChange(), TWorld::TChange::Stepped);

  // Cells only, under free agents: the picture all white, the agents not
  // drawn; they register in the open cells from the next step on.
  TWorld free(60, 60, FixedSeed(9));
  free.CreateAgents(400);
  for (int i = 0; i < 5; ++i) free.RunStep(65535);
  free.ResetCells();
  TCanvas canvas(60, 60);
  Render(free, canvas);
  for (std::int32_t i = 0; i < 60 * 60; ++i) ASSERT_EQ(test::PixelColour(canvas, i % 60, i / 60), TCanvas::White) << i;
  for (int i = 0; i < 3; ++i) free.RunStep(65535);
  const std::vector<std::int32_t> states = free.CopyStates();
  EXPECT_EQ(std::accumulate(states.begin(), states.end(), std::int64_t{0}), 400);

  world.NewSetup(25);
  EXPECT_EQ(world.StepCount(), 0);
  EXPECT_EQ(world.AgentCount(), 25u);
  EXPECT_EQ(world.StuckAgents(), 0);
  EXPECT_EQ(world.AggregatedCells(), 0);
  const TWorldState setUp = world.State();
  EXPECT_TRUE(std::ranges::all_of(setUp.Shades, [](std::uint8_t shade) { return shade == 0; }));
  EXPECT_TRUE(std::ranges::all_of(setUp.States, [](std::int32_t state) { return state == 0; }));
  EXPECT_EQ(world.RunStep(6).StepNumber, 1);
}

// Each world owns its random source: worlds stepped in turn on one thread,
// or at once on two, run exactly as each runs alone; and a world whose step
// is shared among 2, 3 or 7 threads of its own (from the first step, however
// few its agents) runs exactly as on one. The runs differ in size,
// population and threshold, so that a shared source would show; one is
// crowded, so that hundreds stop in a step, one has fewer agents than
// threads have groups of eight.
TEST(World, WorldsStepIndependently) {
  const struct {
    std::uint32_t seed;
    std::int32_t width, height, agents;
    std::uint16_t threshold;
  } cases[] = {{1, 404, 404, 2000, 6},  {7, 61, 40, 100, 6},   {12345, 150, 97, 800, 8},
               {3, 404, 404, 10000, 6}, {9, 1500, 60, 5003, 2}, {5, 9, 300, 21, 3}};
  struct Run {
    std::vector<std::int32_t> series;
    std::vector<std::uint8_t> shades;
    std::vector<std::int32_t> states;
    std::vector<std::int32_t> agents;
    std::uint32_t seed = 0;
    bool operator==(const Run&) const = default;
  };
  const auto step = [](TWorld& world, Run& run, std::uint16_t threshold) {
    const StepResult r = world.RunStep(threshold);
    run.series.push_back(r.FreeAgents);
    return r.AnyFree && r.StepNumber < 4000;
  };
  const auto finish = [](const TWorld& world, Run& run) {
    run.shades.assign(world.Shades(), world.Shades() + world.GridColumns() * world.GridRows());
    run.states = world.CopyStates();
    world.ForEachAgentInListOrder([&](const TAgent& a) {
      run.agents.insert(run.agents.end(), {a.X, a.Y, a.DX, a.DY, a.Heading, a.Moving, a.Radius});
    });
    run.seed = world.Seed();
  };
  const auto make = [](const auto& c) {
    TWorld world(c.width, c.height, FixedSeed(c.seed));
    world.CreateAgents(c.agents);
    return world;
  };
  std::vector<Run> alone(std::size(cases)), interleaved(std::size(cases)), threaded(std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TWorld world = make(cases[i]);
    while (step(world, alone[i], cases[i].threshold)) {}
    finish(world, alone[i]);
  }
  std::vector<TWorld> worlds;
  for (const auto& c : cases) worlds.push_back(make(c));
  std::vector<bool> done(worlds.size(), false);
  for (std::size_t left = worlds.size(); left > 0;) {
    for (std::size_t i = 0; i < worlds.size(); ++i) {
      if (done[i] || step(worlds[i], interleaved[i], cases[i].threshold)) continue;
      finish(worlds[i], interleaved[i]);
      done[i] = true;
      --left;
    }
  }
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      threads.emplace_back([&, i] {
        TWorld world = make(cases[i]);
        while (step(world, threaded[i], cases[i].threshold)) {}
        finish(world, threaded[i]);
      });
    }
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_GT(alone[i].series.size(), 5u) << cases[i].seed;
    EXPECT_TRUE(interleaved[i] == alone[i]) << cases[i].seed;
    EXPECT_TRUE(threaded[i] == alone[i]) << cases[i].seed;
    // The first steps (all of the crowded run's): every step shared waits
    // for every thread to be scheduled, which takes long on a busy machine.
    constexpr std::int32_t SharedSteps = 60;
    TWorld one = make(cases[i]);
    Run expected;
    while (step(one, expected, cases[i].threshold) && one.StepCount() < SharedSteps) {}
    finish(one, expected);
    // Two threads left to the timed choice share, then not, in its trial.
    const std::pair<int, bool> ways[] = {{2, true}, {3, true}, {7, true}, {2, false}};
    for (const auto& [n, always] : ways) {
      TWorld world = make(cases[i]);
      world.SetThreads(n, 0, 0, always);
      Run shared;
      while (step(world, shared, cases[i].threshold) && world.StepCount() < SharedSteps) {}
      finish(world, shared);
      // Where they part, to tell which pass differs.
      const auto firstApart = [](const auto& a, const auto& b) {
        return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
      };
      EXPECT_TRUE(shared == expected) << "seed " << cases[i].seed << " on " << n << " threads"
                                      << (always ? "" : ", timed") << ": "
                                      << shared.series.size() << " steps, not " << expected.series.size()
                                      << "; series apart at " << firstApart(shared.series, expected.series)
                                      << ", states at " << firstApart(shared.states, expected.states)
                                      << ", agents at " << firstApart(shared.agents, expected.agents)
                                      << "; seed " << shared.seed << ", not " << expected.seed;
    }
  }
  // Copies of a world that shares its step start threads of their own, so
  // that they may step at the same time.
  {
    TWorld original = make(cases[3]);
    original.SetThreads(2, 0, 0, true);
    std::vector<TWorld> copies(2, original);
    std::vector<std::jthread> threads;
    Run copied[2];
    for (int k = 0; k < 2; ++k) {
      threads.emplace_back([&, k] {
        while (step(copies[static_cast<std::size_t>(k)], copied[k], cases[3].threshold)) {}
        finish(copies[static_cast<std::size_t>(k)], copied[k]);
      });
    }
    threads.clear();
    EXPECT_EQ(copies[0].Threads(), 2);
    EXPECT_TRUE(copied[0] == alone[3]);
    EXPECT_TRUE(copied[1] == alone[3]);
  }
  for (const int n : {0, 257, -1}) {
    TWorld world = make(cases[1]);
    EXPECT_THROW(world.SetThreads(n), std::invalid_argument) << n;
    EXPECT_EQ(world.Threads(), 1);
  }
  // Reading only reads: two threads may read one world at once (a write in
  // a read shows under ThreadSanitizer).
  TWorld shared = make(cases[2]);
  for (int i = 0; i < 200; ++i) shared.RunStep(cases[2].threshold);
  std::vector<std::uint32_t> pictures[2];
  std::vector<std::int32_t> states[2];
  {
    std::vector<std::jthread> readers;
    for (int i = 0; i < 2; ++i) {
      readers.emplace_back([&, i] {
        TCanvas canvas(shared.DrawingWidth(), shared.DrawingHeight());
        Render(shared, canvas);
        pictures[i].assign(canvas.Bits(), canvas.Bits() + canvas.Stride() * canvas.Height());
        states[i] = shared.State().States;
      });
    }
  }
  EXPECT_EQ(pictures[0], pictures[1]);
  EXPECT_EQ(states[0], states[1]);
}

// The trial's faster way per free agent is kept for the rest of the period,
// whatever the steps after the trial take, and every period tries again: a
// way that has become the slower one is left.
TEST(World, ThreadChoiceKeepsTheFasterWayForAPeriod) {
  struct Case {
    double alone, shared;      // seconds per free agent
    std::size_t sharedAgents;  // free agents in a shared step (1,000 alone)
    bool expected;
  };
  const Case cases[] = {{2e-9, 1e-9, 1000, true},
                        {1e-9, 2e-9, 1000, false},
                        // Longer shared steps that moved more agents each.
                        {1e-9, 0.8e-9, 2000, true}};
  for (const Case& c : cases) {
    TThreadChoice choice;
    for (int period = 0; period < 2; ++period) {
      // The second period finds the ways' times the other way round.
      const double alone = period == 0 ? c.alone : c.shared, shared = period == 0 ? c.shared : c.alone;
      const bool expected = period == 0 ? c.expected : !c.expected;
      int wrong = 0;
      for (int k = 0; k < TThreadChoice::TrialPeriod; ++k) {
        const bool shares = choice.Shared();
        wrong += shares != (k < TThreadChoice::TrialSteps ? k < TThreadChoice::TrialSteps / 2 : expected);
        const std::size_t agents = shares ? c.sharedAgents : 1000;
        // Each way's first step is slow (a thread started, memory fetched
        // from the other caches); after the trial the times favour the way
        // not chosen.
        const bool first = k == 0 || k == TThreadChoice::TrialSteps / 2;
        const double perAgent = k < TThreadChoice::TrialSteps ? (shares ? shared : alone) * (first ? 100.0 : 1.0)
                                                              : (shares == expected ? 1.0 : 0.0);
        choice.Record(perAgent * static_cast<double>(agents), agents);
      }
      EXPECT_EQ(wrong, 0) << "period " << period << ", alone " << alone << ", shared " << shared;
    }
  }
}

}  // namespace
}  // namespace dla
