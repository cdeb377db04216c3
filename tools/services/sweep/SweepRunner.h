// Runs the runs of a sweep (or of one share of it) on several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "DrawingSize.h"
#include "RunRecord.h"
#include "SweepPlan.h"

namespace dla::tools {

// The number of cores this process may run on (its CPU affinity, which
// batch schedulers restrict to the job's allocation), at least 1.
unsigned UsableCores() noexcept;

// Each run gets a world of its own on one worker thread (the model's seed is
// per thread), so runs are independent and a run's result does not depend
// on how many run beside it. Results are handed back on the calling thread
// in plan order, which is what makes every output the same for any number
// of jobs.
class TSweepRunner {
 public:
  struct TSettings {
    TDrawingSize Size;
    std::int32_t MaxSteps = 1'000'000;
    // Threads, at least 1; never more than there are runs.
    unsigned Jobs = 1;
    // Whether to record every run's free agents per step (for --series and
    // --plot). Then at most ReorderWindow() runs past the oldest unfinished
    // one are started, which bounds the memory held by finished runs that
    // wait for their turn.
    bool KeepSeries = false;
    // The runs before this position in the plan are not made: a resumed
    // sweep has their rows. 0 to plan.Count().
    std::uint64_t First = 0;
  };

  // index: position in the plan (0 .. plan.Count() - 1); freeAgents: per
  // step from step 1, empty unless KeepSeries.
  using RunDone = std::function<void(std::uint64_t index, const TSweepRun& run,
                                     const TRunRecord& record,
                                     const std::vector<std::int32_t>& freeAgents)>;
  // Runs finished so far (some may not have been handed back yet).
  using Progress = std::function<void(std::uint64_t finished)>;

  TSweepRunner(const TSweepPlan& plan, TSettings settings);

  std::size_t ReorderWindow() const noexcept;

  // Makes every run of the plan from First on and calls onRun for each, in
  // plan order, on this thread; onProgress (with the runs finished, those
  // before First included) about every 100 ms and after every run. stop is
  // looked at about every 100 ms; once it is true the runs in progress are
  // abandoned within a step, the runs that finished before the first
  // unfinished one are handed back all the same (an interrupted sweep keeps
  // them), and Run returns false. An exception from a run or from a callback
  // stops the others and is rethrown once every thread has ended.
  bool Run(const RunDone& onRun, const Progress& onProgress, const std::atomic<bool>* stop);

 private:
  const TSweepPlan& plan_;
  TSettings settings_;
};

}  // namespace dla::tools
