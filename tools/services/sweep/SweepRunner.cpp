#include "SweepRunner.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "AggregateMeasures.h"
#include "TRun.h"

namespace dla::tools {

unsigned UsableCores() noexcept {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? hardware : 1;
}
namespace {

struct TFinished {
  TRunRecord Record;
  std::vector<std::int32_t> FreeAgents;
};

}  // namespace

TSweepRunner::TSweepRunner(const TSweepPlan& plan, TSettings settings)
    : plan_(plan), settings_(settings) {
  settings_.Jobs = std::max(settings_.Jobs, 1u);
}

std::size_t TSweepRunner::ReorderWindow() const noexcept {
  if (!settings_.KeepSeries) return SIZE_MAX;
  return std::max<std::size_t>(16, 4 * std::size_t{settings_.Jobs});
}

bool TSweepRunner::Run(const RunDone& onRun, const Progress& onProgress,
                       const std::atomic<bool>* stop) {
  const std::uint64_t count = plan_.Count();
  const std::uint64_t first = std::min(settings_.First, count);
  const std::uint64_t window = ReorderWindow();
  const auto jobs = static_cast<unsigned>(std::min<std::uint64_t>(settings_.Jobs, count - first));

  std::mutex mutex;
  std::condition_variable workerWake;
  std::condition_variable mainWake;
  std::uint64_t nextStart = first;
  std::uint64_t nextHandOut = first;
  std::map<std::uint64_t, TFinished> finished;
  std::exception_ptr failure;
  bool quit = false;
  // What the runs poll each step; set when stop is seen or anything failed.
  std::atomic<bool> cancel{false};

  const auto fail = [&](std::exception_ptr error) {
    std::lock_guard lock(mutex);
    if (!failure) failure = error;
    quit = true;
    cancel = true;
  };

  const auto work = [&] {
    for (;;) {
      std::uint64_t index;
      {
        std::unique_lock lock(mutex);
        workerWake.wait(lock, [&] {
          return quit || nextStart >= count || nextStart - nextHandOut < window;
        });
        if (quit || nextStart >= count) return;
        index = nextStart++;
      }
      try {
        const TSweepRun run = plan_.Run(index);
        TRun::TSettings runSettings;
        runSettings.DrawingWidth = settings_.Size.Width;
        runSettings.DrawingHeight = settings_.Size.Height;
        runSettings.Agents = run.Agents;
        runSettings.ThresholdText = std::to_string(run.Threshold);
        runSettings.Seed = run.Seed;
        // Handed over as plain counts, which the plots average.
        runSettings.KeepSeries = false;
        TRun batch(runSettings);
        TFinished result;
        const bool keep = settings_.KeepSeries;
        if (!batch.RunFor(
                settings_.MaxSteps,
                [&](const StepResult& step) {
                  if (keep) result.FreeAgents.push_back(step.FreeAgents);
                },
                &cancel)) {
          return;
        }
        result.Record = {batch.Seed(),
                         batch.Steps(),
                         batch.Ended(),
                         batch.World().AggregatedCells(),
                         batch.World().StuckAgents(),
                         MeasureValues(MeasureAggregates(batch.World()))};
        {
          std::lock_guard lock(mutex);
          finished.emplace(index, std::move(result));
        }
        mainWake.notify_one();
      } catch (...) {
        fail(std::current_exception());
        workerWake.notify_all();
        mainWake.notify_one();
        return;
      }
    }
  };

  std::vector<std::thread> threads;
  const auto stopThreads = [&] {
    {
      std::lock_guard lock(mutex);
      quit = true;
      cancel = true;
    }
    workerWake.notify_all();
    for (auto& thread : threads) thread.join();
    threads.clear();
  };

  bool completed = true;
  try {
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back(work);

    std::unique_lock lock(mutex);
    while (nextHandOut < count && !failure) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
        completed = false;
        break;
      }
      const auto next = finished.begin();
      if (next != finished.end() && next->first == nextHandOut) {
        const TFinished result = std::move(next->second);
        finished.erase(next);
        const std::uint64_t index = nextHandOut++;
        const std::uint64_t done = nextHandOut + finished.size();
        lock.unlock();
        workerWake.notify_all();
        onRun(index, plan_.Run(index), result.Record, result.FreeAgents);
        onProgress(done);
        lock.lock();
        continue;
      }
      mainWake.wait_for(lock, std::chrono::milliseconds(100));
      const std::uint64_t done = nextHandOut + finished.size();
      lock.unlock();
      onProgress(done);
      lock.lock();
    }
  } catch (...) {
    fail(std::current_exception());
  }
  stopThreads();
  if (failure) std::rethrow_exception(failure);
  // Every thread has ended: what is finished stays finished.
  for (auto next = finished.begin(); !completed && next != finished.end() && next->first == nextHandOut;
       next = finished.erase(next)) {
    const std::uint64_t index = nextHandOut++;
    onRun(index, plan_.Run(index), next->second.Record, next->second.FreeAgents);
  }
  return completed;
}

}  // namespace dla::tools
