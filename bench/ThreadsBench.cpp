// One world's step shared among threads: the time of a step on 1, 2 (and
// more) threads, on drawing areas from the default one to 12000 x 12000, with
// 2,000 to a million agents. One iteration is one step of the early regime
// (from step 4 on, nearly every agent free: 100 steps, 20 on the 6000 x 6000
// area, 5 on the 12000 x 12000 one; the median of three runs). Time is wall-clock time per step (UseRealTime), the figure that threads
// shorten; per_agent_step divides it by the free agents a step moved.
// Arguments: area side, agents, threads, and the free agents below which a
// step stays on one thread (0: shared whatever the count).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "StepWindows.h"
#include "TWorld.h"

namespace {

void SharedStep(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const auto threads = static_cast<int>(state.range(2));
  const auto minimum = static_cast<std::size_t>(state.range(3));
  dla::TWorld world(side, side, dla::FixedSeed(dla::bench::WindowSeed));
  world.CreateAgents(agents);
  world.SetThreads(threads, minimum, minimum, true);
  for (int warm = 0; warm < 3; ++warm) world.RunStep(dla::bench::WindowThreshold);
  std::int64_t agentSteps = 0;
  for (auto _ : state) agentSteps += world.RunStep(dla::bench::WindowThreshold).FreeAgents;
  state.counters["agent_steps"] =
      benchmark::Counter(static_cast<double>(agentSteps) / static_cast<double>(state.iterations()));
  state.counters["per_agent_step"] = benchmark::Counter(
      static_cast<double>(agentSteps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool registered = [] {
  const struct {
    std::int64_t side, agents;
  } sizes[] = {{404, 2000},    {404, 10000},   {1500, 2000},    {1500, 10000},   {1500, 20000},
               {1500, 50000},  {3000, 5000},   {3000, 10000},   {3000, 100000},  {6000, 5000},
               {6000, 10000},  {6000, 20000},  {6000, 100000},  {6000, 1000000},
               {12000, 100000}, {12000, 1000000}};
  for (const auto& size : sizes) {
    const std::int64_t steps = size.side <= 3000 ? 100 : size.side <= 6000 ? 20 : 5;
    for (const std::int64_t threads : {1, 2}) {
      benchmark::RegisterBenchmark("shared_step", SharedStep)
          ->ArgNames({"side", "agents", "threads", "minimum"})
          ->Args({size.side, size.agents, threads, 0})
          ->Iterations(steps)
          ->Repetitions(3)
          ->ReportAggregatesOnly(true)
          ->UseRealTime()
          ->Unit(benchmark::kMicrosecond);
    }
  }
  return true;
}();

}  // namespace
