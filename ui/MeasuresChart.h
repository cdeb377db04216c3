// A chart of one of the aggregates' measures over the steps of a run (its
// TMeasuresSeries), shown beside the window in a small window of its own so
// that the laid-out window stays as it is. The measures change only when
// cells aggregate, so the chart draws the steps at which they changed, held
// level between them, and at most 2 * MaxBuckets points of them however
// long the run: of runs of changes, the lowest and the highest.
#pragma once

#include <QChartView>
#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QString>

#include "TMeasuresSeries.h"

class QLineSeries;
class QValueAxis;

class TMeasuresChart : public QChartView {
  Q_OBJECT

 public:
  static constexpr double TimeShare = 0.05;
  static constexpr int MaxBuckets = 1024;
  static constexpr qint64 MinPauseNs = 200'000'000;

  // The measures a user may choose, by column of TMeasureValues, with the
  // names the chart is titled by.
  struct TChoice {
    int Column;
    const char* Name;
  };
  static constexpr TChoice Choices[] = {
      {0, "clusters"}, {1, "largest cluster"}, {3, "radius of gyration"}, {4, "dimension"}};

  explicit TMeasuresChart(QWidget* parent = nullptr);

  // The series shown (none: an empty chart), which must outlive the chart
  // or be replaced first, and the measure, an index into Choices.
  void SetSeries(const dla::TMeasuresSeries* series);
  void SetChoice(int choice);
  int Choice() const noexcept { return choice_; }
  // The series has changed: the next RefreshIfDue() refreshes.
  void SeriesChanged() noexcept { changed_ = true; }

  QLineSeries* Series() const noexcept { return series_; }
  // Hands the series the points and fits the axes to them.
  void Refresh();
  // Refresh() if something changed, the chart is shown and it has kept
  // within TimeShare, and at most every MinPauseNs.
  bool RefreshIfDue();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLineSeries* series_;
  QValueAxis* axisX_;
  QValueAxis* axisY_;
  const dla::TMeasuresSeries* shown_ = nullptr;
  int choice_ = 0;
  bool changed_ = true;
  QElapsedTimer clock_;
  qint64 lastRefreshEnd_ = 0;
  qint64 lastRefreshCost_ = 0;
  // The last refresh and paint.
  qint64 lastCost_ = 0;
};
