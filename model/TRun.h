// One run of the model, as every front end holds it: the window, the page,
// dla-batch and its sweep, and the Python module. It owns what lies around
// the step, so that each rule is written once:
//  - the world and how every setup seeds it (a fixed seed, or the clock);
//  - the threshold, kept as typed and read as the window reads its edit;
//  - when the run has ended, also for a run carried on from a saved world;
//  - the free agents of every step, with a bounded outline for a chart;
//  - the aggregates' measures, kept cell by cell where asked for, and at
//    every step;
//  - saving and loading the whole run, with one set of messages.
// Everything runs on the caller's thread and nothing here locks; runs share
// nothing, so each may run on a thread of its own. Reading a run from two
// threads is safe while neither steps it (TWorld's const reads write
// nothing).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RunDefaults.h"
#include "AggregateMeasures.h"
#include "StepResult.h"
#include "TAggregates.h"
#include "TFreeAgentsSeries.h"
#include "TMeasuresSeries.h"
#include "TWorld.h"

namespace dla {

class TCheckpoint;

class TRun {
 public:
  static constexpr std::int32_t LastStep = 2147483647;

  struct TSettings {
    // The drawing area in pixels; the lattice has round(W / 3) x round(H / 3)
    // cells (TWorld).
    std::int32_t DrawingWidth = RunDefaults.DrawingWidth;
    std::int32_t DrawingHeight = RunDefaults.DrawingHeight;
    // Agents of the first setup (none if 0 or less).
    std::int32_t Agents = RunDefaults.Agents;
    // The threshold as typed; a text that is no integer fails the first
    // step that reads it, as the window's edit does.
    std::string ThresholdText = RunDefaults.ThresholdText;
    // Every setup places its agents from this seed, so that the run repeats
    // exactly; none: every setup seeds from the clock.
    std::optional<std::uint32_t> Seed;
    // Keep the free agents of every step (Series()); a run whose steps are
    // written out as they come needs not.
    bool KeepSeries = true;
    // Buckets of the series' outline for a chart; 0: none.
    std::size_t OutlineBuckets = 0;
    // Keep the aggregates' measures cell by cell (TAggregates), and their
    // series (MeasuresSeries()): about a tenth more time on a small world,
    // nothing to speak of on a big one. Without, Measures() works them out
    // from the lattice when asked.
    bool KeepMeasures = false;
    // Threads the step is shared among, ThreadsRange: 1 to 256, or 0 for
    // one per processor the machine has. The run is the same to the bit
    // for any number.
    std::int32_t Threads = RunDefaults.Threads;
  };

  // The window's creation: the world over the drawing area, its cells
  // reset, its first population placed. Throws std::invalid_argument for a
  // drawing area the world refuses, threads outside ThreadsRange, or a run
  // bigger than the memory left
  // (MemoryFault's words, before any of it is taken), std::length_error,
  // std::bad_alloc.
  explicit TRun(const TSettings& settings);

  // The run saved at path (Save's bytes, written by any front end),
  // carrying on exactly as the saved one would have, with the saved
  // threshold text; its series starts after the saved step. Later setups
  // seed as settings.Seed says; settings' drawing area, agents and
  // threshold are not read. Throws std::runtime_error, one line that names
  // the file: "cannot read '<path>': <why>", "'<path>' is not a saved world
  // (...)", "'<path>' is truncated (...)", "'<path>' is corrupted: <why>"
  // (also for a world that no run can make), "'<path>' was written in
  // format version N; ..."; std::bad_alloc.
  static TRun Load(const std::string& path, const TSettings& settings);
  // The same from the bytes that Save gave (a copy of a run sent elsewhere);
  // the messages start "the saved run ...".
  static TRun Decode(std::string_view bytes, const TSettings& settings);
  // Replaces the series by those of a run copied through its bytes. Throws
  // std::invalid_argument, changing nothing, unless each is empty or ends at
  // this run's step, and the measures' series is empty unless the run keeps
  // measures.
  void RestoreSeries(const TFreeAgentsSeries& free, const TMeasuresSeries& measures);

