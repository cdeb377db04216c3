// The options of the sweep command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DrawingSize.h"
#include "RunDefaults.h"

namespace CLI {
class App;
}

namespace dla::tools {

// dla-batch sweep [--agents LIST] [--threshold LIST] [--runs R] [--seed S]
//                 [--steps K] [--size WxH] [--jobs J] [--shard I/N]
//                 [--series FILE.csv] [--plot FILE.png]
//                 [--plot-measure MEASURE FILE.png] [--partial FILE.csv]
//                 [--resume FILE.csv] [--help]
struct TSweepOptions {
  // Sorted, without repeats (TValueList). Agents 0 to MaxAgents, thresholds
  // 0 to 65535 (plain decimal numbers: the value the window's text would
  // convert to).
  std::vector<std::int32_t> Agents{RunDefaults.Agents};
  std::vector<std::uint16_t> Thresholds{6};
  // 1 to 2^32: seeds never repeat within a combination.
  std::uint64_t Runs = 10;
  // None: from the clock, then reported.
  std::optional<std::uint32_t> Seed;
  std::int32_t MaxSteps = RunDefaults.MaxSteps;
  TDrawingSize Size;
  // 1 to MaxJobs; none: every core this process may use.
  std::optional<unsigned> Jobs;
  // 1 <= ShardIndex <= ShardCount.
  std::uint32_t ShardIndex = 1;
  std::uint32_t ShardCount = 1;
  std::optional<std::string> SeriesPath;
  std::optional<std::string> PlotPath;
  // A column of MeasureColumns and the picture it is plotted to.
  std::string PlotMeasure;
  std::optional<std::string> PlotMeasurePath;
  // Where a sweep that does not finish keeps the rows of its finished runs
  // (TPartialSweep), and the partial file that a sweep resumes.
  std::optional<std::string> PartialPath;
  std::optional<std::string> ResumePath;

  // Declares every option on the sweep's subcommand, bound to this
  // object, which must outlive the parsing. Besides each value's own range,
  // the declarations refuse --shard without --seed (each share would pick
  // its own clock seed, and their union would not be one sweep).
  void Declare(CLI::App& command);

  // After the parsing: refuses a share of more than
  // TSweepPlan::MaxRunsPerShare runs, and --resume with an output that the
  // rows of a partial file cannot make whole (--series, --plot). Throws
  // EUsageError.
  void Check() const;
};

}  // namespace dla::tools
