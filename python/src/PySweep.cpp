#include "PySweep.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <string_view>

#include "CsvWriter.h"
#include "Random.h"
#include "BatchOptions.h"
#include "SweepOptions.h"
#include "SweepPlan.h"
#include "SweepRows.h"
#include "SweepRunner.h"

namespace py = pybind11;

namespace dla::python {
namespace {

struct TParsed {
  tools::TSweepOptions Options;
  tools::TSweepPlan Plan;
};

TParsed Parse(const std::vector<std::string>& options) {
  std::vector<std::string> args{"sweep"};
  args.insert(args.end(), options.begin(), options.end());
  tools::TSweepOptions parsed = *tools::TBatchOptions::Parse(args).Sweep;
  const std::uint32_t seed = parsed.Seed ? *parsed.Seed : ClockSeed();
  tools::TSweepPlan plan(parsed.Agents, parsed.Thresholds, parsed.Runs, seed, parsed.ShardIndex,
                         parsed.ShardCount);
  return {std::move(parsed), std::move(plan)};
}

}  // namespace

TSweepRows CheckSweep(const std::vector<std::string>& options) {
  const TParsed parsed = Parse(options);
  return {parsed.Plan.BaseSeed(), parsed.Plan.Count(), {}};
}

TSweepRows SweepRows(const std::vector<std::string>& options) {
  const TParsed parsed = Parse(options);
  tools::TSweepRunner::TSettings settings;
  settings.Size = parsed.Options.Size;
  settings.MaxSteps = parsed.Options.MaxSteps;
  settings.Jobs = parsed.Options.Jobs.value_or(tools::UsableCores());
  tools::TSweepRunner runner(parsed.Plan, settings);

  TSweepRows rows{parsed.Plan.BaseSeed(), parsed.Plan.Count(), {}};
  tools::TCsvWriter out([&](std::string_view text) { rows.Text.append(text); });
  tools::WriteSweepHeader(out);
  std::atomic<bool> stop{false};
  bool interrupted = false;
  auto lastLook = std::chrono::steady_clock::now();
  {
    py::gil_scoped_release released;
    runner.Run(
        [&](std::uint64_t, const tools::TSweepRun& run, const tools::TRunRecord& record,
            const std::vector<std::int32_t>&) { tools::WriteSweepRow(out, run, record); },
        [&](std::uint64_t) {
          const auto now = std::chrono::steady_clock::now();
          if (now - lastLook < std::chrono::milliseconds(100)) return;
          lastLook = now;
          py::gil_scoped_acquire held;
          // Leaves the KeyboardInterrupt set for the raise below.
          if (PyErr_CheckSignals() != 0) {
            interrupted = true;
            stop = true;
          }
        },
        &stop);
  }
  // The runner stops early only then; a Ctrl-C seen after the last run is
  // raised all the same.
  if (interrupted) throw py::error_already_set();
  out.Flush();
  return rows;
}

}  // namespace dla::python
