// The floor under each step window of StepBench: what a step cannot beat.
//  - floor_draws: the serial chain of draws alone, one per free agent of
//    each step of the window (the linear congruential update and the turn's
//    rounding, TRandom::TurnSlotOf, the turns summed so that none is dropped). Every free agent
//    draws once, in list order, from one source, so a step that keeps the
//    draws serial costs at least this much.
//  - floor_register: the same number of registrations into the window's
//    lattice (cell from pixel position, saturating count), from the
//    positions the free agents had when the window began, cycled.
// One iteration is one step of the window, so Time and CPU compare line by
// line with StepBench's; per_agent_step is the CPU time per free agent.
// The free-agent counts come from running the window's world once, untimed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "StepWindows.h"
#include "TRandom.h"
#include "TWorld.h"

namespace {

using dla::bench::StepWindow;

struct WindowRun {
  std::vector<std::int32_t> freeAgents;  // per step of the window
  std::vector<std::int32_t> xs, ys;      // free agents before its first step
  std::int32_t columns = 0, rows = 0;
};

const WindowRun& RunOf(std::size_t window) {
  static std::vector<std::unique_ptr<WindowRun>> runs(std::size(dla::bench::StepWindows));
  if (!runs[window]) {
    const StepWindow& w = dla::bench::StepWindows[window];
    auto run = std::make_unique<WindowRun>();
    const auto side = static_cast<std::int32_t>(w.side);
    dla::TWorld world(side, side, dla::FixedSeed(dla::bench::WindowSeed));
    world.CreateAgents(static_cast<std::int32_t>(w.agents));
    while (world.StepCount() < w.first - 1) world.RunStep(dla::bench::WindowThreshold);
    for (const dla::TAgent& agent : world.CopyAgents()) {
      if (agent.Moving == 1) {
        run->xs.push_back(agent.X);
        run->ys.push_back(agent.Y);
      }
    }
    run->columns = world.GridColumns();
    run->rows = world.GridRows();
    while (world.StepCount() < w.last) {
      run->freeAgents.push_back(world.RunStep(dla::bench::WindowThreshold).FreeAgents);
    }
    runs[window] = std::move(run);
  }
  return *runs[window];
}

void Draws(benchmark::State& state) {
  const WindowRun& run = RunOf(static_cast<std::size_t>(state.range(0)));
  std::uint32_t seed = dla::bench::WindowSeed;
  std::uint32_t turned = 0;
  std::size_t step = 0;
  std::int64_t agentSteps = 0;
  for (auto _ : state) {
    const std::int32_t n = run.freeAgents[step++ % run.freeAgents.size()];
    for (std::int32_t i = 0; i < n; ++i) {
      seed = dla::NextSeed(seed);
      turned += 45u * static_cast<std::uint32_t>(dla::TRandom::TurnSlotOf(seed) - 2);
    }
    benchmark::DoNotOptimize(turned);
    agentSteps += n;
  }
  dla::bench::CountAgentSteps(state, agentSteps);
}

void Registrations(benchmark::State& state) {
  const WindowRun& run = RunOf(static_cast<std::size_t>(state.range(0)));
  const auto columns = static_cast<std::size_t>(run.columns);
  std::vector<std::int32_t> states(columns * static_cast<std::size_t>(run.rows), 0);
  const std::size_t positions = run.xs.size();
  std::size_t step = 0, next = 0;
  std::int64_t agentSteps = 0;
  for (auto _ : state) {
    const std::int32_t n = positions == 0 ? 0 : run.freeAgents[step++ % run.freeAgents.size()];
    for (std::int32_t i = 0; i < n; ++i) {
      const std::size_t index = static_cast<std::size_t>((run.ys[next] - 1) / 3) * columns +
                                static_cast<std::size_t>((run.xs[next] - 1) / 3);
      states[index] += states[index] != std::numeric_limits<std::int32_t>::max();
      if (++next == positions) next = 0;
    }
    benchmark::DoNotOptimize(states.data());
    benchmark::ClobberMemory();
    agentSteps += n;
  }
  dla::bench::CountAgentSteps(state, agentSteps);
}

const bool registered = [] {
  for (std::size_t i = 0; i < std::size(dla::bench::StepWindows); ++i) {
    const StepWindow& w = dla::bench::StepWindows[i];
    for (const auto& [prefix, function] :
         {std::pair{"floor_draws/", &Draws}, std::pair{"floor_register/", &Registrations}}) {
      auto* b = benchmark::RegisterBenchmark((std::string(prefix) + w.regime).c_str(), function);
      b->ArgNames({"window", "side", "agents", "from", "to"});
      b->Args({static_cast<std::int64_t>(i), w.side, w.agents, w.first, w.last});
      b->Iterations(w.last - w.first + 1)->Unit(benchmark::kMicrosecond);
      dla::bench::ReportFastest(b);
    }
  }
  return true;
}();

}  // namespace
