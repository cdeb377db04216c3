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

namespace dla::tools {

class TMeasurePlot {
 public:
  static constexpr QSize DefaultSize{1200, 800};

  struct TPoint {
    std::int32_t Agents = 0;
    std::uint16_t Threshold = 0;
    // Runs that had a value of the measure (0: no point is drawn).
    std::uint64_t Runs = 0;
    double Mean = 0;
    // Sample standard deviation, >= 0; no bar when 0.
    double Sd = 0;
  };

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
