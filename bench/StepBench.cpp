// Cost of one simulation step in the three regimes of a run, with a fixed
// seed so that every run of the benchmark times the same steps:
//  - early: the first steps, with (nearly) every agent free;
//  - late:  a window deep into the run, most agents stuck (on the sparse
//           1500 x 1500 area with 2,000 agents, nothing aggregates yet);
//  - whole: every step of the run, or of its first 20,000 steps where it
//           runs longer.
// One benchmark iteration is one step, with or without rendering the
// picture after it (the cost of a frame for every step). The world is set up and stepped to
// the window's first step before the timer starts; the window then runs to
// its end, so Time (real) and CPU are per step, averaged over the window.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "Render.h"
#include "TWorld.h"

namespace {

constexpr std::uint32_t Seed = 20261208u;

void RunSteps(benchmark::State& state) {
  const auto side = static_cast<std::int32_t>(state.range(0));
  const auto agents = static_cast<std::int32_t>(state.range(1));
  const bool renders = state.range(2) != 0;
  const auto first = static_cast<std::int32_t>(state.range(3));
  const auto last = static_cast<std::int32_t>(state.range(4));
  const bool endsThere = state.range(5) != 0;
  constexpr std::uint16_t Threshold = 6;
  dla::TWorld world(side, side, dla::FixedSeed(Seed));
  world.CreateAgents(agents);
  dla::TCanvas canvas = renders ? dla::TCanvas(side, side) : dla::TCanvas();
  while (world.StepCount() < first - 1) world.RunStep(Threshold);
  dla::StepResult result;
  for (auto _ : state) {
    result = world.RunStep(Threshold);
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
}

// Arguments: area side, agents, whether the picture is rendered after every
// step (1) or never (0), first and last step timed, whether the run ends at
// the last step (threshold 6 throughout).
void Window(benchmark::internal::Benchmark* b, std::int64_t side, std::int64_t agents,
            std::int64_t first, std::int64_t last, bool ends) {
  for (const std::int64_t renders : {1, 0}) {
    b->Args({side, agents, renders, first, last, ends ? 1 : 0});
  }
}

void Register(const char* name, std::int64_t side, std::int64_t agents, std::int64_t first,
              std::int64_t last, bool ends) {
  auto* b = benchmark::RegisterBenchmark(name, RunSteps);
  b->ArgNames({"side", "agents", "renders", "from", "to", "ends"});
  Window(b, side, agents, first, last, ends);
  b->Iterations(last - first + 1)->Unit(benchmark::kMicrosecond);
}

// The run lengths are those of the fixed seed: 1,120 steps on the default
// area, 24 with 10,000 agents there, 26,670 on the 1500 x 1500 area.
const bool registered = [] {
  Register("early", 404, 2000, 1, 100, false);
  Register("late", 404, 2000, 901, 1000, false);
  Register("whole", 404, 2000, 1, 1120, true);
  Register("early", 404, 10000, 1, 10, false);
  Register("late", 404, 10000, 15, 24, true);
  Register("whole", 404, 10000, 1, 24, true);
  Register("early", 1500, 10000, 1, 100, false);
  Register("late", 1500, 10000, 10001, 10100, false);
  Register("whole", 1500, 10000, 1, 26670, true);
  Register("early", 1500, 2000, 1, 100, false);
  Register("late", 1500, 2000, 10001, 10100, false);
  Register("whole", 1500, 2000, 1, 20000, false);
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
