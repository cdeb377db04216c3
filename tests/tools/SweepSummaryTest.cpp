#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "SweepPlan.h"
#include "SweepSummary.h"

namespace dla::tools {
namespace {

TRunRecord Record(std::uint32_t seed, std::int32_t steps, bool ended, std::int32_t aggregates = 0,
                  std::int32_t largest = 0, std::optional<double> dimension = std::nullopt) {
  AggregateMeasures measures;
  measures.Aggregates = aggregates;
  measures.Largest = largest;
  measures.Dimension = dimension;
  return {seed, steps, ended, 1, 1, MeasureValues(measures)};
}

TEST(SweepSummary, GivesMeanSampleDeviationExtremesAndEndedPerCombination) {
  const TSweepPlan plan({10, 20}, {3}, 4, 0);
  TSweepSummary summary(plan);
  // Combination 0: steps 2, 4, 4, 6 (mean 4, sample variance 8/3);
  // aggregates 1, 3, 3, 5 likewise; largest 10 to 40 (mean 25, sample
  // variance 500/3); a dimension in three runs (1.2, 1.4, 1.6: mean 1.4,
  // deviation 0.2), none in the other, which must not count as 0.
  summary.Add(0, Record(0, 2, true, 1, 10, 1.2));
  summary.Add(0, Record(1, 4, true, 3, 20));
  summary.Add(0, Record(2, 4, false, 3, 30, 1.4));
  summary.Add(0, Record(3, 6, true, 5, 40, 1.6));
  // Combination 1: a single run, without an aggregate.
  summary.Add(1, Record(0, 7, false));
  const auto rows = summary.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Agents, 10);
  EXPECT_EQ(rows[0].Threshold, 3);
  EXPECT_EQ(rows[0].Runs, 4u);
  EXPECT_DOUBLE_EQ(rows[0].MeanSteps, 4.0);
  EXPECT_NEAR(rows[0].SdSteps, std::sqrt(8.0 / 3.0), 1e-12);
  EXPECT_EQ(rows[0].MinSteps, 2);
  EXPECT_EQ(rows[0].MaxSteps, 6);
  EXPECT_EQ(rows[0].Ended, 3u);
  EXPECT_EQ(rows[1].Agents, 20);
  EXPECT_EQ(rows[1].SdSteps, 0.0);
  EXPECT_EQ(rows[1].Ended, 0u);

  EXPECT_EQ(
      summary.Table(),
      "agents  threshold  runs  mean_steps  sd_steps  min_steps  max_steps  ended  "
      "mean_aggregates  sd_aggregates  mean_largest  sd_largest  mean_dimension  sd_dimension\n"
      "    10          3     4         4.0       1.6          2          6      3  "
      "            3.0            1.6          25.0        12.9           1.400         0.200\n"
      "    20          3     1         7.0       0.0          7          7      0  "
      "            0.0            0.0           0.0         0.0            none          none\n");
}

TEST(SweepSummary, LeavesOutCombinationsWithoutRuns) {
  const TSweepPlan plan({10, 20}, {3, 4}, 1, 0, 1, 4);
  TSweepSummary summary(plan);
  summary.Add(2, Record(0, 5, true));
  const auto rows = summary.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Agents, 20);
  EXPECT_EQ(rows[0].Threshold, 3);
}

}  // namespace
}  // namespace dla::tools
