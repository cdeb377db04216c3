#include "TMeasuresSeries.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace dla {

void TMeasuresSeries::Add(std::int32_t step, const TMeasureValues& values) {
  if (count_ == 0) {
    firstStep_ = step;
  } else if (std::int64_t{step} != std::int64_t{LastStep()} + 1) {
    throw std::invalid_argument("step " + std::to_string(step) + " does not follow step " +
                                std::to_string(LastStep()));
  }
  // Compared bit for bit: an absent value (NaN) equals the absent value
  // before it.
  if (changes_.empty() || std::memcmp(&changes_.back().Values, &values, sizeof values) != 0) {
    changes_.push_back({step, values});
  }
  ++count_;
}

void TMeasuresSeries::Clear() noexcept {
  changes_.clear();
  count_ = 0;
  firstStep_ = 0;
}

}  // namespace dla
