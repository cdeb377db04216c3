#include "BatchCommand.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "AggregateMeasures.h"
#include "CsvWriter.h"
#include "InterruptGuard.h"
#include "MeasureText.h"
#include "MeasuresCsv.h"
#include "MovieEncoder.h"
#include "OutputSet.h"
#include "PngWriter.h"
#include "ProgressLine.h"
#include "Render.h"
#include "Report.h"
#include "StandardStreams.h"
#include "SeriesCsv.h"
#include "TRun.h"
#include "UsageError.h"

namespace dla::tools {
namespace {

// The run to make: a new one, or one that carries on from the saved world
// named by --load-state, whose settings then replace the defaults; a
// setting given that differs from the saved one is refused, but for the
// threshold, which the run then takes.
std::unique_ptr<TRun> MakeRun(TBatchOptions& options) {
  TRun::TSettings& settings = options.Run;
  // The steps are written out as they come; the measures are kept cell by
  // cell where they are written at many steps.
  settings.KeepSeries = false;
  settings.KeepMeasures = options.MeasuresPath || options.MeasuresSeriesPath;
  if (!options.LoadStatePath) {
    try {
      return std::make_unique<TRun>(settings);
    } catch (const std::invalid_argument& error) {
      throw EUsageError(error.what());
    }
  }
  std::unique_ptr<TRun> run;
  try {
    run = std::make_unique<TRun>(TRun::Load(*options.LoadStatePath, settings));
  } catch (const std::runtime_error& error) {
    throw EUsageError(std::string("--load-state: ") + error.what());
  }
  const TWorld& world = run->World();
  const auto contradicts = [](const std::string& given, const std::string& savedValue) {
    return EUsageError(given + " contradicts the saved world (" + savedValue + ")");
  };
  const auto area = [](std::int32_t width, std::int32_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
  };
  if (options.SizeGiven &&
      (settings.DrawingWidth != world.DrawingWidth() || settings.DrawingHeight != world.DrawingHeight())) {
    throw contradicts("--size " + area(settings.DrawingWidth, settings.DrawingHeight),
                      "size " + area(world.DrawingWidth(), world.DrawingHeight()));
  }
  if (options.AgentsGiven && static_cast<std::size_t>(settings.Agents) != world.AgentCount()) {
    throw contradicts("--agents " + std::to_string(settings.Agents),
                      std::to_string(world.AgentCount()) + " agents");
  }
  if (settings.Seed && *settings.Seed != world.PlacementSeed()) {
    throw contradicts("--seed " + std::to_string(*settings.Seed),
                      "seed " + std::to_string(world.PlacementSeed()));
  }
  // Read already by the option layer, so it converts.
  if (options.ThresholdGiven) run->SetThresholdText(settings.ThresholdText);
  return run;
}

}  // namespace

int RunBatchCommand(TBatchOptions options) {
  constexpr std::string_view program = "dla-batch";
  TOutputSet outputs;
  TOutputFile* picture = nullptr;
  TOutputFile* measuresFile = nullptr;
  TOutputFile* measuresSeriesFile = nullptr;
  TOutputFile* sizesFile = nullptr;
  TOutputFile* movieFile = nullptr;
  TOutputFile* stateFile = nullptr;
  std::unique_ptr<TRun> run;
  std::optional<TCanvas> canvas;
  std::optional<TMovieEncoder> movie;
  try {
    if (options.PicturePath) picture = &outputs.Add(*options.PicturePath, "--picture");
    if (options.MeasuresPath) measuresFile = &outputs.Add(*options.MeasuresPath, "--measures");
    if (options.MeasuresSeriesPath) {
      measuresSeriesFile = &outputs.Add(*options.MeasuresSeriesPath, "--measures-series");
    }
    if (options.SizesPath) sizesFile = &outputs.Add(*options.SizesPath, "--sizes");
    if (options.MoviePath) movieFile = &outputs.Add(*options.MoviePath, "--movie");
    if (options.SaveStatePath) stateFile = &outputs.Add(*options.SaveStatePath, "--save-state");
    run = MakeRun(options);
    if (movieFile) {
      movie.emplace(*MovieFormatOfPath(*options.MoviePath), run->World().DrawingWidth(),
                    run->World().DrawingHeight(), options.Fps);
      try {
        movie->CheckAvailable();
      } catch (const std::runtime_error& error) {
        throw EUsageError(error.what());
      }
    }
    // The picture's memory is taken before the run, so that a run is never
    // lost for want of it at the end.
    if (picture || movie) canvas.emplace(run->World().DrawingWidth(), run->World().DrawingHeight());
  } catch (const EUsageError& error) {
    return RefusedBeforeTheRun(program, error.what());
  } catch (const std::bad_alloc&) {
    PrintError(program, "not enough memory for this world");
    return 1;
  }

  // The step of the last checkpoint put in place during the run.
  std::optional<std::int32_t> savedStep;
  const auto interrupted = [&] {
    PrintError(program, "interrupted after " + std::to_string(run->Steps()) +
                            " steps (seed=" + std::to_string(run->Seed()) + "); " +
                            (savedStep ? "only the world saved after step " + std::to_string(*savedStep) +
                                             " was written"
                                       : std::string("no file written")));
    return 128 + TInterruptGuard::Signal();
  };
  const auto saveState = [&](TOutputFile& file) {
    file.Write(run->Save());
  };
  std::int32_t lastFrame = -1;
  const auto addFrame = [&] {
    Render(run->World(), *canvas);
    movie->Frame(canvas->Bits(), canvas->Stride(), &TInterruptGuard::Flag());
    lastFrame = run->Steps();
  };
  try {
    TSeriesCsv out(StandardOutputSink());
    std::optional<TMeasuresCsv> measures, measuresSeries;
    if (measuresFile) measures.emplace(measuresFile->Sink());
    if (measuresSeriesFile) measuresSeries.emplace(measuresSeriesFile->Sink());
    TProgressLine progress(stderr);
    if (movie) {
      movie->Start(movieFile->Fd());
      addFrame();
    }
    const auto start = TProgressLine::Clock::now();
    const bool finished = run->RunFor(
        options.MaxSteps,
        [&](const StepResult& step) {
          out.Add(step.StepNumber, step.FreeAgents);
          if (measuresSeries) measuresSeries->Add(step.StepNumber, MeasureValues(run->Measures()));
          if (measures && step.StepNumber % options.MeasureEvery == 0) {
            measures->Add(step.StepNumber, MeasureValues(run->Measures()));
          }
          if (movie && step.StepNumber % options.MovieEvery == 0) addFrame();
          if (options.SaveStateEvery > 0 && step.StepNumber % options.SaveStateEvery == 0) {
            // Put in place at once, not with the other outputs: it is what
            // is left if the run is stopped.
            TOutputFile file(*options.SaveStatePath, "--save-state");
            saveState(file);
            file.Commit();
            savedStep = step.StepNumber;
          }
          if (progress.Due()) {
            const std::chrono::duration<double> elapsed = TProgressLine::Clock::now() - start;
            std::string text = RunProgressText(step.StepNumber, step.FreeAgents,
                                               step.StepNumber / elapsed.count());
            if (movie) text += "  movie " + std::to_string(movie->Frames()) + " frames";
            progress.Show(text);
          }
        },
        &TInterruptGuard::Flag());
    out.Flush();
    progress.Clear();
    if (!finished) return interrupted();
    if (movie) {
      if (lastFrame != run->Steps()) addFrame();
      if (progress.Enabled()) {
        progress.Show("finishing the movie (" + std::to_string(movie->Frames()) + " frames)");
      }
      movie->Finish(&TInterruptGuard::Flag());
      progress.Clear();
    }
    if (stateFile) saveState(*stateFile);
    if (picture) {
      Render(run->World(), *canvas);
      WriteCanvasPng(*canvas, picture->Fd(), &TInterruptGuard::Flag());
    }
    if (measures) measures->Flush();
    if (measuresSeries) measuresSeries->Flush();
    std::optional<AggregateMeasures> last;
    if (options.Measure || sizesFile) last = run->Measures();
    if (sizesFile) {
      TCsvWriter sizes(sizesFile->Sink());
      sizes.Raw(SizeColumns).Raw("\n");
      for (const AggregateMeasures::SizeCount& size : last->Sizes) {
        sizes.Field(size.Size).Field(size.Count).EndLine();
      }
      sizes.Flush();
    }
    if (!outputs.CommitAll()) return interrupted();
    std::fprintf(stderr, "seed=%u steps=%d free=%d aggregated=%d\n", run->Seed(), run->Steps(),
                 run->FreeAgents(), run->World().AggregatedCells());
    if (options.Measure) std::fprintf(stderr, "%s\n", MeasureLine(*last).c_str());
    return 0;
  } catch (const std::bad_alloc&) {
    PrintError(program, "out of memory during the run");
  } catch (const std::exception& error) {
    // A write or wait cut short by an interrupt fails; the interrupt is
    // what happened.
    if (TInterruptGuard::Requested()) return interrupted();
    PrintError(program, error.what());
  }
  return 1;
}

}  // namespace dla::tools
