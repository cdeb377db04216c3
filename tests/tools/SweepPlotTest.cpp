#include "SweepPlot.h"

#include "SweepCurves.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

// A plot that cannot be written is one line that says why, from the sweep.
class SweepPlotFull : public ::testing::TestWithParam<test::TArgs> {};

TEST_P(SweepPlotFull, AFullDiskIsOneLineThatSaysWhy) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  test::TArgs args{"sweep", "--size", "30x30", "--agents", "20", "--runs", "2", "--seed", "1"};
  args.insert(args.end(), GetParam().begin(), GetParam().end());
  const test::TToolResult result = test::RunTool(args);
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Out, "");
  ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
  EXPECT_EQ(result.ErrLines()[0],
            "dla-batch sweep: the plotting program failed: cannot write the picture: No space left on device");
}

INSTANTIATE_TEST_SUITE_P(Plots, SweepPlotFull,
                         ::testing::Values(test::TArgs{"--plot", "/dev/full"},
                                           test::TArgs{"--plot-measure", "largest", "/dev/full"}));

// The measure plot comes from the rows' measures, which a partial file keeps
// exactly: drawn by a resume it is the whole sweep's, to the byte.
TEST(SweepPlot, AResumedSweepDrawsTheWholeSweepsMeasurePlot) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  const std::string dir = test::ScratchDir();
  const test::TArgs sweep{"sweep", "--size", "60x60", "--agents", "60,100", "--threshold", "2..4",
                          "--runs", "4", "--seed", "3", "--steps", "400"};
  const auto with = [&](const test::TArgs& more) {
    test::TArgs args = sweep;
    args.insert(args.end(), more.begin(), more.end());
    return test::RunTool(args);
  };
  // Every run made, the plot lost.
  const test::TToolResult failed =
      with({"--plot-measure", "dimension", "/dev/full", "--partial", dir + "/partial.csv"});
  EXPECT_EQ(failed.ExitCode, 1);
  EXPECT_TRUE(test::Contains(failed.Err, "; the rows of 24 runs kept in")) << failed.Err;
  const test::TToolResult whole = with({"--plot-measure", "dimension", dir + "/whole.png"});
  const test::TToolResult resumed =
      with({"--resume", dir + "/partial.csv", "--plot-measure", "dimension", dir + "/resumed.png"});
  ASSERT_EQ(resumed.ExitCode, 0) << resumed.Err;
  EXPECT_EQ(resumed.Out, whole.Out);
  const std::string picture = test::ReadFile(dir + "/whole.png");
  EXPECT_GT(picture.size(), 1000u);
  EXPECT_EQ(test::ReadFile(dir + "/resumed.png"), picture);
}

}  // namespace
}  // namespace dla::tools
