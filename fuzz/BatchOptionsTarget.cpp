#include <algorithm>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "FuzzChecks.h"
#include "PrintableText.h"
#include "SweepPlan.h"
#include "SweepRunner.h"
#include "UsageError.h"

namespace dla::fuzz {
namespace {

std::vector<std::string> Arguments(std::string_view input) {
  std::vector<std::string> args;
  if (input.empty()) return args;
  std::size_t at = 0;
  while (at <= input.size()) {
    const std::size_t end = std::min(input.find_first_of(std::string_view("\0\n", 2), at), input.size());
    args.emplace_back(input.substr(at, end - at));
    at = end + 1;
  }
  return args;
}

bool Small(std::int64_t agents, std::int64_t width, std::int64_t height) {
  return agents <= MaxFuzzAgents && width * height <= MaxFuzzPixels;
}

void Single(const tools::TBatchOptions& options) {
  if (options.LoadStatePath || !Small(options.Run.Agents, options.Run.DrawingWidth, options.Run.DrawingHeight)) {
    return;
  }
  TRun::TSettings settings = options.Run;
  settings.KeepMeasures = options.MeasuresSeriesPath.has_value();
  // A run seeded from the clock would not repeat its input's path.
  settings.Seed = options.Run.Seed.value_or(1);
  // Starting a hundred threads for each input would only slow the search:
  // a few share a step as many do.
  settings.Threads = std::min(options.Run.Threads, 3);
  TRun run(settings);
  const std::int32_t steps = std::min(options.MaxSteps, MaxFuzzSteps);
  run.RunFor(steps, [](const StepResult&) {});
  Expect(run.Steps() <= steps && run.FreeAgents() <= std::max(options.Run.Agents, 0),
         "a run made more steps than asked for or has more agents than it was given");
}

void Sweep(const tools::TSweepOptions& options) {
  const tools::TSweepPlan plan(options.Agents, options.Thresholds, options.Runs, options.Seed.value_or(0),
                               options.ShardIndex, options.ShardCount);
  const std::uint64_t listed = std::min(plan.Count(), MaxListedRuns);
  for (std::uint64_t i = 0; i < listed; ++i) {
    const tools::TSweepRun run = plan.Run(i);
    Expect(run.Combination < plan.CombinationCount() && plan.CombinationAgents(run.Combination) == run.Agents &&
               plan.CombinationThreshold(run.Combination) == run.Threshold,
           "a sweep's run outside its combinations");
  }
  if (plan.Count() > MaxFuzzSweepRuns || !Small(options.Agents.back(), options.Size.Width, options.Size.Height)) {
    return;
  }
  tools::TSweepRunner::TSettings settings;
  settings.Size = options.Size;
  settings.MaxSteps = std::min(options.MaxSteps, MaxFuzzSteps);
  settings.Jobs = 1;
  std::uint64_t handedBack = 0;
  tools::TSweepRunner(plan, settings)
      .Run(
          [&](std::uint64_t index, const tools::TSweepRun&, const tools::TRunRecord& record,
              const std::vector<std::int32_t>&) {
            Expect(index == handedBack++ && record.Steps <= settings.MaxSteps, "a sweep's run out of order or too long");
          },
          [](std::uint64_t) {}, nullptr);
  Expect(handedBack == plan.Count(), "a sweep that did not hand back every run");
}

}  // namespace

bool FuzzBatchOptions(const std::uint8_t* data, std::size_t size) {
  if (size > MaxCommandLineBytes) return false;
  tools::TBatchOptions options;
  try {
    options = tools::TBatchOptions::Parse(Arguments(AsText(data, size)));
  } catch (const tools::EUsageError& refusal) {
    // What the program prints: one line whatever the arguments held.
    ExpectOneLine(tools::PrintableText(refusal.Message()), "dla-batch");
    return false;
  }
  if (!options.Help.empty()) return true;
  if (options.Sweep) {
    Sweep(*options.Sweep);
  } else {
    Single(options);
  }
  return true;
}

}  // namespace dla::fuzz
