#include "SweepOptions.h"

#include <sched.h>

#include <filesystem>
#include <limits>
#include <thread>

#include "ArgumentText.h"
#include "MeasureText.h"
#include "CommandLine.h"
#include "UsageError.h"
#include "ValueList.h"

namespace dla::tools {
namespace {

void ParseShard(std::string_view text, TSweepOptions& options) {
  const std::size_t slash = text.find('/');
  const auto bad = [&](const std::string& why) {
    return EUsageError("--shard: " + why + ", got '" + std::string(text) + "'");
  };
  if (slash == std::string_view::npos) throw bad("expected I/N, share I of N");
  constexpr std::int64_t max = std::numeric_limits<std::uint32_t>::max();
  const auto index = DecimalValue(text.substr(0, slash), 0, max);
  const auto count = DecimalValue(text.substr(slash + 1), 0, max);
  if (!index || !count) throw bad("expected I/N with whole numbers");
  if (*count < 1 || *index < 1 || *index > *count) {
    throw bad("I/N needs 1 <= I <= N");
  }
  options.ShardIndex = static_cast<std::uint32_t>(*index);
  options.ShardCount = static_cast<std::uint32_t>(*count);
}

bool SameFile(const std::string& a, const std::string& b) {
  // Neither file need exist yet; compare what their paths resolve to.
  const auto resolved = [](const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    if (error) return std::filesystem::path(path);
    const auto canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
  };
  return resolved(a) == resolved(b);
}

}  // namespace

void TSweepOptions::Declare(TCommandLine& parser) {
  for (const char* name : {"agents", "threshold", "runs", "seed", "steps", "size", "jobs",
                           "shard", "series", "plot"}) {
    parser.Add(name, 1);
  }
  parser.Add("plot-measure", 2);
  parser.Add("help", 0);
}

TSweepOptions TSweepOptions::Parse(const std::vector<std::string_view>& args) {
  TCommandLine parser;
  Declare(parser);
  parser.Parse(args);

  TSweepOptions options;
  if (parser.Has("help")) {
    options.Help = true;
    return options;
  }
  if (const auto text = parser.Value("agents")) {
    options.Agents.clear();
    const TValueList list = TValueList::Parse(*text, 0, MaxAgents, "agents");
    for (const auto v : list.Values()) {
      options.Agents.push_back(static_cast<std::int32_t>(v));
    }
  }
  if (const auto text = parser.Value("threshold")) {
    options.Thresholds.clear();
    const TValueList list = TValueList::Parse(*text, 0, 65535, "threshold");
    for (const auto v : list.Values()) {
      options.Thresholds.push_back(static_cast<std::uint16_t>(v));
    }
  }
  if (const auto text = parser.Value("runs")) {
    options.Runs = static_cast<std::uint64_t>(
        ParseDecimal(*text, 1, std::int64_t{1} << 32, "runs"));
  }
  if (const auto text = parser.Value("seed")) {
    options.Seed = static_cast<std::uint32_t>(
        ParseDecimal(*text, 0, std::numeric_limits<std::uint32_t>::max(), "seed"));
  }
  if (const auto text = parser.Value("steps")) {
    options.MaxSteps = static_cast<std::int32_t>(
        ParseDecimal(*text, 0, std::numeric_limits<std::int32_t>::max(), "steps"));
  }
  if (const auto text = parser.Value("size")) options.Size = ParseDrawingSize(*text, "size");
  if (const auto text = parser.Value("jobs")) {
    options.Jobs = static_cast<unsigned>(ParseDecimal(*text, 1, MaxJobs, "jobs"));
  }
  if (const auto text = parser.Value("shard")) {
    ParseShard(*text, options);
    if (!options.Seed) {
      throw EUsageError(
          "--shard needs --seed: every share must run the same sweep, and a clock seed differs "
          "from share to share");
    }
  }
  if (const auto text = parser.Value("series")) options.SeriesPath = *text;
  if (const auto text = parser.Value("plot")) options.PlotPath = *text;
  if (const auto values = parser.Values("plot-measure"); !values.empty()) {
    if (!MeasureColumn(values[0])) {
      throw EUsageError("--plot-measure: expected one of " + std::string(MeasureColumns) +
                        ", got '" + values[0] + "'");
    }
    options.PlotMeasure = values[0];
    options.PlotMeasurePath = values[1];
  }
  const std::pair<const char*, const std::optional<std::string>*> outputs[] = {
      {"--series", &options.SeriesPath},
      {"--plot", &options.PlotPath},
      {"--plot-measure", &options.PlotMeasurePath}};
  for (std::size_t i = 0; i < std::size(outputs); ++i) {
    for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
      const auto& a = *outputs[i].second;
      const auto& b = *outputs[j].second;
      if (a && b && SameFile(*a, *b)) {
        throw EUsageError(std::string(outputs[i].first) + " and " + outputs[j].first +
                          " name the same file '" + *b + "'");
      }
    }
  }

  const std::uint64_t total = options.Agents.size() * options.Thresholds.size() * options.Runs;
  const std::uint64_t share =
      (total + options.ShardCount - 1 - (options.ShardIndex - 1)) / options.ShardCount;
  if (share > MaxRunsPerShare) {
    throw EUsageError("the sweep holds " + std::to_string(total) + " runs, " +
                      std::to_string(share) + " for this share; at most " +
                      std::to_string(MaxRunsPerShare) +
                      " per share (split it with --shard I/N)");
  }
  return options;
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

const char* TSweepOptions::HelpText() {
  return R"(Usage: dla-batch sweep [OPTIONS]

Runs every combination of the agent counts and thresholds R times, with the
seeds S, S+1, ..., S+R-1 (mod 2^32), each run as `dla-batch --seed` makes it.

Lists are numbers and ranges separated by commas: 3,5,8  or  3..8  or
1000..5000:1000 (from 1000 to 5000 in steps of 1000).

Options:
  --agents LIST       agent counts, 0 to 100000000 (default 2000)
  --threshold LIST    thresholds, 0 to 65535 (default 6)
  --runs R            runs per combination, at least 1 (default 10)
  --seed S            seed of each combination's first run, 0 to 4294967295
                      (default: from the clock, reported on standard error)
  --steps K           at most K steps per run (default 1000000)
  --size WxH          drawing area in pixels, at least 3x3 (default 404x404)
  --jobs J            runs at once, 1 to 1024 (default: every usable core);
                      the output is the same for every J
  --shard I/N         run only share I of N (needs --seed); the shares' rows,
                      concatenated and sorted, are the whole sweep's rows
  --series FILE.csv   every run's free agents per step:
                      agents,threshold,seed,step,free_agents
  --plot FILE.png     mean free agents against the step, one line per
                      combination (1200x800 pixels)
  --plot-measure MEASURE FILE.png
                      a measure of the aggregates (aggregates, largest,
                      mean_size, gyration, dimension or r2) against the
                      threshold, one line per agent count, mean and one
                      standard deviation over the runs that have a value
  --help              show this text

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
128+signal when interrupted.
)";
}

}  // namespace dla::tools
