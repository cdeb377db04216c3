#include "BatchCommand.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "AggregateMeasures.h"
#include "BatchOptions.h"
#include "BatchRun.h"
#include "CsvWriter.h"
#include "InterruptGuard.h"
#include "MeasureText.h"
#include "OutputFile.h"
#include "PngWriter.h"
#include "ProgressLine.h"
#include "UsageError.h"

namespace dla::tools {

int RunBatchCommand(const std::vector<std::string_view>& args) {
  // Before any output file exists, so that an interrupt can never leave a
  // temporary file behind.
  TInterruptGuard interrupt;
  TBatchOptions options;
  std::optional<TOutputFile> picture;
  std::optional<TOutputFile> measuresFile;
  std::optional<TOutputFile> sizesFile;
  std::unique_ptr<TBatchRun> run;
  try {
    options = TBatchOptions::Parse(args);
    if (options.Help) {
      std::fputs(TBatchOptions::HelpText(), stdout);
      return 0;
    }
    if (options.PicturePath) picture.emplace(*options.PicturePath, "picture");
    if (options.MeasuresPath) measuresFile.emplace(*options.MeasuresPath, "measures");
    if (options.SizesPath) sizesFile.emplace(*options.SizesPath, "sizes");
    if (options.PicturePath) options.Run.Paint = Painting::On;
    try {
      run = std::make_unique<TBatchRun>(options.Run);
    } catch (const std::invalid_argument& error) {
      throw EUsageError(error.what());
    }
  } catch (const EUsageError& error) {
    std::fprintf(stderr, "dla-batch: %s\n", error.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fputs("dla-batch: not enough memory for this world\n", stderr);
    return 1;
  }

  try {
    TCsvWriter out(TCsvWriter::FileSink(stdout));
    out.Raw("step,free_agents\n");
    std::optional<TCsvWriter> measures;
    if (measuresFile) {
      measures.emplace(measuresFile->Sink());
      measures->Raw("step,").Raw(MeasureColumns).Raw("\n");
    }
    TProgressLine progress(stderr);
    const auto start = TProgressLine::Clock::now();
    const bool finished = run->Run(
        [&](const StepResult& step) {
          out.Field(step.StepNumber).Field(step.FreeAgents).EndLine();
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
    if (!finished) {
      std::fprintf(stderr, "dla-batch: interrupted after %d steps (seed=%u); no file written\n",
                   run->Steps(), run->Seed());
      return 128 + TInterruptGuard::Signal();
    }
    if (picture) {
      WriteCanvasPng(run->World().Canvas(), picture->Fd());
      picture->Commit();
    }
    if (measures) {
      measures->Flush();
      measuresFile->Commit();
    }
    std::optional<AggregateMeasures> last;
    if (options.Measure || sizesFile) last = MeasureAggregates(run->World());
    if (sizesFile) {
      TCsvWriter sizes(sizesFile->Sink());
      sizes.Raw("size,count\n");
      for (const AggregateMeasures::SizeCount& size : last->Sizes) {
        sizes.Field(size.Size).Field(size.Count).EndLine();
      }
      sizes.Flush();
      sizesFile->Commit();
    }
    std::fprintf(stderr, "seed=%u steps=%d free=%d aggregated=%d\n", run->Seed(), run->Steps(),
                 run->FreeAgents(), run->AggregatedCells());
    if (options.Measure) std::fprintf(stderr, "%s\n", MeasureLine(*last).c_str());
    return 0;
  } catch (const std::bad_alloc&) {
    std::fputs("dla-batch: out of memory during the run\n", stderr);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dla-batch: %s\n", error.what());
  }
  return 1;
}

}  // namespace dla::tools
