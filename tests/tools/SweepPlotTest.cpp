#include "SweepPlot.h"

#include "SweepCurves.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QColor>
#include <QImageReader>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace dla::tools {
namespace {

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
  TSweepCurves curves(plan);
  // Six falling lines of different lengths, none on top of another.
  for (std::size_t c = 0; c < 6; ++c) {
    std::vector<std::int32_t> series;
    for (std::int32_t free = 200 - 20 * static_cast<std::int32_t>(c); free > 0; free -= 2) {
      series.push_back(free);
    }
    series.push_back(0);
    curves.Add(c, series);
  }
  QRectF plotArea;
  const QImage image = TSweepPlot::Render(curves.Request().Lines, QSize(900, 600), &plotArea);
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

// The plots drawn by dla-plot, started by the sweep.
TEST(SweepPlot, ThePlotsOfASweepArePngsOfTheExpectedSize) {
  const std::string dir = test::ScratchDir();
  const test::TToolResult result = test::RunTool(
      {"sweep", "--size", "60x60", "--agents", "60,100", "--threshold", "2..4", "--runs", "4",
       "--seed", "4294967294", "--steps", "400", "--plot", dir + "/plot.png", "--plot-measure",
       "gyration", dir + "/g.png"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  for (const char* name : {"plot.png", "g.png"}) {
    QImageReader reader(QString::fromStdString(dir + "/" + name));
    EXPECT_EQ(reader.format(), "png") << name;
    EXPECT_EQ(reader.size(), QSize(1200, 800));
    // One line per combination: the test above looks inside the axes.
    EXPECT_FALSE(reader.read().isNull());
  }
}

}  // namespace
}  // namespace dla::tools
