#include "SweepPlan.h"

#include <gtest/gtest.h>

#include "TestNames.h"

#include <ostream>

#include <set>
#include <tuple>
#include <vector>

namespace dla::tools {
namespace {

using TKey = std::tuple<std::int32_t, std::uint16_t, std::uint32_t>;

std::vector<TKey> Keys(const TSweepPlan& plan) {
  std::vector<TKey> keys;
  for (std::uint64_t i = 0; i < plan.Count(); ++i) {
    const TSweepRun run = plan.Run(i);
    keys.emplace_back(run.Agents, run.Threshold, run.Seed);
    EXPECT_EQ(plan.CombinationAgents(run.Combination), run.Agents);
    EXPECT_EQ(plan.CombinationThreshold(run.Combination), run.Threshold);
  }
  return keys;
}

TEST(SweepPlan, RunsEveryCombinationWithConsecutiveSeedsInSortedOrder) {
  const TSweepPlan plan({1000, 2000}, {3, 8}, 3, 40);
  EXPECT_EQ(plan.CombinationCount(), 4u);
  EXPECT_EQ(plan.Count(), 12u);
  const std::vector<TKey> expected{
      {1000, 3, 40}, {1000, 3, 41}, {1000, 3, 42}, {1000, 8, 40}, {1000, 8, 41}, {1000, 8, 42},
      {2000, 3, 40}, {2000, 3, 41}, {2000, 3, 42}, {2000, 8, 40}, {2000, 8, 41}, {2000, 8, 42}};
  EXPECT_EQ(Keys(plan), expected);
}

TEST(SweepPlan, SeedsWrapModulo2To32AndStillSort) {
  // Seeds 4294967294, 4294967295, 0, 1: the wrapped ones sort first.
  const TSweepPlan plan({5}, {6}, 4, 4294967294u);
  const std::vector<TKey> expected{{5, 6, 0}, {5, 6, 1}, {5, 6, 4294967294u}, {5, 6, 4294967295u}};
  EXPECT_EQ(Keys(plan), expected);

  // All 2^32 seeds: every one exactly once, in order, wherever the start.
  const TSweepPlan all({5}, {6}, std::uint64_t{1} << 32, 123456789u);
  EXPECT_EQ(all.Run(0).Seed, 0u);
  EXPECT_EQ(all.Run(123456789u).Seed, 123456789u);
  EXPECT_EQ(all.Run((std::uint64_t{1} << 32) - 1).Seed, 4294967295u);
}

struct TShardCase {
  std::uint64_t Runs;
  std::uint32_t Shards;
};

void PrintTo(const TShardCase& c, std::ostream* os) {
  *os << c.Runs << " runs, " << c.Shards << " shares";
}

class SweepPlanShards : public ::testing::TestWithParam<TShardCase> {};

TEST_P(SweepPlanShards, AreDisjointOrderedAndTogetherTheWholeSweep) {
  const auto [runs, shards] = GetParam();
  const TSweepPlan whole({10, 20, 30}, {2, 4}, runs, 4294967290u);
  const std::vector<TKey> all = Keys(whole);
  std::multiset<TKey> union_;
  std::uint64_t counted = 0;
  for (std::uint32_t i = 1; i <= shards; ++i) {
    const TSweepPlan share({10, 20, 30}, {2, 4}, runs, 4294967290u, i, shards);
    const std::vector<TKey> keys = Keys(share);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << "share " << i;
    // Round-robin: shares differ in size by at most one run.
    EXPECT_LE(keys.size(), (all.size() + shards - 1) / shards);
    EXPECT_GE(keys.size(), all.size() / shards);
    union_.insert(keys.begin(), keys.end());
    counted += share.Count();
  }
  EXPECT_EQ(counted, all.size());
  EXPECT_EQ(std::vector<TKey>(union_.begin(), union_.end()), all);
}

INSTANTIATE_TEST_SUITE_P(Splits, SweepPlanShards,
                         ::testing::Values(TShardCase{1, 1}, TShardCase{10, 3},
                                           TShardCase{7, 4}, TShardCase{1, 6},
                                           // More shares than runs: some stay empty.
                                           TShardCase{1, 10}),
    test::TPrintedName());

}  // namespace
}  // namespace dla::tools
