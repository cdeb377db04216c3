#include "SweepRunner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "AggregateMeasures.h"
#include "BatchRun.h"

namespace dla::tools {
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
  const std::uint64_t window = ReorderWindow();
  const auto jobs = static_cast<unsigned>(std::min<std::uint64_t>(settings_.Jobs, count));

  std::mutex mutex;
  std::condition_variable workerWake;
  std::condition_variable mainWake;
  std::uint64_t nextStart = 0;
  std::uint64_t nextHandOut = 0;
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
        TRunSettings runSettings;
        runSettings.Size = settings_.Size;
        runSettings.Agents = run.Agents;
        runSettings.Threshold = run.Threshold;
        runSettings.Seed = run.Seed;
        runSettings.MaxSteps = settings_.MaxSteps;
        TBatchRun batch(runSettings);
        TFinished result;
        const bool keep = settings_.KeepSeries;
        if (!batch.Run(
                [&](const StepResult& step) {
                  if (keep) result.FreeAgents.push_back(step.FreeAgents);
                },
                &cancel)) {
          return;
        }
        result.Record = {batch.Seed(),        batch.Steps(),
                         batch.Ended(),       batch.AggregatedCells(),
                         batch.StuckAgents(), MeasureValues(MeasureAggregates(batch.World()))};
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
  return completed;
}

}  // namespace dla::tools
