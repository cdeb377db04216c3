#include "SweepPlot.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QColor>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace dla::tools {
namespace {

TEST(SweepPlot, MeanCountsEndedRunsAsZeroAfterTheirLastStep) {
  const TSweepPlan plan({10}, {2, 3}, 2, 0);
  TSweepPlot plot(plan);
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

class SweepPlotSampling : public ::testing::TestWithParam<TSampling> {};

TEST_P(SweepPlotSampling, KeepsBothEndsAndStaysWithinTheLimit) {
  const auto [count, maxPoints] = GetParam();
  const std::vector<std::size_t> steps = TSweepPlot::SampledSteps(count, maxPoints);
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

INSTANTIATE_TEST_SUITE_P(Lengths, SweepPlotSampling,
                         ::testing::Values(TSampling{1, 4000}, TSampling{4000, 4000},
                                           TSampling{4001, 4000}, TSampling{1'000'000, 4000},
                                           TSampling{2'147'483'647, 100}));

// Pixels within a small distance of the colour: the line is drawn
// antialiased, but its middle is solid.
int PixelsNear(const QImage& image, const QRect& area, QColor colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
              std::abs(pixel.blue() - colour.blue()) <=
          24) {
        ++count;
      }
    }
  }
  return count;
}

TEST(SweepPlot, DrawsOneLinePerCombinationInsideTheAxes) {
  const TSweepPlan plan({100, 200}, {3, 4, 5}, 1, 0);
  TSweepPlot plot(plan);
  // Six falling lines of different lengths, none on top of another.
  for (std::size_t c = 0; c < 6; ++c) {
    std::vector<std::int32_t> series;
    for (std::int32_t free = 200 - 20 * static_cast<std::int32_t>(c); free > 0; free -= 2) {
      series.push_back(free);
    }
    series.push_back(0);
    plot.Add(c, series);
  }
  QRectF plotArea;
  const QImage image = plot.Render(QSize(900, 600), &plotArea);
  EXPECT_EQ(image.size(), QSize(900, 600));
  ASSERT_FALSE(plotArea.isEmpty());
  // Inside the axes, away from the legend: each combination's colour is
  // there as a line (far more pixels than a legend marker), and a colour of
  // no combination is not.
  const QRect inside = plotArea.toRect().adjusted(2, 2, -2, -2);
  for (std::size_t c = 0; c < 6; ++c) {
    EXPECT_GT(PixelsNear(image, inside, TSweepPlot::LineColour(c)), 200) << "combination " << c;
  }
  EXPECT_EQ(PixelsNear(image, inside, TSweepPlot::LineColour(6)), 0);
}

}  // namespace
}  // namespace dla::tools
