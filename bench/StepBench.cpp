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
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

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
// the last step, and the threshold.
void Register(const char* name, const dla::bench::StepWindow& w, std::uint16_t threshold,
              std::initializer_list<std::int64_t> renders) {
  auto* b = benchmark::RegisterBenchmark(name, RunSteps);
  b->ArgNames({"side", "agents", "renders", "from", "to", "ends", "threshold"});
  for (const std::int64_t r : renders) b->Args({w.side, w.agents, r, w.first, w.last, w.ends ? 1 : 0, threshold});
  b->Iterations(w.last - w.first + 1)->Unit(benchmark::kMicrosecond);
  dla::bench::ReportFastest(b);
}

const bool registered = [] {
  for (const dla::bench::StepWindow& w : dla::bench::StepWindows) {
    Register(w.regime, w, dla::bench::WindowThreshold, {1, 0});
    // The crowded area's early steps with a threshold that no block
    // reaches: the same agents on the same lattice move, register and have
    // their blocks summed, but none stops, so the difference from `early`
    // is what the stopping agents and their aggregates cost.
    if (std::string_view(w.regime) == "early" && w.side == 404 && w.agents == 10000) {
      Register("early_unstopped", w, std::numeric_limits<std::uint16_t>::max(), {0});
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
