// The command line of dla-batch: the options of a single run, or the word
// "sweep" and the sweep's options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SweepOptions.h"
#include "TRun.h"

namespace dla::tools {

// dla-batch [--agents N] [--threshold TEXT] [--seed S] [--threads N] [--steps K]
//           [--size WxH] [--picture FILE.png] [--measure]
//           [--measure-every K --measures FILE.csv] [--measures-series FILE.csv]
//           [--sizes FILE.csv]
//           [--movie FILE [--movie-every K] [--fps F]]
//           [--save-state FILE [--save-state-every K]] [--load-state FILE] [--help]
// dla-batch sweep [SWEEP OPTIONS]
struct TBatchOptions {
  // Agents 0 to RunDefaults.MaxAgents; the threshold as typed, any text
  // that ThresholdFromText takes (converted as the window converts its
  // edit); seed 0 to 2^32 - 1; threads ThreadsRange; size as
  // DrawingSizeFromText.
  TRun::TSettings Run;
  // At most this many steps, 0 to 2^31 - 1: counted from the start, or
  // from the saved step with LoadStatePath.
  std::int32_t MaxSteps = RunDefaults.MaxSteps;
  std::optional<std::string> PicturePath;
  // The aggregate measures after the last step, as one line on standard
  // error.
  bool Measure = false;
  // The measures after every step that is a multiple of MeasureEvery
  // (1 to 2^31 - 1; 0 with no MeasuresPath), to MeasuresPath.
  std::int32_t MeasureEvery = 0;
  std::optional<std::string> MeasuresPath;
  // The measures after every step, to MeasuresSeriesPath: the same columns.
  std::optional<std::string> MeasuresSeriesPath;
  // The size distribution after the last step.
  std::optional<std::string> SizesPath;
  // A movie (docs/movies.md): the picture before the first step, after
  // every MovieEvery-th step (1 to 2^31 - 1) and after the last, at Fps
  // frames a second (1 to 100); the format from the path's extension.
  std::optional<std::string> MoviePath;
  std::int32_t MovieEvery = 1;
  std::int32_t Fps = 25;
  // Checkpoints (docs/checkpoints.md): the world saved after the last step,
  // and after every SaveStateEvery-th step (0: only then); a saved world to
  // carry on from, for MaxSteps more steps. The settings given
  // (AgentsGiven...) must then agree with the saved ones, but for the
  // threshold, which a resumed run may change.
  std::optional<std::string> SaveStatePath;
  std::int32_t SaveStateEvery = 0;
  std::optional<std::string> LoadStatePath;
  bool AgentsGiven = false;
  bool ThresholdGiven = false;
  bool SizeGiven = false;
  // The sweep's options when the command line is `dla-batch sweep ...`.
  std::optional<TSweepOptions> Sweep;
  // The help text of the command when --help was given, the version line
  // for --version: printed instead, and the command is not run.
  std::string Help;

  // Reads the arguments after the program's name (ParseOptions) and checks
  // every option (not the output paths' writability, which needs the file
  // system): each value's range, --measure-every and --measures only
  // together, --movie-every and --fps only with --movie, whose extension
  // must name a format, --save-state-every only with --save-state, and the
  // sweep's TSweepOptions::Check. Throws EUsageError.
  static TBatchOptions Parse(const std::vector<std::string>& args);
};

}  // namespace dla::tools
