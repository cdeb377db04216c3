#include "SweepCommand.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>

#include "CsvWriter.h"
#include "InterruptGuard.h"
#include "MeasureText.h"
#include "MemoryNeed.h"
#include "OutputSet.h"
#include "PartialSweep.h"
#include "PlotProgram.h"
#include "ProgressLine.h"
#include "Random.h"
#include "Report.h"
#include "StandardStreams.h"
#include "SweepCurves.h"
#include "SweepPlan.h"
#include "SweepRows.h"
#include "SweepRunner.h"
#include "SweepSummary.h"
#include "UsageError.h"

namespace dla::tools {
namespace {

void WriteRows(const TSweepPlan& plan, const std::vector<TRunRecord>& records) {
  TCsvWriter out(StandardOutputSink());
  WriteSweepHeader(out);
  for (std::uint64_t i = 0; i < records.size(); ++i) WriteSweepRow(out, plan.Run(i), records[i]);
  out.Flush();
}

}  // namespace

int RunSweepCommand(const TSweepOptions& options) {
  constexpr std::string_view program = "dla-batch sweep";
  std::unique_ptr<TSweepPlan> plan;
  TOutputSet outputs;
  TOutputFile* seriesFile = nullptr;
  TOutputFile* plotFile = nullptr;
  TOutputFile* measurePlotFile = nullptr;
  TOutputFile* partialFile = nullptr;
  std::vector<TRunRecord> records;
  try {
    std::optional<TPartialSweep> resumed;
    if (options.ResumePath) resumed = TPartialSweep::Read(*options.ResumePath, "--resume");
    std::uint32_t seed;
    if (options.Seed) {
      seed = *options.Seed;
    } else if (resumed) {
      // The clock's seed of the sweep that was interrupted.
      seed = resumed->Seed();
    } else {
      seed = ClockSeed();
    }
    plan = std::make_unique<TSweepPlan>(options.Agents, options.Thresholds, options.Runs, seed,
                                        options.ShardIndex, options.ShardCount);
    // The runs at once share the memory left, the most agents' run taking
    // the most: refused here rather than by the first run that cannot start.
    const unsigned jobs = options.Jobs.value_or(UsableCores());
    std::optional<std::int64_t> eachRun = AvailableBytes();
    if (eachRun) *eachRun /= jobs;
    if (const std::string fault =
            MemoryFault(options.Size.Width, options.Size.Height, options.Agents.back(), eachRun);
        !fault.empty()) {
      throw EUsageError("--size: " + fault + (jobs > 1 ? " to each of " + std::to_string(jobs) + " runs at once" : ""));
    }
    if (resumed) {
      records = resumed->TakeRecords(*plan, options.MaxSteps, options.Size,
                                     TPartialSweep::OptionNames);
    }
    if (options.SeriesPath) seriesFile = &outputs.Add(*options.SeriesPath, "--series");
    if (options.PlotPath) plotFile = &outputs.Add(*options.PlotPath, "--plot");
    if (options.PlotMeasurePath) {
      measurePlotFile = &outputs.Add(*options.PlotMeasurePath, "--plot-measure");
    }
    // Written when the others are not; it may be the file resumed, which
    // is read by now.
    if (options.PartialPath) partialFile = &outputs.AddApart(*options.PartialPath, "--partial");
  } catch (const EUsageError& error) {
    if (TInterruptGuard::Requested()) {
      PrintError(program, "interrupted before the runs; nothing written");
      return 128 + TInterruptGuard::Signal();
    }
    PrintError(program, error.what());
    return 2;
  }
  if (plotFile || measurePlotFile) {
    // Before the runs: a sweep that cannot draw its plot would be wasted.
    try {
      TPlotProgram::CheckAvailable();
    } catch (const std::exception& error) {
      PrintError(program, error.what());
      return 1;
    }
  }

  const std::uint64_t resumedRuns = records.size();
  bool committed = false;
  // What became of the rows of a sweep that did not finish, to end its
  // message: kept in the partial file, or not.
  const auto kept = [&]() -> std::string {
    if (!partialFile) return {};
    try {
      TPartialSweep::Write(partialFile->Sink(), *plan, options.MaxSteps, options.Size,
                           records.size(), [&](std::uint64_t i) { return records[i]; });
      partialFile->Commit();
      return "the rows of " + std::to_string(records.size()) + (records.size() == 1 ? " run" : " runs") +
             " kept in '" + partialFile->Path() + "' for --resume";
    } catch (const std::exception& error) {
      return std::string("the rows not kept: ") + error.what();
    }
  };
  const auto interrupted = [&] {
    // A second Ctrl-C (whose handler is gone) ends the process only once the
    // rows are in place and said so.
    const TInterruptGuard::THeld held;
    const std::string rows = kept();
    if (committed) {
      PrintError(program, "interrupted while writing the rows" + (rows.empty() ? "" : "; " + rows));
    } else {
      PrintError(program, "interrupted after " + std::to_string(records.size()) + " of " +
                              std::to_string(plan->Count()) + " runs; " +
                              (rows.empty() ? "nothing written" : rows + ", no other file written"));
    }
    return 128 + TInterruptGuard::Signal();
  };
  const auto failed = [&](const std::string& message) {
    const TInterruptGuard::THeld held;
    const std::string rows = kept();
    PrintError(program, message + (rows.empty() ? "" : "; " + rows));
    return 1;
  };
  try {
    std::optional<TSweepCurves> plot;
    if (plotFile) plot.emplace(*plan);
    std::optional<TCsvWriter> series;
    if (seriesFile) {
      series.emplace(seriesFile->Sink());
      series->Raw("agents,threshold,seed,step,free_agents\n");
    }
    TSweepSummary summary(*plan);
    records.reserve(plan->Count());
    for (std::uint64_t i = 0; i < resumedRuns; ++i) summary.Add(plan->Run(i).Combination, records[i]);

    TSweepRunner::TSettings settings;
    settings.Size = options.Size;
    settings.MaxSteps = options.MaxSteps;
    settings.Jobs = options.Jobs.value_or(UsableCores());
    settings.KeepSeries = series.has_value() || plot.has_value();
    settings.First = resumedRuns;
    TSweepRunner runner(*plan, settings);

    TProgressLine progress(stderr);
    const auto start = TProgressLine::Clock::now();
    const std::uint64_t total = plan->Count();
    const bool completed = runner.Run(
        [&](std::uint64_t, const TSweepRun& run, const TRunRecord& record,
            const std::vector<std::int32_t>& freeAgents) {
          records.push_back(record);
          summary.Add(run.Combination, record);
          if (plot) plot->Add(run.Combination, freeAgents);
          // The runs handed back after an interrupt are kept for their rows;
          // the series is discarded.
          if (series && !TInterruptGuard::Requested()) {
            for (std::size_t step = 0; step < freeAgents.size(); ++step) {
              series->Field(run.Agents).Field(run.Threshold).Field(run.Seed);
              series->Field(step + 1).Field(freeAgents[step]).EndLine();
            }
          }
        },
        [&](std::uint64_t finished) {
          if (!progress.Due()) return;
          const std::chrono::duration<double> elapsed = TProgressLine::Clock::now() - start;
          progress.Show(SweepProgressText(finished - resumedRuns, total - resumedRuns,
                                          elapsed.count()));
        },
        &TInterruptGuard::Flag());
    progress.Clear();
    if (!completed) return interrupted();
    const std::chrono::duration<double> elapsed = TProgressLine::Clock::now() - start;

    if (series) series->Flush();
    if (plot) TPlotProgram::Draw(plot->Request(), plotFile->Fd(), &TInterruptGuard::Flag());
    if (measurePlotFile) {
      TPlotRequest request;
      request.Kind = TPlotRequest::EKind::Measure;
      request.Measure = options.PlotMeasure;
      const std::size_t column = *MeasureColumn(options.PlotMeasure);
      for (const TSweepSummary::TRow& row : summary.Rows()) {
        const TRunningStats& stats = row.Measures[column];
        request.Points.push_back(
            {row.Agents, row.Threshold, stats.Count(), stats.Mean(), stats.Sd()});
      }
      TPlotProgram::Draw(request, measurePlotFile->Fd(), &TInterruptGuard::Flag());
    }
    if (!outputs.CommitAll()) return interrupted();
    committed = true;
    WriteRows(*plan, records);

    std::fprintf(stderr, "seed=%u runs=%llu", plan->BaseSeed(),
                 static_cast<unsigned long long>(total));
    if (plan->ShardCount() > 1) {
      std::fprintf(stderr, " (share %u of %u, %llu runs in all)", plan->ShardIndex(),
                   plan->ShardCount(), static_cast<unsigned long long>(plan->TotalRuns()));
    }
    if (resumedRuns > 0) {
      std::fprintf(stderr, " resumed=%llu", static_cast<unsigned long long>(resumedRuns));
    }
    // The rate of the runs made now.
    std::fprintf(stderr, " jobs=%u time=%.1fs (%.2f runs/s)\n", settings.Jobs, elapsed.count(),
                 elapsed.count() > 0 ? static_cast<double>(total - resumedRuns) / elapsed.count()
                                     : 0.0);
    std::fputs(summary.Table().c_str(), stderr);
    return 0;
  } catch (const std::bad_alloc&) {
    return failed("out of memory during the sweep");
  } catch (const std::exception& error) {
    // A write or wait cut short by an interrupt fails, and a Ctrl-C on a
    // terminal reaches the plotting program too, which then fails: the
    // interrupt is what happened.
    if (TInterruptGuard::Requested()) return interrupted();
    return failed(error.what());
  }
}

}  // namespace dla::tools
