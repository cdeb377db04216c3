// One run of the model without a window, as the batch runner and the sweep
// make it.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "DrawingSize.h"
#include "StepResult.h"
#include "TWorld.h"
#include "TWorldState.h"

namespace dla::tools {

struct TRunSettings {
  TDrawingSize Size;
  std::int32_t Agents = 2000;
  std::uint16_t Threshold = 6;
  // The seed that the placement of the agents starts from; none: the clock,
  // as the window does.
  std::optional<std::uint32_t> Seed;
  // At most this many steps (0 or more).
  std::int32_t MaxSteps = 1'000'000;
};

// A world set up as the window sets it up (the lattice from the drawing
// area, ResetCells, CreateAgents), then stepped with a fixed threshold.
// Runs share nothing, so each may run on a thread of its own.
class TBatchRun {
 public:
  // Throws what TWorld throws (std::invalid_argument for a bad area,
  // std::bad_alloc).
  explicit TBatchRun(const TRunSettings& settings);
  // A run that carries on from a saved world: at most settings.MaxSteps
  // more steps (up to step 2^31 - 1) with settings.Threshold; the other
  // settings are the world's. A world whose last step found no agent free
  // has ended, so Run makes no step. Throws what TWorld's restoring
  // constructor throws.
  TBatchRun(const TRunSettings& settings, const TWorldState& state);

  // One step with the run's threshold. A step in which no agent was free
  // ends the run; steps after it are still made (every agent stays stuck),
  // as the window makes one more step at each further start.
  StepResult Step() {
    const StepResult result = world_.RunStep(threshold_);
    if (!result.AnyFree) ended_ = true;
    return result;
  }

  // Steps until the run has ended (the step in which no agent was free
  // included), or until MaxSteps steps, or until *stop becomes true (looked
  // at before each step; then the run is left unfinished). onStep(const
  // StepResult&) is called after every step. Returns false only when
  // stopped.
  template <typename OnStep>
  bool Run(OnStep&& onStep, const std::atomic<bool>* stop = nullptr) {
    return RunTo(maxSteps_, onStep, stop);
  }
  // The same with another limit: until StepCount reaches maxSteps.
  template <typename OnStep>
  bool RunTo(std::int32_t maxSteps, OnStep&& onStep, const std::atomic<bool>* stop = nullptr) {
    while (!ended_ && world_.StepCount() < maxSteps) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
      onStep(Step());
    }
    return true;
  }

  // The seed that repeats this run: what --seed gave, or the clock reading.
  std::uint32_t Seed() const noexcept { return world_.PlacementSeed(); }
  std::int32_t Steps() const noexcept { return world_.StepCount(); }
  // Whether a step without a free agent has been made.
  bool Ended() const noexcept { return ended_; }
  std::int32_t AggregatedCells() const noexcept { return world_.AggregatedCells(); }
  std::int32_t StuckAgents() const noexcept { return world_.StuckAgents(); }
  std::int32_t FreeAgents() const noexcept {
    return static_cast<std::int32_t>(world_.Agents().size()) - world_.StuckAgents();
  }
  // The world as the last step left it; Render draws its picture.
  const TWorld& World() const noexcept { return world_; }

 private:
  TWorld world_;
  std::uint16_t threshold_;
  std::int32_t maxSteps_;
  bool ended_ = false;
};

}  // namespace dla::tools
