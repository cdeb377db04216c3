#include "SweepOptions.h"

#include <sched.h>

#include <limits>
#include <thread>
#include <utility>

#include "MeasureText.h"
#include "Options.h"
#include "UsageError.h"
#include "ValueList.h"

namespace dla::tools {
namespace {

template <typename Value>
std::vector<Value> List(std::string_view text, std::int64_t max, std::string_view option) {
  const TValueList list = TValueList::Parse(text, 0, max, option);
  return std::vector<Value>(list.Values().begin(), list.Values().end());
}

void ParseShard(const std::string& text, TSweepOptions& options) {
  const std::size_t slash = text.find('/');
  const auto bad = [&](const std::string& why) {
    return EUsageError("--shard: " + why + ", got '" + text + "'");
  };
  if (slash == std::string::npos) throw bad("expected I/N, share I of N");
  constexpr std::int64_t max = std::numeric_limits<std::uint32_t>::max();
  const auto index = DecimalValue(std::string_view(text).substr(0, slash), 0, max);
  const auto count = DecimalValue(std::string_view(text).substr(slash + 1), 0, max);
  if (!index || !count) throw bad("expected I/N with whole numbers");
  if (*count < 1 || *index < 1 || *index > *count) throw bad("I/N needs 1 <= I <= N");
  options.ShardIndex = static_cast<std::uint32_t>(*index);
  options.ShardCount = static_cast<std::uint32_t>(*count);
}

}  // namespace

void TSweepOptions::Declare(CLI::App& command) {
  command
      .add_option_function<std::string>(
          "--agents",
          [this](const std::string& text) {
            Agents = List<std::int32_t>(text, MaxAgents, "agents");
          },
          "agent counts, 0 to 100000000 (default 2000)")
      ->type_name("LIST");
  command
      .add_option_function<std::string>(
          "--threshold",
          [this](const std::string& text) {
            Thresholds = List<std::uint16_t>(text, 65535, "threshold");
          },
          "thresholds, 0 to 65535 (default 6)")
      ->type_name("LIST");
  command.add_option("--runs", Runs, "runs per combination, at least 1 (default 10)")
      ->type_name("R")
      ->transform(WholeNumber(1, std::int64_t{1} << 32));
  CLI::Option* seed =
      command
          .add_option("--seed", Seed, R"(seed of each combination's first run, 0 to 4294967295
(default: from the clock, reported on standard error))")
          ->type_name("S")
          ->transform(WholeNumber(0, std::numeric_limits<std::uint32_t>::max()));
  command.add_option("--steps", MaxSteps, "at most K steps per run (default 1000000)")
      ->type_name("K")
      ->transform(WholeNumber(0, std::numeric_limits<std::int32_t>::max()));
  command
      .add_option_function<std::string>(
          "--size", [this](const std::string& text) { Size = DrawingSizeFromText(text, "size"); },
          "drawing area in pixels, at least 3x3 (default 404x404)")
      ->type_name("WxH");
  command
      .add_option("--jobs", Jobs, R"(runs at once, 1 to 1024 (default: every usable core);
the output is the same for every J)")
      ->type_name("J")
      ->transform(WholeNumber(1, MaxJobs));
  command
      .add_option_function<std::string>(
          "--shard", [this](const std::string& text) { ParseShard(text, *this); },
          R"(run only share I of N (needs --seed, the same for
every share); the shares' rows, concatenated and
sorted, are the whole sweep's rows)")
      ->type_name("I/N")
      ->needs(seed);
  command
      .add_option("--series", SeriesPath, R"(every run's free agents per step:
agents,threshold,seed,step,free_agents)")
      ->type_name("FILE.csv");
  command
      .add_option("--plot", PlotPath, R"(mean free agents against the step, one line per
combination (1200x800 pixels))")
      ->type_name("FILE.png");
  command
      .add_option_function<std::pair<std::string, std::string>>(
          "--plot-measure",
          [this](const std::pair<std::string, std::string>& plot) {
            PlotMeasure = plot.first;
            PlotMeasurePath = plot.second;
          },
          R"(a measure of the aggregates (aggregates, largest,
mean_size, gyration, dimension or r2) against the
threshold, one line per agent count, mean and one
standard deviation over the runs that have a value)")
      ->type_name("MEASURE FILE.png")
      ->check(CLI::Validator(
                  [](std::string& name) {
                    return MeasureColumn(name) ? std::string()
                                               : "expected one of " + std::string(MeasureColumns) +
                                                     ", got '" + name + "'";
                  },
                  "")
                  .application_index(0));
  command.footer(R"(Run r (0-based) of a combination has the seed S+r (mod 2^32) and is the run
that `dla-batch --seed S+r` makes. Lists are numbers and ranges separated by
commas: 3,5,8  or  3..8  or  1000..5000:1000 (from 1000 to 5000 in steps of
1000).

Output:
  standard output: agents,threshold,seed,steps,ended,aggregated_cells,
                   stuck_agents,aggregates,largest,mean_size,gyration,
                   dimension,r2, one row per run, sorted by agents,
                   threshold, seed; ended is 1 if the run ended by itself
                   within --steps; the measures of the aggregates after the
                   last step as dla-batch --measure gives them, an absent
                   value (or the gyration of an aggregate that wraps round
                   the torus) empty
  standard error:  a progress bar on a terminal; at the end the seed and a
                   summary table per combination (runs, mean and sample
                   standard deviation of steps, minimum, maximum, ended;
                   mean and sample standard deviation of aggregates,
                   largest and dimension)

Output files are written whole or not at all. Ctrl-C stops the sweep,
prints nothing on standard output and writes no file.
Exit status: 0 done, 1 failed while running, 2 bad input (nothing run),
128+signal when interrupted.)");
}

void TSweepOptions::Check() const {
  const std::uint64_t total = Agents.size() * Thresholds.size() * Runs;
  const std::uint64_t share = (total + ShardCount - 1 - (ShardIndex - 1)) / ShardCount;
  if (share > MaxRunsPerShare) {
    throw EUsageError("the sweep holds " + std::to_string(total) + " runs, " +
                      std::to_string(share) + " for this share; at most " +
                      std::to_string(MaxRunsPerShare) + " per share (split it with --shard I/N)");
  }
}

unsigned UsableCores() noexcept {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}

}  // namespace dla::tools
