#include "PySweep.h"

#include <pybind11/numpy.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "Arguments.h"
#include "MeasureText.h"
#include "OutputFile.h"
#include "PartialSweep.h"
#include "PrintableText.h"
#include "Random.h"
#include "SweepPlan.h"
#include "SweepRows.h"
#include "SweepRunner.h"
#include "TextColumns.h"
#include "UsageError.h"
#include "ValueList.h"

namespace py = pybind11;

namespace dla::python {
namespace {

template <typename Value>
std::vector<Value> List(const std::string& text, tools::TWholeRange range, const char* name) {
  try {
    const tools::TValueList list = tools::TValueList::Parse(text, range.Min, range.Max, name);
    return std::vector<Value>(list.Values().begin(), list.Values().end());
  } catch (const tools::EUsageError& error) {
    Refuse(error.Message());
  }
}

struct TParsed {
  tools::TSweepPlan Plan;
  tools::TSweepRunner::TSettings Settings;
  // The rows of the partial file resumed.
  std::vector<tools::TRunRecord> Resumed;
};

// The values of a partial file's first line as they are called here.
constexpr tools::TPartialSweep::TNames PythonNames{"agents", "thresholds", "runs", "seed",
                                                   "steps",  "size",       "shard"};

TParsed Parse(const TSweepArguments& arguments) {
  const auto agents = List<std::int32_t>(arguments.Agents, tools::AgentsRange, "agents");
  const auto thresholds = List<std::uint16_t>(arguments.Thresholds, tools::ThresholdValueRange, "thresholds");
  const auto runs = static_cast<std::uint64_t>(WholeArgument("runs", arguments.Runs, tools::RunsRange));
  std::optional<std::uint32_t> seed;
  if (!arguments.Seed.is_none()) {
    seed = static_cast<std::uint32_t>(WholeArgument("seed", arguments.Seed, tools::SeedRange));
  }
  tools::TSweepRunner::TSettings settings;
  settings.MaxSteps = static_cast<std::int32_t>(WholeArgument("steps", arguments.Steps, tools::StepsRange));
  settings.Size = SizeArgument(arguments.Size);
  settings.Jobs = arguments.Jobs.is_none()
                      ? tools::UsableCores()
                      : static_cast<unsigned>(WholeArgument("jobs", arguments.Jobs, tools::JobsRange));
  std::uint32_t shardIndex = 1, shardCount = 1;
  if (!arguments.Shard.is_none()) {
    try {
      std::tie(shardIndex, shardCount) =
          tools::TSweepPlan::ShardFromText(arguments.Shard.cast<std::string>(), "shard");
    } catch (const tools::EUsageError& error) {
      Refuse(error.Message());
    }
    // Each share would pick a clock seed of its own, and their union would
    // not be one sweep.
    if (!seed) Refuse("shard needs a seed, the same for every share");
  }
  const std::string fault =
      tools::TSweepPlan::ShareFault(agents.size() * thresholds.size() * runs, shardIndex, shardCount);
  if (!fault.empty()) Refuse(fault + " (split it with shard=(i, n))");
  try {
    std::optional<tools::TPartialSweep> resumed;
    if (!arguments.Resume.is_none()) {
      resumed = tools::TPartialSweep::Read(arguments.Resume.cast<std::string>(), "resume");
      // The clock's seed of the sweep that was interrupted.
      if (!seed) seed = resumed->Seed();
    }
    TParsed parsed{tools::TSweepPlan(agents, thresholds, runs, seed ? *seed : ClockSeed(), shardIndex, shardCount),
                   settings,
                   {}};
    if (resumed) {
      parsed.Resumed = resumed->TakeRecords(parsed.Plan, settings.MaxSteps, settings.Size, PythonNames);
    }
    parsed.Settings.First = parsed.Resumed.size();
    return parsed;
  } catch (const tools::EUsageError& error) {
    Refuse(error.Message());
  }
}

}  // namespace

py::tuple CheckSweep(const TSweepArguments& arguments) {
  const TParsed parsed = Parse(arguments);
  return py::make_tuple(parsed.Plan.BaseSeed(), parsed.Plan.Count());
}

py::tuple Sweep(const TSweepArguments& arguments) {
  const TParsed parsed = Parse(arguments);
  std::optional<tools::TOutputFile> partial;
  if (!arguments.Partial.is_none()) {
    try {
      partial.emplace(arguments.Partial.cast<std::string>(), "partial", tools::TOutputFile::EInterrupts::WriteOn);
    } catch (const tools::EUsageError& error) {
      Refuse(error.Message());
    }
  }
  tools::TSweepRunner runner(parsed.Plan, parsed.Settings);
  const auto count = static_cast<std::size_t>(parsed.Plan.Count());
  std::vector<std::vector<std::int64_t>> counts(7, std::vector<std::int64_t>(count));
  std::vector<std::vector<double>> measures(std::tuple_size_v<tools::TMeasureValues>, std::vector<double>(count));
  // Rows 0 .. handed - 1 are filled in.
  std::uint64_t handed = 0;
  const auto fill = [&](std::uint64_t index, const tools::TSweepRun& run, const tools::TRunRecord& record) {
    const std::int64_t row[] = {run.Agents,   run.Threshold,        record.Seed,           record.Steps,
                                record.Ended ? 1 : 0, record.AggregatedCells, record.StuckAgents};
    for (std::size_t c = 0; c < counts.size(); ++c) counts[c][index] = row[c];
    for (std::size_t c = 0; c < measures.size(); ++c) measures[c][index] = record.Measures[c];
    handed = index + 1;
  };
  for (std::uint64_t i = 0; i < parsed.Resumed.size(); ++i) fill(i, parsed.Plan.Run(i), parsed.Resumed[i]);
  const auto recordAt = [&](std::uint64_t i) {
    tools::TRunRecord record;
    record.Seed = static_cast<std::uint32_t>(counts[2][i]);
    record.Steps = static_cast<std::int32_t>(counts[3][i]);
    record.Ended = counts[4][i] != 0;
    record.AggregatedCells = static_cast<std::int32_t>(counts[5][i]);
    record.StuckAgents = static_cast<std::int32_t>(counts[6][i]);
    for (std::size_t c = 0; c < measures.size(); ++c) record.Measures[c] = measures[c][i];
    return record;
  };
  // A partial file that cannot be written, in Python's words; empty when it
  // was written.
  const auto keep = [&]() -> std::string {
    try {
      tools::TPartialSweep::Write(partial->Sink(), parsed.Plan, parsed.Settings.MaxSteps, parsed.Settings.Size,
                                  handed, recordAt);
      partial->Commit();
      return {};
    } catch (const std::exception& error) {
      return "partial: " + MessageOf(error);
    }
  };

  std::atomic<bool> stop{false};
  bool interrupted = false;
  std::exception_ptr failure;
  std::string unkept;
  auto lastLook = std::chrono::steady_clock::now();
  {
    py::gil_scoped_release released;
    try {
      runner.Run([&](std::uint64_t index, const tools::TSweepRun& run, const tools::TRunRecord& record,
                     const std::vector<std::int32_t>&) { fill(index, run, record); },
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
    } catch (...) {
      failure = std::current_exception();
    }
    if (partial && (interrupted || failure)) unkept = keep();
  }
  // What went wrong comes first: a partial file that could not be written
  // is told only as what the interrupt led to.
  if (failure) std::rethrow_exception(failure);
  // The runner stops early only then; a Ctrl-C seen after the last run is
  // raised all the same.
  if (interrupted) {
    if (!unkept.empty()) py::raise_from(PyExc_ValueError, tools::PrintableText(unkept).c_str());
    throw py::error_already_set();
  }
  py::dict columns;
  const std::vector<std::string> runNames = TextColumns(tools::SweepRunColumns);
  for (std::size_t c = 0; c < counts.size(); ++c) {
    columns[py::str(runNames.at(c))] = py::array_t<std::int64_t>(static_cast<py::ssize_t>(count), counts[c].data());
  }
  const std::vector<std::string> measureNames = TextColumns(tools::MeasureColumns);
  for (std::size_t c = 0; c < measures.size(); ++c) {
    // The counts among the measures are never absent: whole numbers.
    if (measureNames[c] == "aggregates" || measureNames[c] == "largest") {
      std::vector<std::int64_t> whole(measures[c].begin(), measures[c].end());
      columns[py::str(measureNames[c])] = py::array_t<std::int64_t>(static_cast<py::ssize_t>(count), whole.data());
    } else {
      columns[py::str(measureNames[c])] = py::array_t<double>(static_cast<py::ssize_t>(count), measures[c].data());
    }
  }
  return py::make_tuple(parsed.Plan.BaseSeed(), columns);
}

}  // namespace dla::python
