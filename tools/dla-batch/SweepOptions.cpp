#include "SweepOptions.h"

#include <limits>
#include <tuple>
#include <utility>

#include "MeasureText.h"
#include "Options.h"
#include "SweepPlan.h"
#include "UsageError.h"
#include "ValueList.h"

namespace dla::tools {
namespace {

template <typename Value>
std::vector<Value> List(std::string_view text, std::int64_t max, std::string_view option) {
  const TValueList list = TValueList::Parse(text, 0, max, option);
  return std::vector<Value>(list.Values().begin(), list.Values().end());
}


}  // namespace

void TSweepOptions::Declare(CLI::App& command) {
  command
      .add_option_function<std::string>(
          "--agents",
          [this](const std::string& text) {
            Agents = List<std::int32_t>(text, AgentsRange.Max, "--agents");
          },
          "agent counts, 0 to " + std::to_string(AgentsRange.Max) + " (default " +
              std::to_string(RunDefaults.Agents) + ")")
      ->type_name("LIST");
  command
      .add_option_function<std::string>(
          "--threshold",
          [this](const std::string& text) {
            Thresholds = List<std::uint16_t>(text, ThresholdValueRange.Max, "--threshold");
          },
          "thresholds, 0 to 65535 (default 6)")
      ->type_name("LIST");
  command.add_option("--runs", Runs, "runs per combination, at least 1 (default 10)")
      ->type_name("R")
      ->transform(WholeNumber(RunsRange));
  CLI::Option* seed =
      command
          .add_option("--seed", Seed, R"(seed of each combination's first run, 0 to 4294967295
(default: from the clock, reported on standard error))")
          ->type_name("S")
          ->transform(WholeNumber(SeedRange));
  command
      .add_option("--steps", MaxSteps,
                  "at most K steps per run (default " + std::to_string(RunDefaults.MaxSteps) + ")")
      ->type_name("K")
      ->transform(WholeNumber(StepsRange));
  command
      .add_option_function<std::string>(
          "--size", [this](const std::string& text) { Size = DrawingSizeFromText(text, "--size"); },
          "drawing area in pixels, at least 3x3 (default " + std::to_string(RunDefaults.DrawingWidth) +
              "x" + std::to_string(RunDefaults.DrawingHeight) + ")")
      ->type_name("WxH");
  command
      .add_option("--jobs", Jobs, R"(runs at once, 1 to 1024 (default: every usable core);
the output is the same for every J)")
      ->type_name("J")
      ->transform(WholeNumber(JobsRange));
  command
      .add_option_function<std::string>(
          "--shard",
          [this](const std::string& text) {
            std::tie(ShardIndex, ShardCount) = TSweepPlan::ShardFromText(text, "--shard");
          },
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
  command
      .add_option("--partial", PartialPath, R"(if the sweep does not finish (Ctrl-C, SIGTERM, a
failure), the rows of its runs done, in order up to
the first unfinished one, for --resume; a sweep that
finishes leaves FILE as it was)")
      ->type_name("FILE.csv");
  command
      .add_option("--resume", ResumePath, R"(a --partial file of this same sweep: only the runs
after its rows are made, and the output is the
whole sweep's (not with --series or --plot; without
--seed, the file's seed); FILE may be --partial's)")
      ->type_name("FILE.csv");
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
prints nothing on standard output and writes no file but --partial's.
Exit status: 0 done, 1 failed while running, 2 bad input (nothing run),
128+signal when interrupted.)");
}

void TSweepOptions::Check() const {
  const std::string fault =
      TSweepPlan::ShareFault(Agents.size() * Thresholds.size() * Runs, ShardIndex, ShardCount);
  if (!fault.empty()) throw EUsageError(fault + " (split it with --shard I/N)");
  // A partial file holds rows, not the free agents per step of its runs.
  for (const auto& [path, name] : {std::pair{&SeriesPath, "--series"}, std::pair{&PlotPath, "--plot"}}) {
    if (ResumePath && *path) {
      throw EUsageError(std::string("--resume: cannot go with ") + name +
                        ": a partial file holds the rows, not the free agents per step");
    }
  }
}

}  // namespace dla::tools
