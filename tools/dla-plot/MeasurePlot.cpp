#include "MeasurePlot.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <limits>
#include <map>
#include <utility>

#include "SweepPlot.h"

namespace dla::tools {

TMeasurePlot::TMeasurePlot(QString measure) : measure_(std::move(measure)) {}

void TMeasurePlot::Add(const TPoint& point) {
  if (point.Runs > 0) points_.push_back(point);
}

QImage TMeasurePlot::Render(QSize size) const {
  // The scene owns the chart, the chart its series and axes.
  QGraphicsScene scene;
  QChart* chart = TSweepPlot::AddChart(
      scene,
      QStringLiteral("%1 against the threshold (mean and one standard deviation)").arg(measure_));

  std::map<std::int32_t, std::vector<TPoint>> lines;
  double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
  int firstThreshold = 65535, lastThreshold = 0;
  for (const TPoint& p : points_) {
    lines[p.Agents].push_back(p);
    low = std::min(low, p.Mean - p.Sd);
    high = std::max(high, p.Mean + p.Sd);
    firstThreshold = std::min<int>(firstThreshold, p.Threshold);
    lastThreshold = std::max<int>(lastThreshold, p.Threshold);
  }
  if (lines.empty()) {
    low = 0;
    high = 1;
    firstThreshold = 0;
    lastThreshold = 1;
  }
  // Half a threshold of room on either side, so that the end bars and
  // their caps are not cut by the plot's edge.
  auto* axisX = new QValueAxis;
  axisX->setTitleText(QStringLiteral("threshold"));
  axisX->setLabelFormat(QStringLiteral("%d"));
  axisX->setRange(firstThreshold - 0.5, lastThreshold + 0.5);
  axisX->setTickType(QValueAxis::TicksDynamic);
  axisX->setTickAnchor(firstThreshold);
  axisX->setTickInterval(std::max(1, (lastThreshold - firstThreshold) / 12 + 1));
  auto* axisY = new QValueAxis;
  axisY->setTitleText(measure_);
  const double margin = high > low ? (high - low) * 0.05 : 0.5;
  axisY->setRange(low - margin, high + margin);
  axisY->applyNiceNumbers();
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);

  const auto add = [&](QXYSeries* series, bool inLegend) {
    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    if (!inLegend) {
      for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
    }
  };
  std::size_t colour = 0;
  for (auto& [agents, points] : lines) {
    std::sort(points.begin(), points.end(),
              [](const TPoint& a, const TPoint& b) { return a.Threshold < b.Threshold; });
    QPen pen(TSweepPlot::LineColour(colour++));
    pen.setWidthF(3);
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("%1 agents").arg(agents));
    line->setPen(pen);
    line->setPointsVisible(true);
    QList<QPointF> means;
    for (const TPoint& p : points) means.append(QPointF(p.Threshold, p.Mean));
    line->replace(means);
    add(line, true);

    QPen barPen = pen;
    barPen.setWidthF(2);
    // A series per bar, since a line series cannot lift its pen; each bar
    // is one polyline: top cap, stem, bottom cap.
    for (const TPoint& p : points) {
      if (p.Sd <= 0) continue;
      const double cap = 0.08;
      auto* bar = new QLineSeries;
      bar->setPen(barPen);
      bar->replace({QPointF(p.Threshold - cap, p.Mean + p.Sd),
                    QPointF(p.Threshold + cap, p.Mean + p.Sd), QPointF(p.Threshold, p.Mean + p.Sd),
                    QPointF(p.Threshold, p.Mean - p.Sd), QPointF(p.Threshold - cap, p.Mean - p.Sd),
                    QPointF(p.Threshold + cap, p.Mean - p.Sd)});
      add(bar, false);
    }
  }

  return TSweepPlot::PaintScene(scene, *chart, size);
}

}  // namespace dla::tools
