// Cost of measuring the aggregates once, next to the cost of a step: on the
// default setup, measuring is meant to cost less than ten steps. The world
// is stepped (untimed) to a given step of a run, or to its end (-1), then
// measured over and over. Then what keeping the measures as the run goes
// (TAggregates) adds to a whole run, and what reading them costs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "AggregateMeasures.h"
#include "StepWindows.h"
#include "TAggregates.h"
#include "TWorld.h"

namespace {

dla::TWorld SteppedWorld(const benchmark::State& state) {
  const auto width = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const auto threshold = static_cast<std::uint16_t>(state.range(2));
  const auto steps = state.range(3);
  dla::TWorld world(width, width, dla::FixedSeed(20261208u));
  world.CreateAgents(agents);
  while (steps < 0 || world.StepCount() < steps) {
    if (!world.RunStep(threshold).AnyFree) break;
  }
  return world;
}

// From the world, through its cells, as the batch runner measures.
void MeasureWorld(benchmark::State& state) {
  const dla::TWorld world = SteppedWorld(state);
  for (auto _ : state) benchmark::DoNotOptimize(dla::MeasureAggregates(world));
  state.counters["aggregated"] = world.AggregatedCells();
}

// From a lattice already extracted: the measuring alone.
void MeasureLattice(benchmark::State& state) {
  const dla::TWorld world = SteppedWorld(state);
  const std::vector<std::uint8_t> lattice(world.Shades(), world.Shades() + world.GridColumns() * world.GridRows());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        dla::MeasureAggregates(lattice, world.GridColumns(), world.GridRows()));
  }
  state.counters["aggregated"] = world.AggregatedCells();
}

// The measures kept up to date by the cells each step aggregated, read at
// the end of the run (fresh 0: worked out already, as when no cell
// aggregated since the last read), or read after each cell the run
// aggregated, added again one at a time from an empty lattice (fresh 1:
// worked out anew; only the read is timed).
void ReadKeptMeasures(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  dla::TWorld world(side, side, dla::FixedSeed(20261208u));
  world.CreateAgents(static_cast<std::int32_t>(state.range(1)));
  const auto threshold = static_cast<std::uint16_t>(state.range(2));
  const bool fresh = state.range(3) != 0;
  std::vector<std::uint32_t> cells;
  for (bool anyFree = true; anyFree;) {
    anyFree = world.RunStep(threshold).AnyFree;
    cells.insert(cells.end(), world.NewAggregates().begin(), world.NewAggregates().end());
  }
  dla::TAggregates kept(world.GridColumns(), world.GridRows());
  kept.Add(cells);
  benchmark::DoNotOptimize(kept.Measures());
  if (!fresh) {
    for (auto _ : state) benchmark::DoNotOptimize(kept.Measures());
  } else {
    kept.Clear();
    std::size_t next = 0;
    for (auto _ : state) {
      if (next == cells.size()) {
        kept.Clear();
        next = 0;
      }
      kept.Add({&cells[next++], 1});
      const auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(kept.Measures());
      const std::chrono::duration<double> read = std::chrono::steady_clock::now() - start;
      state.SetIterationTime(read.count());
    }
  }
  state.counters["aggregated"] = world.AggregatedCells();
  state.counters["bytes"] = static_cast<double>(kept.Bytes());
}

// A whole run from its setup (untimed) to its end, with the measures not
// kept (0), kept after every step (1), or kept and read after every step
// (2), as a series of them would be. Runs of StepWindows' seed and
// threshold, so that the step benchmarks' whole runs are the same runs.
void WholeRun(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const std::int64_t measures = state.range(2);
  dla::TWorld world(side, side, dla::FixedSeed(dla::bench::WindowSeed));
  dla::TAggregates kept(world.GridColumns(), world.GridRows());
  std::int64_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    world.NewSetup(agents);
    kept.Clear();
    state.ResumeTiming();
    for (bool anyFree = true; anyFree;) {
      anyFree = world.RunStep(dla::bench::WindowThreshold).AnyFree;
      if (measures >= 1) kept.Add(world.NewAggregates());
      if (measures == 2) benchmark::DoNotOptimize(kept.Measures());
    }
    steps += world.StepCount();
  }
  const auto allSteps = static_cast<double>(steps);
  state.counters["steps"] = benchmark::Counter(allSteps, benchmark::Counter::kAvgIterations);
  state.counters["per_step"] =
      benchmark::Counter(allSteps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (measures >= 1) state.counters["bytes"] = static_cast<double>(kept.Bytes());
}

}  // namespace

// Arguments: drawing area side in pixels, agents, threshold, steps (-1: the
// whole run).
BENCHMARK(MeasureWorld)
    ->ArgNames({"side", "agents", "threshold", "steps"})
    ->Args({404, 2000, 6, 100})
    ->Args({404, 2000, 6, -1})
    ->Args({1500, 10000, 6, -1})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(MeasureLattice)
    ->ArgNames({"side", "agents", "threshold", "steps"})
    ->Args({404, 2000, 6, 100})
    ->Args({404, 2000, 6, -1})
    ->Unit(benchmark::kMicrosecond);
// Arguments: drawing area side in pixels, agents, threshold (the whole run),
// fresh.
BENCHMARK(ReadKeptMeasures)
    ->ArgNames({"side", "agents", "threshold", "fresh"})
    ->Args({404, 2000, 6, 0})
    ->Args({1500, 10000, 6, 0})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadKeptMeasures)
    ->ArgNames({"side", "agents", "threshold", "fresh"})
    ->Args({404, 2000, 6, 1})
    ->Args({1500, 10000, 6, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
// Arguments: drawing area side in pixels, agents, measures (0 none, 1 kept,
// 2 kept and read).
BENCHMARK(WholeRun)
    ->ArgNames({"side", "agents", "measures"})
    ->ArgsProduct({{404}, {2000}, {0, 1, 2}})
    ->ArgsProduct({{1500}, {10000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
