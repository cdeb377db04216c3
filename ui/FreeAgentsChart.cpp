#include "FreeAgentsChart.h"

#include <QChart>
#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QIODevice>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "SeriesCsv.h"

namespace {

constexpr int AxisTicks = 5;
// Room Qt Charts leaves on each side of an axis label.
constexpr double LabelPadding = 5.0;

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

  // The view starts with a chart of its own and only lets go of it when
  // given another: it has no owner then.
  QChart* initial = QChartView::chart();
  setChart(chart);
  delete initial;
  setRenderHint(QPainter::Antialiasing, false);
  // A two-pixel frame, painted by PaintFrame.
  setFrameStyle(QFrame::Box | QFrame::Sunken);
  setLineWidth(1);
  setMidLineWidth(0);
  // The chart takes no part in keyboard navigation.
  setFocusPolicy(Qt::NoFocus);
  viewport()->setFocusPolicy(Qt::NoFocus);
  ApplyFont();

  clock_.start();
  Refresh();
}

void TFreeAgentsChart::SetSeries(const dla::TFreeAgentsSeries* series) {
  shown_ = series;
  changed_ = true;
}

QList<QPointF> TFreeAgentsChart::Points() const {
  QList<QPointF> points;
  if (shown_ == nullptr) return points;
  points.reserve(static_cast<qsizetype>(shown_->Count()));
  shown_->ForEach([&points](std::int32_t step, std::int32_t free) { points.append(QPointF(step, free)); });
  return points;
}

bool TFreeAgentsChart::WriteCsv(QIODevice& device) const {
  bool written = true;
  dla::tools::TSeriesCsv csv([&](std::string_view piece) {
    const auto size = static_cast<qint64>(piece.size());
    written = written && device.write(piece.data(), size) == size;
  });
  if (shown_ != nullptr) {
    shown_->ForEach([&csv](std::int32_t step, std::int32_t free) { csv.Add(step, free); });
  }
  csv.Flush();
  return written;
}

void TFreeAgentsChart::Refresh() {
  const qint64 start = clock_.nsecsElapsed();
  QList<QPointF> outline;
  if (shown_ != nullptr) {
    shown_->ForEachOutlinePoint(
        [&outline](std::int32_t step, std::int32_t free) { outline.append(QPointF(step, free)); });
  }
  series_->replace(outline);
  const double room = chart()->plotArea().width();
  if (shown_ == nullptr || shown_->Empty()) {
    FitAxis(axisX_, 0.0, 1.0, room);
    FitAxis(axisY_, 0.0, 1.0, 0.0);
  } else {
    FitAxis(axisX_, shown_->FirstStep(), shown_->FirstStep() + static_cast<double>(shown_->Count() - 1), room);
    FitAxis(axisY_, shown_->Lowest(), shown_->Highest(), 0.0);
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

bool TFreeAgentsChart::event(QEvent* event) {
  // The view's own paint event draws only its frame (the chart is on the
  // viewport); QFrame's shaded box draws its light lines in the window's
  // background colour, where they vanish.
  if (event->type() == QEvent::Paint) {
    PaintFrame();
    return true;
  }
  return QChartView::event(event);
}

void TFreeAgentsChart::PaintFrame() {
  QPainter painter(this);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor highlight = palette().color(QPalette::Button);
  const QRect r = rect();
  const auto bevel = [&painter](QRect box, const QColor& topLeft, const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(box.topLeft(), box.topRight());
    painter.drawLine(box.topLeft(), box.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomRight());
  };
  bevel(r, shadow, highlight);                            // outer, lowered
  bevel(r.adjusted(1, 1, -1, -1), highlight, shadow);     // inner, raised
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

void TFreeAgentsChart::FitAxis(QValueAxis* axis, double min, double max, double room) {
  if (!(max > min)) {
    min -= 1.0;
    max += 1.0;
  }
  const QFontMetrics metrics(axis->labelsFont());
  const QLocale locale = chart()->locale();
  const auto labelWidth = [&](double v) {
    return metrics.horizontalAdvance(locale.toString(v, 'f', 0));
  };
  for (int ticks = AxisTicks; ticks >= 2; --ticks) {
    axis->setTickCount(ticks);
    axis->setRange(min, max);
    axis->applyNiceNumbers();
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    if (step < 1.0 - 1e-9) {
      // The points are counts: a tick between two whole numbers would only
      // repeat a label or show a fraction no point has.
      const double low = std::floor(min);
      const double high = std::max(std::ceil(max), low + 1.0);
      axis->setRange(low, high);
      axis->setTickCount(static_cast<int>(high - low) + 1);
    }
    // Qt Charts gives each label the width of the axis over the tick count
    // and elides what does not fit.
    if (room <= 0.0) break;
    const int widest = std::max(labelWidth(axis->min()), labelWidth(axis->max()));
    if (widest + 2.0 * LabelPadding <= room / axis->tickCount()) break;
  }
  axis->setLabelFormat(QStringLiteral("%.0f"));
}
