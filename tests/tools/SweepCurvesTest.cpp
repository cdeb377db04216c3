#include "SweepCurves.h"

#include <gtest/gtest.h>

#include "TestNames.h"

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
                                           TSampling{2'147'483'647, 100}),
    test::TPrintedName());

// The plotting program draws what it reads back from the text: the text
// must give back every number to the last bit.
TEST(SweepCurves, TheirPlotRequestSurvivesItsText) {
  const TSweepPlan plan({7, 100}, {3, 65535}, 3, 0);
  TSweepCurves curves(plan);
  curves.Add(1, {7, 5, 2});
  curves.Add(1, {7, 6, 4, 1});
  curves.Add(1, {7});
  curves.Add(3, {100});
  const TPlotRequest steps = curves.Request();
  const TPlotRequest read = TPlotRequest::Parse(steps.Text());
  ASSERT_EQ(read.Kind, TPlotRequest::EKind::Steps);
  ASSERT_EQ(read.Lines.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.Lines[i].Combination, steps.Lines[i].Combination);
    EXPECT_EQ(read.Lines[i].Agents, steps.Lines[i].Agents);
    EXPECT_EQ(read.Lines[i].Threshold, steps.Lines[i].Threshold);
    EXPECT_EQ(read.Lines[i].Points, steps.Lines[i].Points);
  }
  // Thirds: no short decimal form.
  EXPECT_EQ(read.Lines[0].Points[1].second, 11.0 / 3);

  TPlotRequest measure;
  measure.Kind = TPlotRequest::EKind::Measure;
  measure.Measure = "dimension";
  measure.Points = {{2000, 6, 3, 1.0 / 3, 0.1 + 0.2}, {100000000, 65535, 0, 0, 0}};
  const TPlotRequest back = TPlotRequest::Parse(measure.Text());
  EXPECT_EQ(back.Measure, "dimension");
  ASSERT_EQ(back.Points.size(), 2u);
  EXPECT_EQ(back.Points[0].Mean, 1.0 / 3);
  EXPECT_EQ(back.Points[0].Sd, 0.1 + 0.2);
  EXPECT_EQ(back.Points[1].Agents, 100000000);
  EXPECT_EQ(back.Points[1].Threshold, 65535);
  EXPECT_THROW(TPlotRequest::Parse("steps\nline 0 1 2 1\n1 x\n"), std::runtime_error);
}

}  // namespace
}  // namespace dla::tools
