// The options of the sweep command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DrawingSize.h"

namespace CLI {
class App;
}

namespace dla::tools {

// dla-batch sweep [--agents LIST] [--threshold LIST] [--runs R] [--seed S]
//                 [--steps K] [--size WxH] [--jobs J] [--shard I/N]
//                 [--series FILE.csv] [--plot FILE.png]
//                 [--plot-measure MEASURE FILE.png] [--help]
struct TSweepOptions {
  // Sorted, without repeats (TValueList). Agents 0 to MaxAgents, thresholds
  // 0 to 65535 (plain decimal numbers: the value the window's text would
  // convert to).
  std::vector<std::int32_t> Agents{2000};
  std::vector<std::uint16_t> Thresholds{6};
  // 1 to 2^32: seeds never repeat within a combination.
  std::uint64_t Runs = 10;
  // None: from the clock, then reported.
  std::optional<std::uint32_t> Seed;
  std::int32_t MaxSteps = 1'000'000;
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

  static constexpr unsigned MaxJobs = 1024;
  // The most runs one share may hold: their rows are kept until the end.
  static constexpr std::uint64_t MaxRunsPerShare = 100'000'000;

  // Declares every option on the sweep's subcommand, bound to this
  // object, which must outlive the parsing. Besides each value's own range,
  // the declarations refuse --shard without --seed (each share would pick
  // its own clock seed, and their union would not be one sweep).
  void Declare(CLI::App& command);

  // After the parsing: refuses a share of more than MaxRunsPerShare runs.
  // Throws EUsageError.
  void Check() const;
};

// The number of cores this process may run on (its CPU affinity, which
// batch schedulers restrict to the job's allocation), at least 1.
unsigned UsableCores() noexcept;

}  // namespace dla::tools