  // The whole run as it is now, with its threshold text, in the checkpoint
  // file format (docs/checkpoints.md): what Load reads.
  std::string Save() const;

  // "new Setup": the series emptied, StepCount 0, `agents` new agents
  // (none if agents <= 0), every cell open, the run not ended. Throws
  // std::invalid_argument, changing nothing, where more agents than now
  // need more memory than is left (MemoryFault's words).
  void NewSetup(std::int32_t agents);

  // One tick, as the window's: the threshold read from `thresholdText`,
  // which becomes the run's (throws EConvertError before anything changes
  // for a text that is no integer), the step, its point added to the
  // series. A step in which no agent was free ends the run; steps after it
  // are still made (every agent stays stuck), as the window makes one more
  // step at each further start. Throws what TWorld::RunStep throws.
  StepResult Step(std::string_view thresholdText);
  // The same with the run's own threshold text.
  StepResult Step();

  // Replaces the run's threshold text. Throws EConvertError, changing
  // nothing, for a text that is no integer.
  void SetThresholdText(std::string text);

  // Steps until the run has ended (the step in which no agent was free
  // included), until `steps` more steps are made or the last step that can
  // be counted (2^31 - 1), or until *stop is true (looked at before each
  // step; the run is then left unfinished). onStep(const StepResult&)
  // follows every step. Returns false only when stopped. Throws what Step
  // throws.
  template <typename OnStep>
  bool RunFor(std::int64_t steps, OnStep&& onStep, const std::atomic<bool>* stop = nullptr) {
    for (std::int64_t made = 0; !ended_ && made < steps && Steps() < LastStep; ++made) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
      onStep(Step());
    }
    return true;
  }

  const TWorld& World() const noexcept { return world_; }
  // Threads the step is shared among (0 in the settings made it one per
  // processor).
  int Threads() const noexcept { return world_.Threads(); }
  const TFreeAgentsSeries& Series() const noexcept { return series_; }
  // The aggregates' measures now: kept up to date where the run keeps them,
  // else worked out from the lattice (the same values, bit for bit).
  AggregateMeasures Measures() const;
  // Whether the run keeps the measures, and their series (empty if not).
  bool KeepsMeasures() const noexcept { return aggregates_.has_value(); }
  const TMeasuresSeries& MeasuresSeries() const noexcept { return measuresSeries_; }
  // The threshold as typed, and its value (none while the text is no
  // integer).
  const std::string& ThresholdText() const noexcept { return thresholdText_; }
  std::optional<std::uint16_t> Threshold() const noexcept { return threshold_; }
  // The seed that repeats this setup: the fixed seed, or the clock reading.
  std::uint32_t Seed() const noexcept { return world_.PlacementSeed(); }
  // Whether the seeds come from the clock.
  bool SeedsFromClock() const noexcept { return !fixedSeed_; }
  std::int32_t Steps() const noexcept { return world_.StepCount(); }
  // Whether a step without a free agent has been made (or the saved run
  // had made one).
  bool Ended() const noexcept { return ended_; }
  std::int32_t FreeAgents() const noexcept {
    return static_cast<std::int32_t>(world_.AgentCount()) - world_.StuckAgents();
  }

  // "dla-seed<seed>-step<step><what>": the name a file saved from the run
  // now is offered under.
  std::string SuggestedName(std::string_view what) const;

 private:
  TRun(TWorld world, const TSettings& settings, std::string thresholdText);
  // The run of a checkpoint read from `name`.
  static TRun FromCheckpoint(const TCheckpoint& saved, const std::string& name,
                             const TSettings& settings);

  std::optional<std::uint32_t> fixedSeed_;
  TWorld world_;
  std::string thresholdText_;
  std::optional<std::uint16_t> threshold_;
  bool keepSeries_;
  TFreeAgentsSeries series_;
  std::optional<TAggregates> aggregates_;
  TMeasuresSeries measuresSeries_;
  bool ended_ = false;
};

}  // namespace dla
