// The windows of a run that the step benchmarks time, shared by the step and
// its floor so that both count the same agent-steps. A fixed seed and
// threshold 6 fix each run: 1,120 steps on the default area with 2,000
// agents, 24 with 10,000 agents there, 26,670 on the 1500 x 1500 area.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace dla::bench {

inline constexpr std::uint32_t WindowSeed = 20261208u;
inline constexpr std::uint16_t WindowThreshold = 6;

struct StepWindow {
  // early: the first steps, (nearly) every agent free; late: deep into the
  // run, most agents stuck (nothing has aggregated yet on the sparse
  // 1500 x 1500 area with 2,000 agents); whole: every step, or the first
  // 20,000 where the run is longer.
  const char* regime;
  std::int64_t side;    // drawing area side, pixels
  std::int64_t agents;
  std::int64_t first;   // first and last step timed, from 1
  std::int64_t last;
  bool ends;            // whether the run ends at the last step
};

inline constexpr StepWindow StepWindows[] = {
    {"early", 404, 2000, 1, 100, false},      {"late", 404, 2000, 901, 1000, false},
    {"whole", 404, 2000, 1, 1120, true},      {"early", 404, 10000, 1, 10, false},
    {"late", 404, 10000, 15, 24, true},       {"whole", 404, 10000, 1, 24, true},
    {"early", 1500, 10000, 1, 100, false},    {"late", 1500, 10000, 10001, 10100, false},
    {"whole", 1500, 10000, 1, 26670, true},   {"early", 1500, 2000, 1, 100, false},
    {"late", 1500, 2000, 10001, 10100, false}, {"whole", 1500, 2000, 1, 20000, false},
};

// Adds the fastest repetition to the aggregates that --benchmark_repetitions
// reports: on a shared machine whose pace changes from minute to minute the
// median of a few repetitions moves by more than a change to the step does.
inline void ReportFastest(benchmark::internal::Benchmark* b) {
  b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Reports agentSteps, the free agents moved over the window: agent_steps on
// average per step, per_agent_step as CPU time per free agent.
inline void CountAgentSteps(benchmark::State& state, std::int64_t agentSteps) {
  const auto n = static_cast<double>(agentSteps);
  state.counters["agent_steps"] = benchmark::Counter(n, benchmark::Counter::kAvgIterations);
  state.counters["per_agent_step"] =
      benchmark::Counter(n, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace dla::bench
