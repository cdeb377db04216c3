// Cost of one simulation step in the three regimes of a run (StepWindows.h),
// with a fixed seed so that every run of the benchmark times the same steps.
// One benchmark iteration is one step, with or without rendering the
// picture after it (the cost of a frame for every step). The world is set up
// and stepped to the window's first step before the timer starts; the window
// then runs to its end, so Time (real) and CPU are per step, averaged over
// the window. Before that the same window runs once untimed on the same
// setup, so that the timed steps find the memory their lists grow into
// already touched: the system's first touch of a page is paid once per
// world, and on some virtual machines it costs 10 us, more than a crowded
// step (early_first_touch keeps it, page_faults counts it per step).
// agent_steps counts the free agents a step moves, on average;
// per_agent_step is the CPU time over all of them, the figure that
// floor_bench's draw chain bounds from below.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

#include <sys/resource.h>

#include "Render.h"
#include "StepWindows.h"
#include "TWorld.h"

namespace {

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

void RunSteps(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const bool renders = state.range(2) != 0;
  const auto first = static_cast<std::int32_t>(state.range(3));
  const auto last = static_cast<std::int32_t>(state.range(4));
  const bool endsThere = state.range(5) != 0;
  const auto threshold = static_cast<std::uint16_t>(state.range(6));
  const bool warm = state.range(7) != 0;
  dla::TWorld world(side, side, dla::FixedSeed(dla::bench::WindowSeed));
  world.CreateAgents(agents);
  if (warm) {
    while (world.StepCount() < last && world.RunStep(threshold).AnyFree) {
    }
    // The fixed seed places the same agents again.
    world.NewSetup(agents);
  }
  dla::TCanvas canvas = renders ? dla::TCanvas(side, side) : dla::TCanvas();
  while (world.StepCount() < first - 1) world.RunStep(threshold);
  dla::StepResult result;
  std::int64_t agentSteps = 0;
  const long faults = MinorFaults();
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
  state.counters["page_faults"] =
      benchmark::Counter(static_cast<double>(MinorFaults() - faults), benchmark::Counter::kAvgIterations);
  if (endsThere && result.AnyFree) state.SkipWithError("the run should have ended at its last step");
  dla::bench::CountAgentSteps(state, agentSteps);
}

// Arguments: area side, agents, whether the picture is rendered after every
// step (1) or never (0), first and last step timed, whether the run ends at
// the last step, the threshold, and whether the window ran once before on
// the same setup (1) or the world is new (0).
void Register(const char* name, const dla::bench::StepWindow& w, std::uint16_t threshold,
              std::initializer_list<std::int64_t> renders, bool warm = true) {
  auto* b = benchmark::RegisterBenchmark(name, RunSteps);
  b->ArgNames({"side", "agents", "renders", "from", "to", "ends", "threshold", "warm"});
  for (const std::int64_t r : renders) {
    b->Args({w.side, w.agents, r, w.first, w.last, w.ends ? 1 : 0, threshold, warm ? 1 : 0});
  }
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
      Register("early_first_touch", w, dla::bench::WindowThreshold, {0}, false);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
