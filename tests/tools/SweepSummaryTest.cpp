#include "SweepSummary.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SweepPlan.h"

namespace dla::tools {
namespace {

TEST(SweepSummary, GivesMeanSampleDeviationExtremesAndEndedPerCombination) {
  const TSweepPlan plan({10, 20}, {3}, 4, 0);
  TSweepSummary summary(plan);
  // Combination 0: steps 2, 4, 4, 6 (mean 4, sample variance 8/3).
  summary.Add(0, {0, 2, true, 1, 1});
  summary.Add(0, {1, 4, true, 1, 1});
  summary.Add(0, {2, 4, false, 1, 1});
  summary.Add(0, {3, 6, true, 1, 1});
  // Combination 1: a single run.
  summary.Add(1, {0, 7, false, 1, 1});
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

  EXPECT_EQ(summary.Table(),
            "agents  threshold  runs  mean_steps  sd_steps  min_steps  max_steps  ended\n"
            "    10          3     4         4.0       1.6          2          6      3\n"
            "    20          3     1         7.0       0.0          7          7      0\n");
}

TEST(SweepSummary, LeavesOutCombinationsWithoutRuns) {
  const TSweepPlan plan({10, 20}, {3, 4}, 1, 0, 1, 4);
  TSweepSummary summary(plan);
  summary.Add(2, {0, 5, true, 1, 1});
  const auto rows = summary.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Agents, 20);
  EXPECT_EQ(rows[0].Threshold, 3);
}

}  // namespace
}  // namespace dla::tools
