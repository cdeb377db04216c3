// The free-agents chart: a Qt Charts line chart of the number of free agents
// against the step number, with one red line series and value axes.
//
// Points are kept here, every one of them, as they are added, and handed to
// the Qt series in one piece by Refresh(). Qt's series recomputes the whole
// line on every change (an append costs O(points)), so feeding it step by
// step at a thousand steps a second would stall the window; whoever adds
// points calls RefreshIfDue() at the display's pace instead.
#pragma once

#include <QChartView>
#include <QElapsedTimer>
#include <QList>
#include <QPointF>

class QLineSeries;
class QValueAxis;

class TFreeAgentsChart : public QChartView {
  Q_OBJECT

 public:
  // Share of the time the chart may spend refreshing and painting itself
  // while a run goes on; RefreshIfDue() spaces refreshes to keep to it.
  static constexpr double TimeShare = 0.05;

  explicit TFreeAgentsChart(QWidget* parent = nullptr);

  // The line series, object name "Series1".
  QLineSeries* Series() const noexcept { return series_; }
  QValueAxis* AxisX() const noexcept { return axisX_; }
  QValueAxis* AxisY() const noexcept { return axisY_; }

  // Removes every point. The chart shows no line from the next refresh on.
  void Clear();

  // Adds the point (x, y) and returns its index: at the end when the chart
  // is empty or x is not below the last point's x; otherwise directly after
  // the last point whose x is at most x, so the points stay in ascending
  // order of x and points of equal x keep the order in which they came.
  int AddXY(double x, double y);

  // Every point added since the last Clear(), in order.
  const QList<QPointF>& Points() const noexcept { return points_; }

  // Hands the points to the series and fits the axes to them: each axis
  // spans its values (a single value v spans v - 1 to v + 1) widened to
  // round tick steps, its labels grouped in thousands with as many decimals
  // as the step needs, at most three.
  void Refresh();

  // Refresh() if anything changed since the last one and the chart has kept
  // within TimeShare since then (its last refresh and paint, measured, set
  // the pause before the next). Returns whether it refreshed.
  bool RefreshIfDue();

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The chart's texts follow the widget's font.
  void changeEvent(QEvent* event) override;

 private:
  void ApplyFont();
  static void FitAxis(QValueAxis* axis, double min, double max);

  QLineSeries* series_;
  QValueAxis* axisX_;
  QValueAxis* axisY_;
  QList<QPointF> points_;
  double minY_ = 0.0;
  double maxY_ = 0.0;
  bool changed_ = false;
  QElapsedTimer clock_;
  qint64 lastRefreshEnd_ = 0;   // ns on clock_
  qint64 lastRefreshCost_ = 0;  // ns
  qint64 lastPaintCost_ = 0;    // ns
};
