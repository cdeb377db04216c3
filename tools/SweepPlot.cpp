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
#include <cmath>
#include <memory>

namespace dla::tools {

TSweepPlot::TSweepPlot(const TSweepPlan& plan)
    : plan_(plan), sums_(plan.CombinationCount()), runs_(plan.CombinationCount(), 0) {}

void TSweepPlot::Add(std::size_t combination, const std::vector<std::int32_t>& freeAgents) {
  auto& sums = sums_.at(combination);
  if (sums.size() < freeAgents.size()) sums.resize(freeAgents.size(), 0);
  for (std::size_t i = 0; i < freeAgents.size(); ++i) sums[i] += freeAgents[i];
  ++runs_[combination];
}

std::vector<double> TSweepPlot::Mean(std::size_t combination) const {
  const auto& sums = sums_.at(combination);
  const std::uint64_t runs = runs_.at(combination);
  std::vector<double> mean;
  if (runs == 0) return mean;
  mean.reserve(sums.size());
  for (const std::int64_t sum : sums) {
    mean.push_back(static_cast<double>(sum) / static_cast<double>(runs));
  }
  return mean;
}

std::vector<std::size_t> TSweepPlot::SampledSteps(std::size_t count, std::size_t maxPoints) {
  std::vector<std::size_t> steps;
  if (count == 0) return steps;
  if (count <= maxPoints) {
    for (std::size_t i = 0; i < count; ++i) steps.push_back(i);
    return steps;
  }
  // Half the points evenly spaced (for a linear step axis), half spaced
  // geometrically (for a logarithmic one), both ends kept.
  const std::size_t half = std::max<std::size_t>(2, maxPoints / 2);
  for (std::size_t k = 0; k < half; ++k) steps.push_back(k * (count - 1) / (half - 1));
  const double ratio = std::pow(static_cast<double>(count), 1.0 / static_cast<double>(half - 1));
  double position = 1;
  for (std::size_t k = 0; k < half; ++k, position *= ratio) {
    steps.push_back(std::min(count - 1, static_cast<std::size_t>(position) - 1));
  }
  std::sort(steps.begin(), steps.end());
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  return steps;
}

QColor TSweepPlot::LineColour(std::size_t combination) {
  static constexpr std::array<QRgb, 12> palette{
      0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b,
      0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf, 0x000080, 0x00ff7f};
  return QColor(palette[combination % palette.size()]);
}

QImage TSweepPlot::Render(QSize size, QRectF* plotArea) const {
  // The scene owns the chart, the chart its series and axes.
  QGraphicsScene scene;
  auto* chart = new QChart;
  scene.addItem(chart);
  chart->setTitle(QStringLiteral("Mean number of free agents per step"));
  chart->setBackgroundRoundness(0);
  chart->legend()->setVisible(true);
  chart->legend()->setAlignment(Qt::AlignRight);

  QFont titleFont = chart->titleFont();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
  titleFont.setBold(true);
  chart->setTitleFont(titleFont);

  std::vector<std::vector<double>> means;
  std::size_t longest = 1;
  std::size_t shortest = SIZE_MAX;
  double highest = 1;
  for (std::size_t c = 0; c < sums_.size(); ++c) {
    means.push_back(Mean(c));
    if (runs_[c] == 0 || means.back().empty()) continue;
    longest = std::max(longest, means.back().size());
    shortest = std::min(shortest, means.back().size());
    highest = std::max(highest, means.back().front());
  }
  const bool logSteps = shortest != SIZE_MAX && longest > 10 * shortest;

  QAbstractAxis* axisX;
  if (logSteps) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setMinorTickCount(8);
    axis->setRange(1, static_cast<double>(longest));
    axis->setTitleText(QStringLiteral("step (log scale)"));
    axisX = axis;
  } else {
    auto* axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setRange(0, static_cast<double>(longest));
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

  for (std::size_t c = 0; c < sums_.size(); ++c) {
    if (runs_[c] == 0) continue;
    const std::vector<double>& mean = means[c];
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("%1 agents, threshold %2")
                        .arg(plan_.CombinationAgents(c))
                        .arg(plan_.CombinationThreshold(c)));
    QPen pen(LineColour(c));
    pen.setWidthF(3);
    const std::size_t cycle = c / 12;
    pen.setStyle(cycle == 0 ? Qt::SolidLine : cycle == 1 ? Qt::DashLine : Qt::DotLine);
    series->setPen(pen);

    QList<QPointF> points;
    for (const std::size_t i : SampledSteps(mean.size(), MaxPointsPerLine)) {
      points.append(QPointF(static_cast<double>(i + 1), mean[i]));
    }
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
