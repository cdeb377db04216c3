#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <QGraphicsTextItem>
#include <algorithm>

#include "FreeAgentsChart.h"
#include "RunDefaults.h"
#include "TFreeAgentsSeries.h"

using Points = QList<QPointF>;

class ChartTest : public QObject {
  Q_OBJECT

 private slots:
  void configuration() {
    TFreeAgentsChart chart;
    QCOMPARE(chart.chart()->title(), QStringLiteral("free agents"));
    QCOMPARE(chart.chart()->titleBrush().color(), QColor(Qt::black));
    QVERIFY(!chart.chart()->legend()->isVisible());
    QCOMPARE(chart.chart()->backgroundBrush().color(), QColor(Qt::white));
    QCOMPARE(chart.chart()->backgroundPen().style(), Qt::NoPen);
    QCOMPARE(chart.Series()->objectName(), QStringLiteral("Series1"));
    QCOMPARE(chart.Series()->color(), QColor(255, 0, 0));
    QVERIFY(!chart.Series()->pointsVisible());
    QVERIFY(!chart.Series()->pointLabelsVisible());
    QCOMPARE(chart.AxisX()->alignment(), Qt::AlignBottom);
    QCOMPARE(chart.AxisY()->alignment(), Qt::AlignLeft);
    QVERIFY(chart.chart()->localizeNumbers());
    QVERIFY(!(chart.chart()->locale().numberOptions() & QLocale::OmitGroupSeparator));
    QVERIFY(chart.Series()->points().isEmpty());
  }

  void refreshHandsABoundedOutlineOfEveryPointToTheSeries() {
    TFreeAgentsChart chart;
    dla::TFreeAgentsSeries series(dla::RunDefaults.OutlineBuckets);
    chart.SetSeries(&series);
    Points expected;
    for (int step = 1; step <= 20000; ++step) {
      int free = 2000 - step / 10;
      if (step == 12345) free = 5000;  // one-step spike and dip: must show
      if (step == 777) free = 0;
      series.Add(step, free);
      expected.append({double(step), double(free)});
    }
    QCOMPARE(chart.Series()->count(), 0);
    chart.Refresh();
    QCOMPARE(chart.Points(), expected);
    const Points shown = chart.Series()->points();
    const auto buckets = static_cast<qsizetype>(dla::RunDefaults.OutlineBuckets);
    QVERIFY2(shown.size() <= 2 * buckets, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.size() >= buckets / 2);
    // Points of the series itself, in order, its extremes among them.
    qsizetype at = 0;
    for (const QPointF& p : shown) {
      while (at < expected.size() && expected[at] != p) ++at;
      QVERIFY2(at < expected.size(), "a point out of order or not in the series");
    }
    QVERIFY(shown.contains(QPointF(12345, 5000)));
    QVERIFY(shown.contains(QPointF(777, 0)));
    QVERIFY(chart.AxisX()->min() <= 1 && chart.AxisX()->max() >= 20000);
    QVERIFY(chart.AxisY()->min() <= 0 && chart.AxisY()->max() >= 5000);
    // Not wider than a round step past the data.
    QVERIFY(chart.AxisX()->max() <= 25000);
    QVERIFY(chart.AxisY()->max() <= 6000);
  }

  void aSinglePointGetsARangeAroundIt() {
    TFreeAgentsChart chart;
    dla::TFreeAgentsSeries series;
    chart.SetSeries(&series);
    series.Add(1, 2000);
    chart.Refresh();
    QVERIFY(chart.AxisX()->min() < 1 && chart.AxisX()->max() > 1);
    QVERIFY(chart.AxisY()->min() < 2000 && chart.AxisY()->max() > 2000);
  }

  void clearEmptiesTheLine() {
    TFreeAgentsChart chart;
    dla::TFreeAgentsSeries series;
    chart.SetSeries(&series);
    series.Add(1, 5);
    series.Add(2, 4);
    chart.Refresh();
    series.Clear();
    QVERIFY(chart.Points().isEmpty());
    QCOMPARE(chart.Series()->count(), 2);
    chart.Refresh();
    QCOMPARE(chart.Series()->count(), 0);
    series.Add(1, 7);
    chart.Refresh();
    QCOMPARE(chart.Series()->points(), (Points{{1, 7}}));
    chart.SetSeries(nullptr);
    chart.Refresh();
    QCOMPARE(chart.Series()->count(), 0);
  }

  // The points are counts: ticks fall on whole numbers, labels carry no
  // decimals, and the labels of a long run fit between the ticks.
  void labelsAreWholeNumbersThatFit_data() {
    QTest::addColumn<Points>("points");
    QTest::newRow("empty") << Points{};
    QTest::newRow("one step") << Points{{1, 2000}};
    QTest::newRow("two steps") << Points{{1, 2000}, {2, 1999}};
    QTest::newRow("four steps") << Points{{1, 5}, {2, 4}, {3, 3}, {4, 2}};
    QTest::newRow("a long run") << Points{{1, 2000}, {9000, 0}};
    QTest::newRow("past 10,000 steps") << Points{{1, 10000}, {23456, 10000}};
    QTest::newRow("past 1,000,000 steps") << Points{{1, 10000}, {1234567, 10000}};
    QTest::newRow("from a saved step on") << Points{{1234500, 9000}, {1234567, 10000}};
  }
  void labelsAreWholeNumbersThatFit() {
    QFETCH(Points, points);
    TFreeAgentsChart chart;
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(10);
    chart.setFont(font);
    chart.resize(257, 187);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    // The steps between the points given: a straight line.
    dla::TFreeAgentsSeries series(dla::RunDefaults.OutlineBuckets);
    for (qsizetype i = 0; i < points.size(); ++i) {
      const QPointF from = points[i], to = i + 1 < points.size() ? points[i + 1] : from;
      for (int step = int(from.x()); step < int(to.x()) || step == int(from.x()); ++step) {
        series.Add(step, int(from.y() + (to.y() - from.y()) * (step - from.x()) / std::max(1.0, to.x() - from.x())));
      }
    }
    chart.SetSeries(&series);
    chart.Refresh();
    chart.Refresh();  // the second with the plot area laid out for the first
    QCoreApplication::processEvents();
    for (QValueAxis* axis : {chart.AxisX(), chart.AxisY()}) {
      QCOMPARE(axis->labelFormat(), QStringLiteral("%.0f"));
      const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
      QVERIFY2(step >= 1 && step == std::round(step), qPrintable(QString::number(step)));
      QCOMPARE(axis->min(), std::round(axis->min()));
    }
    // Qt Charts cuts a label that does not fit and ends it with "...".
    const QList<QGraphicsItem*> items = chart.scene()->items();
    for (QGraphicsItem* item : items) {
      if (auto* text = dynamic_cast<QGraphicsTextItem*>(item))
        QVERIFY2(!text->toPlainText().contains(QStringLiteral("...")), qPrintable(text->toPlainText()));
    }
  }

  void refreshIfDueOnlyWhenSomethingChanged() {
    TFreeAgentsChart chart;
    dla::TFreeAgentsSeries series;
    chart.SetSeries(&series);
    chart.Refresh();
    QVERIFY(!chart.RefreshIfDue());
    series.Add(1, 1);
    chart.SeriesChanged();
    // The pause before a refresh is due is a few times its measured cost.
    bool refreshed = false;
    QTRY_VERIFY(refreshed = refreshed || chart.RefreshIfDue());
    QCOMPARE(chart.Series()->count(), 1);
    QVERIFY(!chart.RefreshIfDue());
  }
};

QTEST_MAIN(ChartTest)
#include "ChartTest.moc"
