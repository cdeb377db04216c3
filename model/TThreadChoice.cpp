#include "TThreadChoice.h"

#include <algorithm>

namespace dla {

void TThreadChoice::Record(double seconds, std::size_t freeAgents) noexcept {
  if (step_ < TrialSteps) {
    // The fastest of a way's steps: the others lost time to something
    // else (memory fetched from the other caches or touched first, a
    // thread started, another process).
    double& fastest = fastest_[step_ < TrialSteps / 2 ? 1 : 0];
    fastest = std::min(fastest, seconds / static_cast<double>(std::max<std::size_t>(freeAgents, 1)));
    if (step_ == TrialSteps - 1) shared_ = fastest_[1] < fastest_[0];
  }
  if (++step_ == TrialPeriod) Restart();
}

}  // namespace dla
