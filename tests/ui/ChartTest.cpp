#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <QGraphicsTextItem>
#include <algorithm>

#include "FreeAgentsChart.h"

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

  void pointsStayInAscendingOrderOfX_data() {
    QTest::addColumn<Points>("added");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<Points>("held");
    QTest::newRow("rising") << Points{{1, 9}, {2, 8}, {3, 7}} << QList<int>{0, 1, 2}
                            << Points{{1, 9}, {2, 8}, {3, 7}};
    QTest::newRow("falling") << Points{{3, 1}, {2, 2}} << QList<int>{0, 0}
                             << Points{{2, 2}, {3, 1}};
    QTest::newRow("equal x keeps arrival order")
        << Points{{2, 1}, {2, 2}} << QList<int>{0, 1} << Points{{2, 1}, {2, 2}};
    QTest::newRow("into the middle, after equals")
        << Points{{1, 1}, {3, 3}, {2, 2}, {2, 4}} << QList<int>{0, 1, 1, 2}
        << Points{{1, 1}, {2, 2}, {2, 4}, {3, 3}};
    QTest::newRow("before everything")
        << Points{{5, 5}, {6, 6}, {0, 0}} << QList<int>{0, 1, 0} << Points{{0, 0}, {5, 5}, {6, 6}};
  }
  void pointsStayInAscendingOrderOfX() {
    QFETCH(Points, added);
    QFETCH(QList<int>, indexes);
    QFETCH(Points, held);
    TFreeAgentsChart chart;
    QList<int> got;
    for (const QPointF& p : added) got.append(chart.AddXY(p.x(), p.y()));
    QCOMPARE(got, indexes);
    QCOMPARE(chart.Points(), held);
  }

  void refreshHandsABoundedOutlineOfEveryPointToTheSeries() {
    TFreeAgentsChart chart;
    Points expected;
    for (int step = 1; step <= 20000; ++step) {
      double free = 2000.0 - step / 10;
      if (step == 12345) free = 5000;  // one-step spike and dip: must show
      if (step == 777) free = -3;
      chart.AddXY(step, free);
      expected.append({double(step), free});
    }
    QCOMPARE(chart.Series()->count(), 0);
    chart.Refresh();
    QCOMPARE(chart.Points(), expected);
    const Points shown = chart.Series()->points();
    QVERIFY2(shown.size() <= 2 * TSeriesOutline::DefaultBuckets, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.size() >= TSeriesOutline::DefaultBuckets / 2);
    // Points of the series itself, in order, its extremes among them.
    qsizetype at = 0;
    for (const QPointF& p : shown) {
      while (at < expected.size() && expected[at] != p) ++at;
      QVERIFY2(at < expected.size(), "a point out of order or not in the series");
    }
    QVERIFY(shown.contains(QPointF(12345, 5000)));
    QVERIFY(shown.contains(QPointF(777, -3)));
    QVERIFY(chart.AxisX()->min() <= 1 && chart.AxisX()->max() >= 20000);
    QVERIFY(chart.AxisY()->min() <= -3 && chart.AxisY()->max() >= 5000);
    // Not wider than a round step past the data.
    QVERIFY(chart.AxisX()->max() <= 25000);
    QVERIFY(chart.AxisY()->max() <= 6000);
  }

  // Kept exactly, in a few bytes per point where a run's points are whole
  // numbers one step apart.
  void pointsAreKeptExactlyAndCompactly_data() {
    QTest::addColumn<Points>("added");
    QTest::addColumn<int>("maxBytes");
    Points flat, falling;
    for (int step = 1; step <= 1000; ++step) {
      flat.append({double(step), 10000});
      falling.append({double(step), 2000.0 - 2 * step});
    }
    QTest::newRow("no agent stops") << flat << 1003;
    QTest::newRow("agents stop") << falling << 1003;
    QTest::newRow("big, negative and fractional values")
        << Points{{0, 0},        {1, 2e15},   {2, -2e15}, {1e17, 1}, {1e17, 0.5},
                  {-0.25, 1e300}, {3, -7}} << 100;
  }
  void pointsAreKeptExactlyAndCompactly() {
    QFETCH(Points, added);
    QFETCH(int, maxBytes);
    TFreeAgentsChart chart;
    Points held = added;
    std::stable_sort(held.begin(), held.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    for (const QPointF& p : added) chart.AddXY(p.x(), p.y());
    QCOMPARE(chart.Points(), held);
    QVERIFY2(chart.Stored().Bytes() <= std::size_t(maxBytes),
             qPrintable(QString::number(chart.Stored().Bytes())));
  }

  void aSinglePointGetsARangeAroundIt() {
    TFreeAgentsChart chart;
    chart.AddXY(1, 2000);
    chart.Refresh();
    QVERIFY(chart.AxisX()->min() < 1 && chart.AxisX()->max() > 1);
    QVERIFY(chart.AxisY()->min() < 2000 && chart.AxisY()->max() > 2000);
  }

  void clearEmptiesTheLine() {
    TFreeAgentsChart chart;
    chart.AddXY(1, 5);
    chart.AddXY(2, 4);
    chart.Refresh();
    chart.Clear();
    QVERIFY(chart.Points().isEmpty());
    QCOMPARE(chart.Series()->count(), 2);
    chart.Refresh();
    QCOMPARE(chart.Series()->count(), 0);
    chart.AddXY(1, 7);
    chart.Refresh();
    QCOMPARE(chart.Series()->points(), (Points{{1, 7}}));
  }

  // The points are counts: ticks fall on whole numbers, labels carry no
  // decimals, and the labels of a long run fit between the ticks.
  void labelsAreWholeNumbersThatFit_data() {
    QTest::addColumn<Points>("points");
    QTest::newRow("empty") << Points{};
    QTest::newRow("one step") << Points{{1, 2000}};
    QTest::newRow("two steps") << Points{{1, 2000}, {2, 1999}};
    QTest::newRow("four steps") << Points{{1, 5}, {4, 2}};
    QTest::newRow("a long run") << Points{{1, 2000}, {9000, 0}};
    QTest::newRow("past 10,000 steps") << Points{{1, 10000}, {23456, 10000}};
    QTest::newRow("past 1,000,000 steps") << Points{{1, 10000}, {1234567, 10000}};
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
    for (const QPointF& p : points) chart.AddXY(p.x(), p.y());
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
    chart.Refresh();
    QVERIFY(!chart.RefreshIfDue());
    chart.AddXY(1, 1);
    // The pause before a refresh is due is a few times its measured cost.
    bool refreshed = false;
    QTRY_VERIFY(refreshed = refreshed || chart.RefreshIfDue());
    QCOMPARE(chart.Series()->count(), 1);
    QVERIFY(!chart.RefreshIfDue());
  }
};

QTEST_MAIN(ChartTest)
#include "ChartTest.moc"
