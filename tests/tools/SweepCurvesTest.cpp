#include "SweepCurves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

namespace dla::tools {
namespace {

TEST(SweepCurves, MeanCountsEndedRunsAsZeroAfterTheirLastStep) {
  const TSweepPlan plan({10}, {2, 3}, 2, 0);
  TSweepCurves plot(plan);
  plot.Add(0, {10, 6, 0});
  plot.Add(0, {10, 9, 5, 3, 0});
  EXPECT_EQ(plot.Runs(0), 2u);
  EXPECT_EQ(plot.Mean(0), (std::vector<double>{10, 7.5, 2.5, 1.5, 0}));
  // No runs yet: no line.
  EXPECT_EQ(plot.Runs(1), 0u);
  EXPECT_TRUE(plot.Mean(1).empty());
}

struct TSampling {
  std::size_t Count;
  std::size_t MaxPoints;
};

void PrintTo(const TSampling& c, std::ostream* os) {
  *os << c.Count << " steps, " << c.MaxPoints << " points";
}

class SweepCurvesSampling : public ::testing::TestWithParam<TSampling> {};

TEST_P(SweepCurvesSampling, KeepsBothEndsAndStaysWithinTheLimit) {
  const auto [count, maxPoints] = GetParam();
  const std::vector<std::size_t> steps = TSweepCurves::SampledSteps(count, maxPoints);
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.front(), 0u);
  EXPECT_EQ(steps.back(), count - 1);
  EXPECT_LE(steps.size(), std::min(count, maxPoints));
  EXPECT_TRUE(std::adjacent_find(steps.begin(), steps.end(), std::greater_equal<>()) ==
              steps.end())
      << "not strictly increasing";
  if (count <= maxPoints) {
    EXPECT_EQ(steps.size(), count);
  }
  // However long the line, the second step is drawn too, so a logarithmic
  // step axis shows the start of the curve.
  if (count > 1) {
    EXPECT_EQ(steps[1], 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SweepCurvesSampling,
                         ::testing::Values(TSampling{1, 4000}, TSampling{4000, 4000},
                                           TSampling{4001, 4000}, TSampling{1'000'000, 4000},
                                           TSampling{2'147'483'647, 100}));

}  // namespace
}  // namespace dla::tools
