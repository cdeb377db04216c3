#include "BatchOptions.h"

#include <cstdint>
#include <limits>

#include "IntegerText.h"
#include "MovieFormat.h"
#include "Options.h"

namespace dla::tools {

TBatchOptions TBatchOptions::Parse(const std::vector<std::string>& args) {
  constexpr std::int64_t maxSteps = std::numeric_limits<std::int32_t>::max();
  TBatchOptions options;
  TRun::TSettings& run = options.Run;
  const std::string agentsDefault = std::to_string(RunDefaults.Agents);
  CLI::App app(R"(Runs the diffusion-aggregation model without a window, one step after the
other, until a step in which no agent is free (that step included) or until
--steps steps. A sweep makes many runs (see dla-batch sweep --help).)",
               "dla-batch");
  ConfigureOptions(app);
  CLI::Option* agents =
      app.add_option("--agents", run.Agents,
                     "number of agents, 0 to " + std::to_string(AgentsRange.Max) + " (default " +
                         agentsDefault + ")")
          ->type_name("N")
          ->transform(WholeNumber(AgentsRange));
  // Kept as typed: a saved world keeps the text.
  CLI::Option* threshold = app.add_option("--threshold", run.ThresholdText,
                                          std::string(R"(aggregation threshold, read as the window reads it:
leading blanks, one sign, decimal or $/x/0x hexadecimal;
the low 16 bits count, so -1 means 65535: only a 3x3
block of more than 65535 agents aggregates (default )") +
                                              RunDefaults.ThresholdText + ")")
                               ->type_name("TEXT")
                               ->check(dla::tools::ThresholdText());
  app.add_option("--seed", run.Seed, R"(0 to 4294967295: the seed from which the agents are
placed; repeats a run exactly (default: from the clock))")
      ->type_name("S")
      ->transform(WholeNumber(SeedRange));
  app.add_option("--threads", run.Threads,
                 "threads one step is shared among, 0 to " + std::to_string(ThreadsRange.Max) +
                     ",\n0 for one per processor; the run is the same for\nany number (default " +
                     std::to_string(RunDefaults.Threads) + ")")
      ->type_name("N")
      ->transform(WholeNumber(ThreadsRange));
  app.add_option("--steps", options.MaxSteps,
                 "at most K steps, 0 to 2147483647 (default " + std::to_string(RunDefaults.MaxSteps) + ")")
      ->type_name("K")
      ->transform(WholeNumber(StepsRange));
  CLI::Option* size = app.add_option_function<std::string>(
         "--size",
         [&run](const std::string& text) {
           const TDrawingSize size = DrawingSizeFromText(text, "--size");
           run.DrawingWidth = size.Width;
           run.DrawingHeight = size.Height;
         },
         "drawing area in pixels, at least 3x3 (default " + std::to_string(RunDefaults.DrawingWidth) +
             "x" + std::to_string(RunDefaults.DrawingHeight) + R"();
the lattice has round(W/3) x round(H/3) cells)")
      ->type_name("WxH");
  app.add_option("--picture", options.PicturePath,
                 "after the last step, save the drawing area as PNG")
      ->type_name("FILE.png");
  app.add_flag("--measure", options.Measure, R"(after the last step, measure the aggregates (cells
touching by side or corner, on the torus) and add a
line to standard error (see Output))");
  CLI::Option* every = app.add_option("--measure-every", options.MeasureEvery,
                                      "with --measures: measure after every K-th step")
                           ->type_name("K")
                           ->transform(WholeNumber(1, maxSteps));
  CLI::Option* measures = app.add_option("--measures", options.MeasuresPath,
                                         R"(with --measure-every: the measures after steps
K, 2K, ...: step,aggregates,largest,mean_size,
gyration,dimension,r2)")
                              ->type_name("FILE.csv");
  every->needs(measures);
  measures->needs(every);
  app.add_option("--measures-series", options.MeasuresSeriesPath,
                 R"(the measures after every step, in the columns of
--measures (kept cell by cell as the run goes))")
      ->type_name("FILE.csv");
  app.add_option("--sizes", options.SizesPath,
                 R"(after the last step, the number of aggregates of each
size in cells: size,count)")
      ->type_name("FILE.csv");
  CLI::Option* movie = app.add_option("--movie", options.MoviePath,
                                      R"(a video of the run: the picture before the first step,
after every K-th step and after the last; by extension
.mp4 (H.264), .webm (VP9), .gif or .mkv (lossless FFV1))")
                           ->type_name("FILE")
                           ->check(CLI::Validator(
                               [](const std::string& path) {
                                 return MovieFormatOfPath(path)
                                            ? std::string()
                                            : "'" + path + "' does not end in " + MovieExtensions;
                               },
                               ""));
  app.add_option("--movie-every", options.MovieEvery,
                 "with --movie: a frame every K steps (default 1)")
      ->type_name("K")
      ->transform(WholeNumber(1, maxSteps))
      ->needs(movie);
  app.add_option("--fps", options.Fps, R"(with --movie: frames per second, 1 to 100 (default 25);
a .gif shows at most 50: above that, the last frame
that began in each 1/50 s, so that it keeps its time)")
      ->type_name("F")
      ->transform(WholeNumber(1, 100))
      ->needs(movie);
  CLI::Option* saveState = app.add_option("--save-state", options.SaveStatePath,
                                          R"(after the last step, save the whole world to FILE, to
carry on later with --load-state)")
                               ->type_name("FILE");
  app.add_option("--save-state-every", options.SaveStateEvery,
                 R"(with --save-state: also after every K-th step,
replacing the file each time)")
      ->type_name("K")
      ->transform(WholeNumber(1, maxSteps))
      ->needs(saveState);
  app.add_option("--load-state", options.LoadStatePath,
                 R"(carry on from a saved world, step numbers continuing;
--steps counts the steps made now; --agents, --size
and --seed, if given, must be those of the saved
world; --threshold replaces the saved threshold)")
      ->type_name("FILE");
  CLI::App* sweep = app.add_subcommand("sweep", R"(Runs every combination of the agent counts and
thresholds R times.)");
  options.Sweep.emplace().Declare(*sweep);
  app.footer(R"(Output:
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
input (nothing run, nothing written), 128+signal when interrupted.)");

  options.Help = ParseOptions(app, args);
  options.AgentsGiven = agents->count() > 0;
  options.ThresholdGiven = threshold->count() > 0;
  options.SizeGiven = size->count() > 0;
  if (!sweep->parsed()) {
    options.Sweep.reset();
  } else if (options.Help.empty()) {
    options.Sweep->Check();
  }
  return options;
}

}  // namespace dla::tools
