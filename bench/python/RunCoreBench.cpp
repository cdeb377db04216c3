// The C++ side of the Python module's benchmark (python_bench.py): one run
// made by the run core, as dla-batch and the module make it, timed inside
// this process so that only the run counts.
//
// Usage: run_core_bench AGENTS SEED REPEATS
// Prints one line per repeat:
//   run_ns=N steps=S step_ns=M
// run_ns: the world set up and run to its end (TRun::RunFor); step_ns:
// the same run's steps made one TRun::Step at a time, per step.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "TRun.h"

namespace {

using Clock = std::chrono::steady_clock;

double Nanoseconds(Clock::duration d) {
  return std::chrono::duration<double, std::nano>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: run_core_bench AGENTS SEED REPEATS\n");
    return 2;
  }
  dla::TRun::TSettings settings;
  settings.Agents = std::atoi(argv[1]);
  settings.Seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const int repeats = std::atoi(argv[3]);
  std::int64_t checksum = 0;
  for (int r = 0; r < repeats; ++r) {
    const auto start = Clock::now();
    dla::TRun run(settings);
    run.RunFor(dla::RunDefaults.MaxSteps, [&](const dla::StepResult& step) { checksum += step.FreeAgents; });
    const auto ran = Clock::now();

    dla::TRun stepped(settings);
    const auto stepStart = Clock::now();
    for (std::int32_t i = 0; i < run.Steps(); ++i) checksum += stepped.Step().FreeAgents;
    const auto stepEnd = Clock::now();
    std::printf("run_ns=%.0f steps=%d step_ns=%.1f\n", Nanoseconds(ran - start), run.Steps(),
                run.Steps() > 0 ? Nanoseconds(stepEnd - stepStart) / run.Steps() : 0.0);
  }
  // Keeps the steps' results live.
  std::fprintf(stderr, "checksum=%lld\n", static_cast<long long>(checksum));
  return 0;
}
