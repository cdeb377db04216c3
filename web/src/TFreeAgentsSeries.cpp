#include "TFreeAgentsSeries.h"

#include <stdexcept>
#include <string_view>

#include "CsvWriter.h"

namespace dla::web {

void TFreeAgentsSeries::Add(std::int32_t step, std::int32_t freeAgents) {
  if (free_.empty()) {
    firstStep_ = step;
  } else if (static_cast<std::int64_t>(step) != static_cast<std::int64_t>(firstStep_) + static_cast<std::int64_t>(free_.size())) {
    throw std::invalid_argument("step " + std::to_string(step) + " does not follow step " +
                                std::to_string(firstStep_ + static_cast<std::int32_t>(free_.size()) - 1));
  }
  free_.push_back(freeAgents);
  AddToOutline(static_cast<std::uint32_t>(free_.size() - 1));
}

void TFreeAgentsSeries::Clear() noexcept {
  free_.clear();
  buckets_.clear();
  bucketWidth_ = 1;
  firstStep_ = 0;
}

std::string TFreeAgentsSeries::Csv() const {
  std::string text;
  // The batch runner's writer, so the two cannot drift apart.
  tools::TCsvWriter out([&text](std::string_view piece) { text.append(piece); });
  out.Raw("step,free_agents\n");
  std::int32_t step = firstStep_;
  for (const std::int32_t value : free_) out.Field(step++).Field(value).EndLine();
  out.Flush();
  return text;
}

void TFreeAgentsSeries::AddToOutline(std::uint32_t index) {
  if (index / bucketWidth_ == buckets_.size() && buckets_.size() == OutlineBuckets) {
    // Pairs of neighbours become one bucket, the earliest of equal
    // extremes staying.
    for (std::size_t b = 0; b < OutlineBuckets / 2; ++b) {
      const Bucket& first = buckets_[2 * b];
      const Bucket& second = buckets_[2 * b + 1];
      buckets_[b] = {free_[second.Low] < free_[first.Low] ? second.Low : first.Low,
                     free_[second.High] > free_[first.High] ? second.High : first.High};
    }
    buckets_.resize(OutlineBuckets / 2);
    bucketWidth_ *= 2;
  }
  if (index / bucketWidth_ == buckets_.size()) {
    buckets_.push_back({index, index});
    return;
  }
  Bucket& last = buckets_.back();
  if (free_[index] < free_[last.Low]) last.Low = index;
  if (free_[index] > free_[last.High]) last.High = index;
}

std::size_t TFreeAgentsSeries::Outline(std::vector<double>& xs, std::vector<double>& ys) const {
  xs.clear();
  ys.clear();
  const auto put = [&](std::uint32_t index) {
    xs.push_back(static_cast<double>(firstStep_) + index);
    ys.push_back(free_[index]);
  };
  for (const Bucket& bucket : buckets_) {
    put(bucket.Low < bucket.High ? bucket.Low : bucket.High);
    if (bucket.Low != bucket.High) put(bucket.Low < bucket.High ? bucket.High : bucket.Low);
  }
  return xs.size();
}

}  // namespace dla::web
