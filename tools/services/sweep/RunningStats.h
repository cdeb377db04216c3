// Mean and sample standard deviation of a stream of values, accumulated in
// one pass (Welford). The result depends on the order of the values to the
// last bit, so callers that promise identical output add them in a fixed
// order.
#pragma once

#include <cmath>
#include <cstdint>

namespace dla::tools {

class TRunningStats {
 public:
  void Add(double value) {
    ++count_;
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    squaredDeviations_ += delta * (value - mean_);
  }

  std::uint64_t Count() const noexcept { return count_; }
  // 0 before the first value.
  double Mean() const noexcept { return mean_; }
  // With n - 1; 0 for fewer than two values.
  double Sd() const noexcept {
    return count_ > 1 ? std::sqrt(squaredDeviations_ / static_cast<double>(count_ - 1)) : 0.0;
  }

 private:
  std::uint64_t count_ = 0;
  double mean_ = 0;
  double squaredDeviations_ = 0;
};

}  // namespace dla::tools
