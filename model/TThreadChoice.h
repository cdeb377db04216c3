// Whether a world's step that may be shared among threads (TStepThreads)
// runs faster shared or on the caller's thread alone, found by timing both
// on the machine at hand. How much sharing pays depends on how fast the
// processors hand memory to each other more than on the world's size: on
// one 2-core VM two threads took half the time of one on a 6000 x 6000
// drawing area with 100,000 agents, on another twice as long. A step's
// result never depends on the choice, only its time.
//
// The steps that may share run in periods of TrialPeriod: a period's first
// TrialSteps steps try the two ways, half of them shared, then half alone,
// and the way whose fastest step took less time per free agent moved is
// kept for the rest of the period. The ways take turns in runs, not step by
// step, because a step after one made the other way first fetches what the
// other processors' caches hold; the fastest of a run leaves that out. A
// period costs at most TrialSteps / 2 steps made the slower way. Not for
// two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace dla {

class TThreadChoice {
 public:
  static constexpr std::int32_t TrialSteps = 8;
  static constexpr std::int32_t TrialPeriod = 1024;

  // Whether the next step that may share should share.
  bool Shared() const noexcept { return step_ < TrialSteps ? step_ < TrialSteps / 2 : shared_; }
  // After that step, made the way Shared() said: its wall-clock time in
  // seconds and the free agents it moved.
  void Record(double seconds, std::size_t freeAgents) noexcept;
  // A new period starts with the next step (new threads, a new setup).
  void Restart() noexcept {
    step_ = 0;
    fastest_[0] = fastest_[1] = Never;
  }

 private:
  static constexpr double Never = std::numeric_limits<double>::infinity();
  // Steps recorded in this period, in [0, TrialPeriod).
  std::int32_t step_ = 0;
  // The trial's fastest time per free agent: [0] alone, [1] shared.
  double fastest_[2] = {Never, Never};
  bool shared_ = true;
};

}  // namespace dla
