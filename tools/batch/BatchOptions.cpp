#include "BatchOptions.h"

#include <cstdint>
#include <limits>

#include "ArgumentText.h"
#include "IntegerText.h"
#include "CommandLine.h"
#include "MovieFormat.h"
#include "UsageError.h"

namespace dla::tools {

void TBatchOptions::Declare(TCommandLine& parser) {
  for (const char* name : {"agents", "threshold", "seed", "steps", "size", "picture",
                           "measure-every", "measures", "sizes", "movie", "movie-every", "fps",
                           "save-state", "save-state-every", "load-state"}) {
    parser.Add(name, 1);
  }
  parser.Add("measure", 0);
  parser.Add("help", 0);
}

TBatchOptions TBatchOptions::Parse(const std::vector<std::string_view>& args) {
  TCommandLine parser;
  Declare(parser);
  parser.Parse(args);

  TBatchOptions options;
  if (parser.Has("help")) {
    options.Help = true;
    return options;
  }
  if (const auto text = parser.Value("agents")) {
    options.Run.Agents = static_cast<std::int32_t>(ParseDecimal(*text, 0, MaxAgents, "agents"));
  }
  if (const auto text = parser.Value("threshold")) options.ThresholdText = *text;
  try {
    options.Run.Threshold = ThresholdFromText(options.ThresholdText);
  } catch (const EConvertError& error) {
    throw EUsageError(std::string("--threshold: ") + error.what());
  }
  if (const auto text = parser.Value("seed")) {
    options.Run.Seed = static_cast<std::uint32_t>(
        ParseDecimal(*text, 0, std::numeric_limits<std::uint32_t>::max(), "seed"));
  }
  if (const auto text = parser.Value("steps")) {
    options.Run.MaxSteps = static_cast<std::int32_t>(
        ParseDecimal(*text, 0, std::numeric_limits<std::int32_t>::max(), "steps"));
  }
  if (const auto text = parser.Value("size")) options.Run.Size = ParseDrawingSize(*text, "size");
  if (const auto text = parser.Value("picture")) options.PicturePath = *text;
  options.Measure = parser.Has("measure");
  if (const auto text = parser.Value("measure-every")) {
    options.MeasureEvery = static_cast<std::int32_t>(
        ParseDecimal(*text, 1, std::numeric_limits<std::int32_t>::max(), "measure-every"));
  }
  if (const auto text = parser.Value("measures")) options.MeasuresPath = *text;
  if ((options.MeasureEvery > 0) != options.MeasuresPath.has_value()) {
    throw EUsageError("--measure-every K and --measures FILE.csv go together");
  }
  if (const auto text = parser.Value("sizes")) options.SizesPath = *text;
  if (const auto text = parser.Value("movie")) {
    if (!MovieFormatOfPath(*text)) {
      throw EUsageError("--movie: '" + *text + "' does not end in " + MovieExtensions);
    }
    options.MoviePath = *text;
  }
  if (const auto text = parser.Value("movie-every")) {
    options.MovieEvery = static_cast<std::int32_t>(
        ParseDecimal(*text, 1, std::numeric_limits<std::int32_t>::max(), "movie-every"));
  }
  if (const auto text = parser.Value("fps")) {
    options.Fps = static_cast<std::int32_t>(ParseDecimal(*text, 1, 100, "fps"));
  }
  if ((parser.Has("movie-every") || parser.Has("fps")) && !options.MoviePath) {
    throw EUsageError("--movie-every and --fps need --movie FILE");
  }
  if (const auto text = parser.Value("save-state")) options.SaveStatePath = *text;
  if (const auto text = parser.Value("save-state-every")) {
    options.SaveStateEvery = static_cast<std::int32_t>(
        ParseDecimal(*text, 1, std::numeric_limits<std::int32_t>::max(), "save-state-every"));
    if (!options.SaveStatePath) throw EUsageError("--save-state-every K needs --save-state FILE");
  }
  if (const auto text = parser.Value("load-state")) options.LoadStatePath = *text;
  options.AgentsGiven = parser.Has("agents");
  options.ThresholdGiven = parser.Has("threshold");
  options.SizeGiven = parser.Has("size");
  return options;
}

const char* TBatchOptions::HelpText() {
  return R"(Usage: dla-batch [OPTIONS]
       dla-batch sweep [SWEEP OPTIONS]   (see dla-batch sweep --help)

Runs the diffusion-aggregation model without a window, one step after the
other, until a step in which no agent is free (that step included) or until
--steps steps.

Options:
  --agents N          number of agents, 0 to 100000000 (default 2000)
  --threshold TEXT    aggregation threshold, read as the window reads it:
                      leading blanks, one sign, decimal or $/x/0x hexadecimal;
                      the low 16 bits count, so -1 means 65535: only a 3x3
                      block of more than 65535 agents aggregates (default 6)
  --seed S            0 to 4294967295: the seed from which the agents are
                      placed; repeats a run exactly (default: from the clock)
  --steps K           at most K steps, 0 to 2147483647 (default 1000000)
  --size WxH          drawing area in pixels, at least 3x3 (default 404x404);
                      the lattice has round(W/3) x round(H/3) cells
  --picture FILE.png  after the last step, save the drawing area as PNG
  --measure           after the last step, measure the aggregates (cells
                      touching by side or corner, on the torus) and add a
                      line to standard error (see Output)
  --measure-every K   with --measures: measure after every K-th step
  --measures FILE.csv the measures after steps K, 2K, ...:
                      step,aggregates,largest,mean_size,gyration,dimension,r2
  --sizes FILE.csv    after the last step, the number of aggregates of each
                      size in cells: size,count
  --movie FILE        a video of the run: the picture before the first step,
                      after every K-th step and after the last; by extension
                      .mp4 (H.264), .webm (VP9), .gif or .mkv (lossless FFV1)
  --movie-every K     with --movie: a frame every K steps (default 1)
  --fps F             with --movie: frames per second, 1 to 100 (default 25)
  --save-state FILE   after the last step, save the whole world to FILE, to
                      carry on later with --load-state
  --save-state-every K  with --save-state: also after every K-th step,
                      replacing the file each time
  --load-state FILE   carry on from a saved world, step numbers continuing;
                      --steps counts the steps made now; --agents,
                      --threshold, --size and --seed, if given, must be
                      those of the saved world
  --help              show this text

Output:
  standard output: "step,free_agents", then one line per step
  standard error:  at the end "seed=S steps=N free=F aggregated=M"
                   (F: agents still free after the last step, M: aggregated
                   cells); a live progress line when it is a terminal;
                   with --measure then "aggregates=A largest=L mean_size=M
                   gyration=G dimension=D r2=R": G is the radius of
                   gyration of the largest aggregate in cells, D its box-
                   counting dimension (all aggregates) and R the R^2 of
                   that fit; "none" when absent, G "wraps" when the largest
                   aggregate reaches round the torus (both empty in CSV)

Exit status: 0 done, 1 failed while running (e.g. a write error), 2 bad
input (nothing run, nothing written), 128+signal when interrupted.
)";
}

}  // namespace dla::tools
