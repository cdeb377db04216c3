#include "SweepPlan.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "Options.h"
#include "UsageError.h"

namespace dla::tools {

std::pair<std::uint32_t, std::uint32_t> TSweepPlan::ShardFromText(std::string_view text,
                                                                  std::string_view name) {
  const std::size_t slash = text.find('/');
  const auto bad = [&](const std::string& why) {
    return EUsageError(std::string(name) + ": " + why + ", got '" + std::string(text) + "'");
  };
  if (slash == std::string_view::npos) throw bad("expected I/N, share I of N");
  constexpr std::int64_t max = std::numeric_limits<std::uint32_t>::max();
  const auto index = DecimalValue(text.substr(0, slash), 0, max);
  const auto count = DecimalValue(text.substr(slash + 1), 0, max);
  if (!index || !count) throw bad("expected I/N with whole numbers");
  if (*count < 1 || *index < 1 || *index > *count) throw bad("I/N needs 1 <= I <= N");
  return {static_cast<std::uint32_t>(*index), static_cast<std::uint32_t>(*count)};
}

std::string TSweepPlan::ShareFault(std::uint64_t totalRuns, std::uint32_t shardIndex,
                                   std::uint32_t shardCount) {
  const std::uint64_t share = (totalRuns + shardCount - 1 - (shardIndex - 1)) / shardCount;
  if (share <= MaxRunsPerShare) return {};
  return "the sweep holds " + std::to_string(totalRuns) + " runs, " + std::to_string(share) +
         " for this share; at most " + std::to_string(MaxRunsPerShare) + " per share";
}

TSweepPlan::TSweepPlan(std::vector<std::int32_t> agents, std::vector<std::uint16_t> thresholds,
                       std::uint64_t runsPerCombination, std::uint32_t baseSeed,
                       std::uint32_t shardIndex, std::uint32_t shardCount)
    : agents_(std::move(agents)),
      thresholds_(std::move(thresholds)),
      runs_(runsPerCombination),
      baseSeed_(baseSeed),
      shardIndex_(shardIndex),
      shardCount_(shardCount) {
  const auto ascending = [](const auto& v) {
    return !v.empty() && std::adjacent_find(v.begin(), v.end(), [](auto a, auto b) {
                           return a >= b;
                         }) == v.end();
  };
  if (!ascending(agents_) || !ascending(thresholds_)) {
    throw std::invalid_argument("sweep lists must be non-empty, ascending, without repeats");
  }
  if (runs_ < 1 || runs_ > (std::uint64_t{1} << 32)) {
    throw std::invalid_argument("runs per combination must lie in 1 .. 2^32");
  }
  if (shardIndex_ < 1 || shardIndex_ > shardCount_) {
    throw std::invalid_argument("shard index must lie in 1 .. shard count");
  }
}

std::uint64_t TSweepPlan::Count() const noexcept {
  const std::uint64_t total = TotalRuns();
  const std::uint64_t first = shardIndex_ - 1;
  return first < total ? (total - first + shardCount_ - 1) / shardCount_ : 0;
}

TSweepRun TSweepPlan::Run(std::uint64_t index) const noexcept {
  const std::uint64_t position = index * shardCount_ + (shardIndex_ - 1);
  const std::uint64_t combination = position / runs_;
  const std::uint64_t k = position % runs_;
  // Seeds baseSeed .. baseSeed + runs - 1 (mod 2^32); the `wrapped` ones that
  // passed 2^32 are 0 .. wrapped - 1 and sort before the others.
  const std::uint64_t end = std::uint64_t{baseSeed_} + runs_;
  const std::uint64_t wrapped = end > (std::uint64_t{1} << 32) ? end - (std::uint64_t{1} << 32) : 0;
  const std::uint64_t seed = k < wrapped ? k : baseSeed_ + (k - wrapped);

  TSweepRun run;
  run.Combination = static_cast<std::size_t>(combination);
  run.Agents = CombinationAgents(run.Combination);
  run.Threshold = CombinationThreshold(run.Combination);
  run.Seed = static_cast<std::uint32_t>(seed);
  return run;
}

}  // namespace dla::tools
