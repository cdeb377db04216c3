#include "FreeAgentsChart.h"

#include <QChart>
#include <QEvent>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

constexpr int AxisTicks = 5;

}  // namespace

TFreeAgentsChart::TFreeAgentsChart(QWidget* parent)
    : QChartView(parent), series_(new QLineSeries), axisX_(new QValueAxis), axisY_(new QValueAxis) {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("free agents"));
  chart->setTitleBrush(Qt::black);
  chart->legend()->hide();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundPen(Qt::NoPen);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setMargins(QMargins(2, 2, 8, 2));
  chart->layout()->setContentsMargins(0, 0, 0, 0);

  // Labels go through QLocale, which groups thousands; only the precision
  // comes from the axes' label formats then.
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  chart->setLocale(locale);
  chart->setLocalizeNumbers(true);

  series_->setObjectName(QStringLiteral("Series1"));
  QPen line(QColor(255, 0, 0));
  line.setWidth(1);
  series_->setPen(line);
  series_->setPointsVisible(false);
  series_->setPointLabelsVisible(false);
  chart->addSeries(series_);

  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  series_->attachAxis(axisX_);
  series_->attachAxis(axisY_);
  for (QValueAxis* axis : {axisX_, axisY_}) {
    axis->setLabelsColor(Qt::black);
    axis->setGridLineColor(QColor(0xD8, 0xD8, 0xD8));
    axis->setLinePenColor(Qt::black);
  }

  setChart(chart);
  setRenderHint(QPainter::Antialiasing, false);
  setFrameStyle(QFrame::Box | QFrame::Sunken);
  setLineWidth(1);
  // The chart takes no part in keyboard navigation.
  setFocusPolicy(Qt::NoFocus);
  viewport()->setFocusPolicy(Qt::NoFocus);
  ApplyFont();

  clock_.start();
  Refresh();
}

void TFreeAgentsChart::Clear() {
  points_.clear();
  minY_ = maxY_ = 0.0;
  changed_ = true;
}

int TFreeAgentsChart::AddXY(double x, double y) {
  if (points_.isEmpty()) {
    minY_ = maxY_ = y;
  } else {
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
  }
  changed_ = true;
  qsizetype at = points_.size();
  while (at > 0 && points_[at - 1].x() > x) --at;
  points_.insert(at, QPointF(x, y));
  return static_cast<int>(at);
}

void TFreeAgentsChart::Refresh() {
  const qint64 start = clock_.nsecsElapsed();
  // The series shares the list until the next AddXY detaches it: one copy
  // per refresh, not per point.
  series_->replace(points_);
  if (points_.isEmpty()) {
    FitAxis(axisX_, 0.0, 1.0);
    FitAxis(axisY_, 0.0, 1.0);
  } else {
    FitAxis(axisX_, points_.front().x(), points_.back().x());
    FitAxis(axisY_, minY_, maxY_);
  }
  changed_ = false;
  lastRefreshEnd_ = clock_.nsecsElapsed();
  lastRefreshCost_ = lastRefreshEnd_ - start;
}

bool TFreeAgentsChart::RefreshIfDue() {
  if (!changed_) return false;
  const double cost = static_cast<double>(lastRefreshCost_ + lastPaintCost_);
  const auto pause = static_cast<qint64>(cost * (1.0 / TimeShare - 1.0));
  if (clock_.nsecsElapsed() - lastRefreshEnd_ < pause) return false;
  Refresh();
  return true;
}

void TFreeAgentsChart::paintEvent(QPaintEvent* event) {
  const qint64 start = clock_.nsecsElapsed();
  QChartView::paintEvent(event);
  lastPaintCost_ = clock_.nsecsElapsed() - start;
}

void TFreeAgentsChart::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) ApplyFont();
  QChartView::changeEvent(event);
}

void TFreeAgentsChart::ApplyFont() {
  chart()->setTitleFont(font());
  axisX_->setLabelsFont(font());
  axisY_->setLabelsFont(font());
}

void TFreeAgentsChart::FitAxis(QValueAxis* axis, double min, double max) {
  if (!(max > min)) {
    min -= 1.0;
    max += 1.0;
  }
  axis->setTickCount(AxisTicks);
  axis->setRange(min, max);
  axis->applyNiceNumbers();
  // Ticks are multiples of the step, so the step's decimals are all the
  // labels need.
  const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
  int decimals = 0;
  double scaled = step;
  while (decimals < 3 && std::abs(scaled - std::round(scaled)) > 1e-9 * std::max(1.0, scaled)) {
    scaled *= 10.0;
    ++decimals;
  }
  axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}
