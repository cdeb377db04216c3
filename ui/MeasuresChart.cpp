#include "MeasuresChart.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

TMeasuresChart::TMeasuresChart(QWidget* parent)
    : QChartView(parent), series_(new QLineSeries), axisX_(new QValueAxis), axisY_(new QValueAxis) {
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundBrush(Qt::white);
  series_->setPen(QPen(QColor(0, 0, 192), 1));
  chart->addSeries(series_);
  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  series_->attachAxis(axisX_);
  series_->attachAxis(axisY_);
  axisX_->setLabelFormat(QStringLiteral("%.0f"));
  axisY_->setLabelFormat(QStringLiteral("%.4g"));
  QChart* initial = QChartView::chart();
  setChart(chart);
  delete initial;
  clock_.start();
  SetChoice(0);
}

void TMeasuresChart::SetSeries(const dla::TMeasuresSeries* series) {
  shown_ = series;
  changed_ = true;
}

void TMeasuresChart::SetChoice(int choice) {
  choice_ = std::clamp(choice, 0, static_cast<int>(std::size(Choices)) - 1);
  chart()->setTitle(QString::fromLatin1(Choices[choice_].Name));
  changed_ = true;
}

void TMeasuresChart::Refresh() {
  const qint64 start = clock_.nsecsElapsed();
  // The steps at which the measure changed, each held level to the next.
  std::vector<QPointF> steps;
  const auto column = static_cast<std::size_t>(Choices[choice_].Column);
  if (shown_ != nullptr) {
    shown_->ForEachChange([&](std::int32_t step, const dla::TMeasureValues& values) {
      if (std::isnan(values[column])) return;
      if (!steps.empty()) steps.emplace_back(step, steps.back().y());
      steps.emplace_back(step, values[column]);
    });
  }
  // Bounded: of runs of points, the lowest and the highest, in order.
  QList<QPointF> points;
  const std::size_t width = std::max<std::size_t>(1, (steps.size() + MaxBuckets - 1) / MaxBuckets);
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (std::size_t first = 0; first < steps.size(); first += width) {
    const auto end = steps.begin() + static_cast<std::ptrdiff_t>(std::min(steps.size(), first + width));
    const auto begin = steps.begin() + static_cast<std::ptrdiff_t>(first);
    const auto [least, most] =
        std::minmax_element(begin, end, [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    points.append(least < most ? *least : *most);
    if (least != most) points.append(least < most ? *most : *least);
    low = std::min(low, least->y());
    high = std::max(high, most->y());
  }
  series_->replace(points);
  if (points.isEmpty()) {
    axisX_->setRange(0, 1);
    axisY_->setRange(0, 1);
  } else {
    const double first = points.first().x(), last = points.last().x();
    axisX_->setRange(first, last > first ? last : first + 1);
    axisY_->setRange(low, high > low ? high : low + 1);
    axisX_->applyNiceNumbers();
    axisY_->applyNiceNumbers();
  }
  changed_ = false;
  lastRefreshEnd_ = clock_.nsecsElapsed();
  lastRefreshCost_ = lastRefreshEnd_ - start;
  lastCost_ = lastRefreshCost_;
}

bool TMeasuresChart::RefreshIfDue() {
  if (!changed_ || !isVisible()) return false;
  // A chart of its own window costs a flush of that window as well: at
  // most five a second, which a measure that changes with the aggregates
  // needs no more than.
  const auto pause = std::max<qint64>(static_cast<qint64>(static_cast<double>(lastCost_) * (1.0 / TimeShare - 1.0)),
                                      MinPauseNs);
  if (clock_.nsecsElapsed() - lastRefreshEnd_ < pause) return false;
  Refresh();
  return true;
}

void TMeasuresChart::paintEvent(QPaintEvent* event) {
  const qint64 start = clock_.nsecsElapsed();
  QChartView::paintEvent(event);
  lastCost_ = lastRefreshCost_ + clock_.nsecsElapsed() - start;
}
