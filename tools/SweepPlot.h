// The sweep's plot: mean free agents against the step, one line per
// combination, drawn off screen with Qt Charts (the window's chart library).
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <cstdint>
#include <vector>

class QChart;
class QGraphicsScene;

#include "SweepPlan.h"

namespace dla::tools {

class TSweepPlot {
 public:
  static constexpr QSize DefaultSize{1200, 800};
  // At most about this many points per line. The mean of a combination
  // never rises (agents only ever stop), so sampling it loses nothing a
  // picture could show.
  static constexpr std::size_t MaxPointsPerLine = 4000;

  explicit TSweepPlot(const TSweepPlan& plan);

  // Adds one run's free agents per step (step 1 first). After a run's last
  // step its free agents count as 0: a shorter run is one that ended, and
  // those that did not end all have --steps steps.
  void Add(std::size_t combination, const std::vector<std::int32_t>& freeAgents);

  std::uint64_t Runs(std::size_t combination) const { return runs_.at(combination); }
  // Mean free agents at steps 1, 2, ... up to the longest run of the
  // combination; empty for a combination without runs.
  std::vector<double> Mean(std::size_t combination) const;

  // The 0-based steps of a line of `count` steps that are drawn: all of
  // them up to maxPoints (>= 2), else maxPoints / 2 evenly spaced ones and
  // maxPoints / 2 geometrically spaced ones (so a logarithmic step axis
  // still has points near the start), sorted, without repeats, first and
  // last always included.
  static std::vector<std::size_t> SampledSteps(std::size_t count, std::size_t maxPoints);

  // The colour of a combination's line: twelve distinct colours, then
  // again with dashed (and then dotted) lines.
  static QColor LineColour(std::size_t combination);

  // Lays out a chart that lives in scene at size x size pixels and paints
  // the scene, antialiased, on white into a new image.
  static QImage PaintScene(QGraphicsScene& scene, QChart& chart, QSize size);

  // Draws the chart into an image of the given size: title, axis titles
  // ("step", "mean free agents"), a legend naming each line "N agents,
  // threshold T", one line per combination with runs. The step axis is
  // logarithmic when the longest line is more than ten times the shortest,
  // so that short and long runs can both be read. plotArea, if given,
  // receives the rectangle inside the axes. Needs a QApplication (Qt
  // Charts draws through the graphics view framework).
  QImage Render(QSize size = DefaultSize, QRectF* plotArea = nullptr) const;

 private:
  const TSweepPlan& plan_;
  std::vector<std::vector<std::int64_t>> sums_;  // per combination, per step - 1
  std::vector<std::uint64_t> runs_;
};

}  // namespace dla::tools
