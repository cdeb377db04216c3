// Cost of measuring the aggregates once, next to the cost of a step: on the
// default setup, measuring is meant to cost less than ten steps. The world
// is stepped (untimed) to a given step of a run, or to its end (-1), then
// measured over and over.
#include <benchmark/benchmark.h>

#include "AggregateMeasures.h"
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
  const std::vector<std::uint8_t> lattice = dla::AggregatedLattice(world);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        dla::MeasureAggregates(lattice, world.GridColumns(), world.GridRows()));
  }
  state.counters["aggregated"] = world.AggregatedCells();
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
