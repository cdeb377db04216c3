#include "SweepPlot.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <array>

namespace dla::tools {

QColor TSweepPlot::LineColour(std::size_t combination) {
  static constexpr std::array<QRgb, 12> palette{
      0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b,
      0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf, 0x000080, 0x00ff7f};
  return QColor(palette[combination % palette.size()]);
}

QChart* TSweepPlot::AddChart(QGraphicsScene& scene, const QString& title) {
  auto* chart = new QChart;
  scene.addItem(chart);
  chart->setTitle(title);
  chart->setBackgroundRoundness(0);
  chart->legend()->setVisible(true);
  chart->legend()->setAlignment(Qt::AlignRight);
  QFont titleFont = chart->titleFont();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);
  return chart;
}

QImage TSweepPlot::Render(const std::vector<TPlotLine>& lines, QSize size, QRectF* plotArea) {
  // The scene owns the chart, the chart its series and axes.
  QGraphicsScene scene;
  QChart* chart = AddChart(scene, QStringLiteral("Mean number of free agents per step"));

  // A line's last point is its last step, its first the mean at step 1.
  double longest = 1;
  double shortest = -1;
  double highest = 1;
  for (const TPlotLine& line : lines) {
    if (line.Points.empty()) continue;
    const double length = line.Points.back().first;
    longest = std::max(longest, length);
    shortest = shortest < 0 ? length : std::min(shortest, length);
    highest = std::max(highest, line.Points.front().second);
  }
  const bool logSteps = shortest >= 0 && longest > 10 * shortest;

  QAbstractAxis* axisX;
  if (logSteps) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setMinorTickCount(8);
    axis->setRange(1, longest);
    axis->setTitleText(QStringLiteral("step (log scale)"));
    axisX = axis;
  } else {
    auto* axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setRange(0, longest);
    axis->applyNiceNumbers();
    axis->setTitleText(QStringLiteral("step"));
    axisX = axis;
  }
  auto* axisY = new QValueAxis;
  axisY->setTitleText(QStringLiteral("mean free agents"));
  axisY->setLabelFormat(QStringLiteral("%d"));
  axisY->setRange(0, highest);
  axisY->applyNiceNumbers();
  chart->addAxis(axisX, Qt::AlignBottom);
  chart->addAxis(axisY, Qt::AlignLeft);

  for (const TPlotLine& line : lines) {
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("%1 agents, threshold %2").arg(line.Agents).arg(line.Threshold));
    QPen pen(LineColour(line.Combination));
    pen.setWidthF(3);
    const std::size_t cycle = line.Combination / 12;
    pen.setStyle(cycle == 0 ? Qt::SolidLine : cycle == 1 ? Qt::DashLine : Qt::DotLine);
    series->setPen(pen);

    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(line.Points.size()));
    for (const auto& [step, mean] : line.Points) points.append(QPointF(step, mean));
    // One replace() rather than an append() per point: each append redoes
    // the whole line's geometry.
    series->replace(points);
    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
  }

  QImage image = PaintScene(scene, *chart, size);
  if (plotArea != nullptr) *plotArea = chart->plotArea();
  return image;
}

QImage TSweepPlot::PaintScene(QGraphicsScene& scene, QChart& chart, QSize size) {
  chart.setGeometry(QRectF(QPointF(0, 0), size));
  chart.layout()->activate();
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
  }
  return image;
}

}  // namespace dla::tools
