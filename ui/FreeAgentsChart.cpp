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

void TFreeAgentsChart::Clear() {
  points_.Clear();
  outline_.Clear();
  minY_ = maxY_ = 0.0;
  changed_ = true;
}

int TFreeAgentsChart::AddXY(double x, double y) {
  if (points_.IsEmpty()) {
    minY_ = maxY_ = y;
  } else {
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
  }
  changed_ = true;
  const qsizetype at = points_.Add(x, y);
  if (at == 0) firstX_ = x;
  if (at == points_.Count() - 1) {
    outline_.Add(QPointF(x, y));
  } else {
    outline_.Clear();
    TCompactSeries::Reader reader(points_);
    for (QPointF p; reader.Next(p);) outline_.Add(p);
  }
  return static_cast<int>(at);
}

bool TFreeAgentsChart::WriteCsv(QIODevice& device) const {
  bool written = true;
  dla::tools::TSeriesCsv csv([&](std::string_view piece) {
    const auto size = static_cast<qint64>(piece.size());
    written = written && device.write(piece.data(), size) == size;
  });
  TCompactSeries::Reader reader(points_);
  for (QPointF p; reader.Next(p);) csv.Add(p.x(), p.y());
  csv.Flush();
  return written;
}

void TFreeAgentsChart::Refresh() {
  const qint64 start = clock_.nsecsElapsed();
  series_->replace(outline_.Points());
  const double room = chart()->plotArea().width();
  if (points_.IsEmpty()) {
    FitAxis(axisX_, 0.0, 1.0, room);
    FitAxis(axisY_, 0.0, 1.0, 0.0);
  } else {
    FitAxis(axisX_, firstX_, points_.LastX(), room);
    FitAxis(axisY_, minY_, maxY_, 0.0);
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
