// Cost of one simulation step in the three regimes of a run (StepWindows.h),
// with a fixed seed so that every run of the benchmark times the same steps.
// One benchmark iteration is one step, with or without rendering the
// picture after it (the cost of a frame for every step). The world is set up
// and stepped to the window's first step before the timer starts; the window
// then runs to its end, so Time (real) and CPU are per step, averaged over
// the window. agent_steps counts the free agents a step moves, on average;
// per_agent_step is the CPU time over all of them, the figure that
// floor_bench's draw chain bounds from below.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Render.h"
#include "StepWindows.h"
#include "TWorld.h"

namespace {

void RunSteps(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const bool renders = state.range(2) != 0;
  const auto first = static_cast<std::int32_t>(state.range(3));
  const auto last = static_cast<std::int32_t>(state.range(4));
  const bool endsThere = state.range(5) != 0;
  const auto threshold = static_cast<std::uint16_t>(state.range(6));
  dla::TWorld world(side, side, dla::FixedSeed(dla::bench::WindowSeed));
  world.CreateAgents(agents);
  dla::TCanvas canvas = renders ? dla::TCanvas(side, side) : dla::TCanvas();
  while (world.StepCount() < first - 1) world.RunStep(threshold);
  dla::StepResult result;
  std::int64_t agentSteps = 0;
  for (auto _ : state) {
    result = world.RunStep(threshold);
    agentSteps += result.FreeAgents;
    if (renders) {
      dla::Render(world, canvas);
      benchmark::DoNotOptimize(canvas.Bits());
    }
    if (!result.AnyFree && result.StepNumber < last) {
      state.SkipWithError(("the run ended at step " + std::to_string(result.StepNumber)).c_str());
      break;
    }
  }
  if (endsThere && result.AnyFree) state.SkipWithError("the run should have ended at its last step");
  dla::bench::CountAgentSteps(state, agentSteps);
}

// Arguments: area side, agents, whether the picture is rendered after every
// step (1) or never (0), first and last step timed, whether the run ends at
// the last step, and the threshold (the windows' own, 6).
const std::vector<std::string> ArgNames = {"side", "agents", "renders", "from", "to", "ends", "threshold"};

void Window(benchmark::internal::Benchmark* b, std::int64_t side, std::int64_t agents,
            std::int64_t first, std::int64_t last, bool ends) {
  for (const std::int64_t renders : {1, 0}) {
    b->Args({side, agents, renders, first, last, ends ? 1 : 0, dla::bench::WindowThreshold});
  }
}

void Register(const char* name, std::int64_t side, std::int64_t agents, std::int64_t first,
              std::int64_t last, bool ends) {
  auto* b = benchmark::RegisterBenchmark(name, RunSteps);
  b->ArgNames(ArgNames);
  Window(b, side, agents, first, last, ends);
  b->Iterations(last - first + 1)->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
  for (const dla::bench::StepWindow& w : dla::bench::StepWindows) {
    Register(w.regime, w.side, w.agents, w.first, w.last, w.ends);
  }
  // The crowded area's early steps with a threshold that no block reaches:
  // the same agents on the same lattice move, register and have their blocks
  // summed, but none stops, so the difference from `early` is what the
  // stopping agents and their aggregates cost.
  auto* unstopped = benchmark::RegisterBenchmark("early_unstopped", RunSteps);
  unstopped->ArgNames(ArgNames);
  unstopped->Args({404, 10000, 0, 1, 10, 0, 65535})->Iterations(10)->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
