// The sweep's plot: mean free agents against the step, one line per
// combination, drawn off screen with Qt Charts (the window's chart library).
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QRectF>
#include <QSize>
#include <cstdint>
#include <vector>

#include "PlotRequest.h"

class QChart;
class QGraphicsScene;

namespace dla::tools {

class TSweepPlot {
 public:
  static constexpr QSize DefaultSize{1200, 800};

  // The colour of a combination's line: twelve distinct colours, then
  // again with dashed (and then dotted) lines.
  static QColor LineColour(std::size_t combination);

  // A new chart owned by scene, titled in large bold type, with its legend
  // on the right: the frame both plots share.
  static QChart* AddChart(QGraphicsScene& scene, const QString& title);

  // Lays out a chart that lives in scene at size x size pixels and paints
  // the scene, antialiased, on white into a new image.
  static QImage PaintScene(QGraphicsScene& scene, QChart& chart, QSize size);

  // Draws the lines into an image of the given size: title, axis titles
  // ("step", "mean free agents"), a legend naming each line "N agents,
  // threshold T", each line in its combination's colour. The step axis is
  // logarithmic when the longest line is more than ten times the shortest,
  // so that short and long runs can both be read. plotArea, if given,
  // receives the rectangle inside the axes. Needs a QApplication (Qt
  // Charts draws through the graphics view framework).
  static QImage Render(const std::vector<TPlotLine>& lines, QSize size = DefaultSize,
                       QRectF* plotArea = nullptr);
};

}  // namespace dla::tools
