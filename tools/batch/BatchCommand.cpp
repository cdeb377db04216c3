#include "BatchCommand.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "AggregateMeasures.h"
#include "BatchRun.h"
#include "CsvWriter.h"
#include "IntegerText.h"
#include "InterruptGuard.h"
#include "MeasureText.h"
#include "MovieEncoder.h"
#include "OutputSet.h"
#include "PngWriter.h"
#include "ProgressLine.h"
#include "Render.h"
#include "Report.h"
#include "SeriesCsv.h"
#include "StateFile.h"
#include "UsageError.h"

namespace dla::tools {
namespace {

// The run to make: a new one, or one that carries on from the saved world
// named by --load-state, whose settings then replace the defaults; a
// setting given that differs from the saved one is refused.
std::unique_ptr<TBatchRun> MakeRun(TBatchOptions& options) {
  if (!options.LoadStatePath) {
    try {
      return std::make_unique<TBatchRun>(options.Run);
    } catch (const std::invalid_argument& error) {
      throw EUsageError(error.what());
    }
  }
  const std::string& path = *options.LoadStatePath;
  const TCheckpoint saved = LoadStateFile(path);
  const TWorldState& world = saved.World;
  const auto contradicts = [](const std::string& given, const std::string& savedValue) {
    return EUsageError(given + " contradicts the saved world (" + savedValue + ")");
  };
  const std::string area = std::to_string(world.DrawingWidth) + "x" + std::to_string(world.DrawingHeight);
  if (options.SizeGiven && (options.Run.Size.Width != world.DrawingWidth ||
                            options.Run.Size.Height != world.DrawingHeight)) {
    throw contradicts("--size " + std::to_string(options.Run.Size.Width) + "x" +
                          std::to_string(options.Run.Size.Height),
                      "size " + area);
  }
  if (options.AgentsGiven && static_cast<std::size_t>(options.Run.Agents) != world.Agents.size()) {
    throw contradicts("--agents " + std::to_string(options.Run.Agents),
                      std::to_string(world.Agents.size()) + " agents");
  }
  const std::uint16_t threshold = ThresholdFromText(saved.ThresholdText);
  if (options.ThresholdGiven && options.Run.Threshold != threshold) {
    throw contradicts("--threshold " + options.ThresholdText, "threshold " + saved.ThresholdText);
  }
  if (options.Run.Seed && *options.Run.Seed != world.PlacementSeed) {
    throw contradicts("--seed " + std::to_string(*options.Run.Seed),
                      "seed " + std::to_string(world.PlacementSeed));
  }
  options.Run.Size = {world.DrawingWidth, world.DrawingHeight};
  options.Run.Agents = static_cast<std::int32_t>(world.Agents.size());
  options.Run.Threshold = threshold;
  options.Run.Seed = world.PlacementSeed;
  options.ThresholdText = saved.ThresholdText;
  return ResumedRun(options.Run, saved, path);
}

}  // namespace

int RunBatchCommand(TBatchOptions options) {
  constexpr std::string_view program = "dla-batch";
  TOutputSet outputs;
  TOutputFile* picture = nullptr;
  TOutputFile* measuresFile = nullptr;
  TOutputFile* sizesFile = nullptr;
  TOutputFile* movieFile = nullptr;
  TOutputFile* stateFile = nullptr;
  std::unique_ptr<TBatchRun> run;
  std::optional<TCanvas> canvas;
  std::optional<TMovieEncoder> movie;
  try {
    if (options.PicturePath) picture = &outputs.Add(*options.PicturePath, "picture");
    if (options.MeasuresPath) measuresFile = &outputs.Add(*options.MeasuresPath, "measures");
    if (options.SizesPath) sizesFile = &outputs.Add(*options.SizesPath, "sizes");
    if (options.MoviePath) movieFile = &outputs.Add(*options.MoviePath, "movie");
    if (options.SaveStatePath) stateFile = &outputs.Add(*options.SaveStatePath, "save-state");
    run = MakeRun(options);
    if (movieFile) {
      movie.emplace(*MovieFormatOfPath(*options.MoviePath), options.Run.Size.Width,
                    options.Run.Size.Height, options.Fps);
      try {
        movie->CheckAvailable();
      } catch (const std::runtime_error& error) {
        throw EUsageError(error.what());
      }
    }
    // The picture's memory is taken before the run, so that a run is never
    // lost for want of it at the end.
    if (picture || movie) canvas.emplace(options.Run.Size.Width, options.Run.Size.Height);
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
    file.Write(TCheckpoint{run->World().State(), options.ThresholdText}.Encode());
  };
  std::int32_t lastFrame = -1;
  const auto addFrame = [&] {
    Render(run->World(), *canvas);
    movie->Frame(canvas->Bits(), canvas->Stride(), &TInterruptGuard::Flag());
    lastFrame = run->Steps();
  };
  try {
    TSeriesCsv out(TCsvWriter::StandardOutputSink());
    std::optional<TCsvWriter> measures;
    if (measuresFile) {
      measures.emplace(measuresFile->Sink());
      measures->Raw("step,").Raw(MeasureColumns).Raw("\n");
    }
    TProgressLine progress(stderr);
    if (movie) {
      movie->Start(movieFile->Fd());
      addFrame();
    }
    const auto start = TProgressLine::Clock::now();
    const bool finished = run->Run(
        [&](const StepResult& step) {
          out.Add(step.StepNumber, step.FreeAgents);
          if (measures && step.StepNumber % options.MeasureEvery == 0) {
            measures->Field(step.StepNumber);
            for (const std::string& field :
                 MeasureFields(MeasureValues(MeasureAggregates(run->World())))) {
              measures->Text(field);
            }
            measures->EndLine();
          }
          if (movie && step.StepNumber % options.MovieEvery == 0) addFrame();
          if (options.SaveStateEvery > 0 && step.StepNumber % options.SaveStateEvery == 0) {
            // Put in place at once, not with the other outputs: it is what
            // is left if the run is stopped.
            TOutputFile file(*options.SaveStatePath, "save-state");
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
    std::optional<AggregateMeasures> last;
    if (options.Measure || sizesFile) last = MeasureAggregates(run->World());
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
                 run->FreeAgents(), run->AggregatedCells());
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
