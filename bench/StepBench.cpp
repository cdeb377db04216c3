// Cost of one simulation step, with or without painting, from a fresh setup: each
// run of a benchmark starts from a newly set-up world and steps it; a run
// that ends by itself is set up again with the timer paused, so every timed
// step is one of a live run.
#include <benchmark/benchmark.h>

#include "TWorld.h"

namespace {

void RunSteps(benchmark::State& state) {
  const auto width = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const auto threshold = static_cast<std::uint16_t>(state.range(2));
  const auto painting = state.range(3) != 0 ? dla::Painting::On : dla::Painting::Off;
  dla::TWorld world(width, width, [] { dla::SetSeed(20261208u); }, painting);
  world.CreateAgents(agents);
  for (auto _ : state) {
    const dla::StepResult result = world.RunStep(threshold);
    benchmark::DoNotOptimize(result);
    if (!result.AnyFree) {
      state.PauseTiming();
      world.NewSetup(agents);
      state.ResumeTiming();
    }
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

}  // namespace

// Arguments: drawing area side in pixels, agents, threshold, painting (1 on,
// 0 off).
BENCHMARK(RunSteps)
    ->ArgNames({"side", "agents", "threshold", "paints"})
    ->Args({404, 2000, 6, 1})
    ->Args({404, 2000, 6, 0})
    ->Args({404, 10000, 6, 1})
    ->Args({1500, 10000, 6, 1})
    ->Args({1500, 10000, 6, 0})
    ->Args({1500, 2000, 6, 1})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
