// Which runs a sweep makes, in which order, and which of them one share
// (--shard I/N) makes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dla::tools {

// One run of a sweep.
struct TSweepRun {
  std::int32_t Agents = 0;
  std::uint16_t Threshold = 0;
  // The seed that repeats the run alone: dla-batch --seed.
  std::uint32_t Seed = 0;
  // Index of (Agents, Threshold) among the combinations, 0-based, in the
  // order agents first, then threshold.
  std::size_t Combination = 0;
};

// The runs of a sweep, sorted by agents, then threshold, then seed, which is
// also the order of the rows that the sweep prints. Run r (0 <= r < runs) of
// a combination uses seed baseSeed + r modulo 2^32; when that wraps past
// 2^32 - 1, the wrapped (small) seeds sort first.
//
// A share I of N (1 <= I <= N) holds the runs whose position p in the whole
// sorted list has p mod N == I - 1: the shares are disjoint, together hold
// every run, and each keeps the whole list's order, so concatenating and
// sorting the shares' rows gives the whole sweep's rows. Dealing runs out
// round-robin rather than in blocks spreads cheap and costly combinations
// evenly over the shares.
class TSweepPlan {
 public:
  // The most runs one share may hold: their rows are kept until the end.
  static constexpr std::uint64_t MaxRunsPerShare = 100'000'000;
  // Why share shardIndex of shardCount of a sweep of totalRuns runs is too
  // big to make, or an empty text.
  static std::string ShareFault(std::uint64_t totalRuns, std::uint32_t shardIndex,
                                std::uint32_t shardCount);
  // "I/N" as (I, N), 1 <= I <= N <= 2^32 - 1. Throws EUsageError, "<name>:
  // <why>, got '<text>'".
  static std::pair<std::uint32_t, std::uint32_t> ShardFromText(std::string_view text,
                                                               std::string_view name);

  // agents and thresholds sorted ascending without repeats and not empty;
  // 1 <= runsPerCombination <= 2^32 (so no seed repeats); 1 <= shardIndex
  // <= shardCount. Throws std::invalid_argument otherwise.
  TSweepPlan(std::vector<std::int32_t> agents, std::vector<std::uint16_t> thresholds,
             std::uint64_t runsPerCombination, std::uint32_t baseSeed,
             std::uint32_t shardIndex = 1, std::uint32_t shardCount = 1);

  const std::vector<std::int32_t>& Agents() const noexcept { return agents_; }
  const std::vector<std::uint16_t>& Thresholds() const noexcept { return thresholds_; }
  std::uint64_t RunsPerCombination() const noexcept { return runs_; }
  std::uint32_t BaseSeed() const noexcept { return baseSeed_; }
  std::uint32_t ShardIndex() const noexcept { return shardIndex_; }
  std::uint32_t ShardCount() const noexcept { return shardCount_; }

  std::size_t CombinationCount() const noexcept { return agents_.size() * thresholds_.size(); }
  std::int32_t CombinationAgents(std::size_t combination) const noexcept {
    return agents_[combination / thresholds_.size()];
  }
  std::uint16_t CombinationThreshold(std::size_t combination) const noexcept {
    return thresholds_[combination % thresholds_.size()];
  }

  // Runs of the whole sweep and of this share.
  std::uint64_t TotalRuns() const noexcept { return CombinationCount() * runs_; }
  std::uint64_t Count() const noexcept;

  // The index-th run of this share (0 <= index < Count()), in sorted order.
  TSweepRun Run(std::uint64_t index) const noexcept;

 private:
  std::vector<std::int32_t> agents_;
  std::vector<std::uint16_t> thresholds_;
  std::uint64_t runs_;
  std::uint32_t baseSeed_;
  std::uint32_t shardIndex_;
  std::uint32_t shardCount_;
};

}  // namespace dla::tools
