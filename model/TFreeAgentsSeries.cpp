#include "TFreeAgentsSeries.h"

#include <algorithm>

namespace dla {

TFreeAgentsSeries::TFreeAgentsSeries(std::size_t outlineBuckets)
    : maxBuckets_(outlineBuckets == 0 ? 0 : std::max<std::size_t>(2, outlineBuckets + outlineBuckets % 2)) {}

void TFreeAgentsSeries::Add(std::int32_t step, std::int32_t freeAgents) {
  if (count_ == 0) {
    firstStep_ = step;
    lowest_ = highest_ = freeAgents;
  } else if (std::int64_t{step} != std::int64_t{firstStep_} + static_cast<std::int64_t>(count_)) {
    throw std::invalid_argument("step " + std::to_string(step) + " does not follow step " +
                                std::to_string(StepAt(count_ - 1)));
  }
  const std::int64_t change = std::int64_t{freeAgents} - (count_ == 0 ? 0 : last_);
  if (change != 0) {
    unchanged_ = 0;
    PushNumber((static_cast<std::uint64_t>(change) << 1) ^ static_cast<std::uint64_t>(change >> 63));
  } else if (++unchanged_ < 3) {
    bytes_.push_back(0);
  } else {
    // The third point without change turns the two before it into a
    // stretch; later ones count it up.
    if (unchanged_ == 3) {
      bytes_.resize(bytes_.size() - 2);
      bytes_.push_back(0x80);
      bytes_.push_back(0);
      unchangedNumberAt_ = bytes_.size();
    }
    bytes_.resize(unchangedNumberAt_);
    PushNumber(unchanged_);
  }
  last_ = freeAgents;
  lowest_ = std::min(lowest_, freeAgents);
  highest_ = std::max(highest_, freeAgents);
  if (maxBuckets_ != 0) AddToOutline({count_, freeAgents});
  ++count_;
}

void TFreeAgentsSeries::PushNumber(std::uint64_t number) {
  while (number >= 0x80) {
    bytes_.push_back(static_cast<std::uint8_t>(number | 0x80));
    number >>= 7;
  }
  bytes_.push_back(static_cast<std::uint8_t>(number));
}

void TFreeAgentsSeries::Clear() noexcept {
  bytes_.clear();
  unchanged_ = 0;
  count_ = 0;
  firstStep_ = last_ = lowest_ = highest_ = 0;
  buckets_.clear();
  bucketWidth_ = 1;
}

std::int64_t TFreeAgentsSeries::Delta(TReader& reader) const noexcept {
  if (reader.Unchanged != 0) {
    --reader.Unchanged;
    return 0;
  }
  const auto number = [&] {
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
      const std::uint8_t byte = bytes_[reader.At++];
      value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return value;
    }
  };
  if (bytes_[reader.At] == 0x80 && bytes_[reader.At + 1] == 0) {
    reader.At += 2;
    reader.Unchanged = number() - 1;
    return 0;
  }
  const std::uint64_t zigzag = number();
  return static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
}

std::vector<std::int32_t> TFreeAgentsSeries::Values() const {
  std::vector<std::int32_t> values;
  values.reserve(count_);
  ForEach([&values](std::int32_t, std::int32_t free) { values.push_back(free); });
  return values;
}

void TFreeAgentsSeries::AddToOutline(TPoint point) {
  if (point.Index / bucketWidth_ == buckets_.size() && buckets_.size() == maxBuckets_) {
    // Pairs of neighbours become one bucket, the earliest of equal
    // extremes staying.
    for (std::size_t b = 0; b < maxBuckets_ / 2; ++b) {
      const TBucket& first = buckets_[2 * b];
      const TBucket& second = buckets_[2 * b + 1];
      buckets_[b] = {second.Low.Value < first.Low.Value ? second.Low : first.Low,
                     second.High.Value > first.High.Value ? second.High : first.High};
    }
    buckets_.resize(maxBuckets_ / 2);
    bucketWidth_ *= 2;
  }
  if (point.Index / bucketWidth_ == buckets_.size()) {
    buckets_.push_back({point, point});
    return;
  }
  TBucket& last = buckets_.back();
  if (point.Value < last.Low.Value) last.Low = point;
  if (point.Value > last.High.Value) last.High = point;
}

}  // namespace dla
