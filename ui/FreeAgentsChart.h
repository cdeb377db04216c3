// The free-agents chart: a Qt Charts line chart of the number of free agents
// against the step number, with one red line series and value axes.
//
// It shows a run's series (TFreeAgentsSeries), which keeps every point of
// the run compactly. Qt's series recomputes its whole line on every change
// (an append costs O(points)), so it gets neither every point nor every
// change: Refresh() hands it the series' outline (at most a few thousand
// points however long the run), and whoever adds points calls
// SeriesChanged() and then RefreshIfDue() at the display's pace.
#pragma once

#include <QChartView>
#include <QElapsedTimer>
#include <QList>
#include <QPointF>

#include "TFreeAgentsSeries.h"

class QIODevice;
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

  // The series the chart shows, which must outlive the chart or be
  // replaced first (none: an empty chart). Changed from the next refresh on.
  void SetSeries(const dla::TFreeAgentsSeries* series);
  // The series has changed (points added, or emptied): the next
  // RefreshIfDue() refreshes.
  void SeriesChanged() noexcept { changed_ = true; }

  // Every point of the series, in order (a copy).
  QList<QPointF> Points() const;

  // Writes the points as dla-batch prints a run's series (TSeriesCsv).
  // Returns false if the device failed to take it.
  bool WriteCsv(QIODevice& device) const;

  // Hands the outline of the points to the series and fits the axes to the
  // points: each axis spans its values (a single value v spans v - 1 to
  // v + 1) widened to round tick steps, whole-number steps at least, so its
  // labels are whole numbers, grouped in thousands; the x axis has fewer
  // ticks where its labels would not fit between them.
  void Refresh();

  // Refresh() if anything changed since the last one and the chart has kept
  // within TimeShare since then (its last refresh and paint, measured, set
  // the pause before the next). Returns whether it refreshed.
  bool RefreshIfDue();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // The chart's texts follow the widget's font.
  void changeEvent(QEvent* event) override;

 private:
  void ApplyFont();
  // The frame: a lowered outer and a raised inner bevel, one pixel each.
  void PaintFrame();
  // Fits the axis to [min, max] with whole-number ticks; room is the axis'
  // length in pixels for labels laid side by side (0: labels stacked, no
  // limit), for which the tick count goes down until the labels fit.
  void FitAxis(QValueAxis* axis, double min, double max, double room);

  QLineSeries* series_;
  QValueAxis* axisX_;
  QValueAxis* axisY_;
  const dla::TFreeAgentsSeries* shown_ = nullptr;
  bool changed_ = false;
  QElapsedTimer clock_;
  qint64 lastRefreshEnd_ = 0;   // ns on clock_
  qint64 lastRefreshCost_ = 0;  // ns
  qint64 lastPaintCost_ = 0;    // ns
};
