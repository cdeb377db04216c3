// The aggregates' measures at every step of a setup, as a chart shows them
// and the measures CSV lists them. They change only at the steps in which
// cells aggregate, so only the steps where they change are kept: a run's
// measures cost about 56 bytes a change, however long the run goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "AggregateMeasures.h"

namespace dla {

class TMeasuresSeries {
 public:
  // Appends the measures after `step`. Throws std::invalid_argument,
  // changing nothing, unless step is the last step + 1 (any step when the
  // series is empty), as TFreeAgentsSeries does.
  void Add(std::int32_t step, const TMeasureValues& values);
  void Clear() noexcept;

  // Steps in the series, one after the other from FirstStep().
  std::size_t Count() const noexcept { return count_; }
  bool Empty() const noexcept { return count_ == 0; }
  std::int32_t FirstStep() const noexcept { return firstStep_; }
  // Steps at which the measures changed (the first step counts as one).
  std::size_t Changes() const noexcept { return changes_.size(); }

  // fn(step, values) for every step, in order.
  template <typename Fn>
  void ForEach(Fn&& fn) const {
    for (std::size_t c = 0; c < changes_.size(); ++c) {
      const std::int64_t end = c + 1 < changes_.size() ? changes_[c + 1].Step : LastStep() + std::int64_t{1};
      for (std::int64_t step = changes_[c].Step; step < end; ++step) {
        fn(static_cast<std::int32_t>(step), changes_[c].Values);
      }
    }
  }
  // fn(step, values) for the steps at which the measures changed, then the
  // last step if they did not change there: a line through these, held
  // level between them, is the whole series.
  template <typename Fn>
  void ForEachChange(Fn&& fn) const {
    for (const TChange& change : changes_) fn(change.Step, change.Values);
    if (!changes_.empty() && changes_.back().Step != LastStep()) fn(LastStep(), changes_.back().Values);
  }

 private:
  struct TChange {
    std::int32_t Step;
    TMeasureValues Values;
  };
  std::int32_t LastStep() const noexcept {
    return static_cast<std::int32_t>(firstStep_ + static_cast<std::int64_t>(count_) - 1);
  }

  std::vector<TChange> changes_;
  std::size_t count_ = 0;
  std::int32_t firstStep_ = 0;
};

}  // namespace dla
