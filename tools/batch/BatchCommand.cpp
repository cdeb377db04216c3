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
#include "InterruptGuard.h"
#include "MeasureText.h"
#include "OutputSet.h"
#include "PngWriter.h"
#include "ProgressLine.h"
#include "Render.h"
#include "Report.h"
#include "SeriesCsv.h"
#include "UsageError.h"

namespace dla::tools {

int RunBatchCommand(TBatchOptions options) {
  constexpr std::string_view program = "dla-batch";
  TOutputSet outputs;
  TOutputFile* picture = nullptr;
  TOutputFile* measuresFile = nullptr;
  TOutputFile* sizesFile = nullptr;
  std::unique_ptr<TBatchRun> run;
  std::optional<TCanvas> canvas;
  try {
    if (options.PicturePath) picture = &outputs.Add(*options.PicturePath, "picture");
    if (options.MeasuresPath) measuresFile = &outputs.Add(*options.MeasuresPath, "measures");
    if (options.SizesPath) sizesFile = &outputs.Add(*options.SizesPath, "sizes");
    try {
      run = std::make_unique<TBatchRun>(options.Run);
    } catch (const std::invalid_argument& error) {
      throw EUsageError(error.what());
    }
    // The picture's memory is taken before the run, so that a run is never
    // lost for want of it at the end.
    if (picture) canvas.emplace(options.Run.Size.Width, options.Run.Size.Height);
  } catch (const EUsageError& error) {
    if (TInterruptGuard::Requested()) {
      PrintError(program, "interrupted before the run; no file written");
      return 128 + TInterruptGuard::Signal();
    }
    PrintError(program, error.what());
    return 2;
  } catch (const std::bad_alloc&) {
    PrintError(program, "not enough memory for this world");
    return 1;
  }

  const auto interrupted = [&] {
    PrintError(program, "interrupted after " + std::to_string(run->Steps()) +
                            " steps (seed=" + std::to_string(run->Seed()) + "); no file written");
    return 128 + TInterruptGuard::Signal();
  };
  try {
    TSeriesCsv out(TCsvWriter::StandardOutputSink());
    std::optional<TCsvWriter> measures;
    if (measuresFile) {
      measures.emplace(measuresFile->Sink());
      measures->Raw("step,").Raw(MeasureColumns).Raw("\n");
    }
    TProgressLine progress(stderr);
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
          if (progress.Due()) {
            const std::chrono::duration<double> elapsed = TProgressLine::Clock::now() - start;
            progress.Show(RunProgressText(step.StepNumber, step.FreeAgents,
                                          step.StepNumber / elapsed.count()));
          }
        },
        &TInterruptGuard::Flag());
    out.Flush();
    progress.Clear();
    if (!finished) return interrupted();
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
