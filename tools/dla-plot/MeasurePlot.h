// The sweep's second plot: one aggregate measure against the threshold, one
// line per agent count, each point the mean over a combination's runs with
// an error bar of one sample standard deviation. Drawn off screen with Qt
// Charts, like the free-agents plot.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "PlotRequest.h"

namespace dla::tools {

class TMeasurePlot {
 public:
  static constexpr QSize DefaultSize{1200, 800};

  using TPoint = TMeasurePoint;

  // measure: the column name, used in the title and the axis title.
  explicit TMeasurePlot(QString measure);

  // Points may come in any order; a line joins the points of one agent
  // count by increasing threshold.
  void Add(const TPoint& point);

  // The chart in an image of the given size: title, axis titles
  // ("threshold" and the measure), a legend naming each line "N agents",
  // the threshold axis over the thresholds with whole-number labels, the
  // measure axis over every bar's extent. Needs a QApplication (Qt Charts
  // draws through the graphics view framework).
  QImage Render(QSize size = DefaultSize) const;

 private:
  QString measure_;
  std::vector<TPoint> points_;
};

}  // namespace dla::tools
