#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

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

  void refreshHandsEveryPointToTheSeriesAndFitsTheAxes() {
    TFreeAgentsChart chart;
    Points expected;
    for (int step = 1; step <= 20000; ++step) {
      const double free = 2000.0 - step / 10;
      chart.AddXY(step, free);
      expected.append({double(step), free});
    }
    QCOMPARE(chart.Series()->count(), 0);
    chart.Refresh();
    QCOMPARE(chart.Series()->points(), expected);
    QVERIFY(chart.AxisX()->min() <= 1 && chart.AxisX()->max() >= 20000);
    QVERIFY(chart.AxisY()->min() <= 0 && chart.AxisY()->max() >= 2000);
    // Not wider than a round step past the data.
    QVERIFY(chart.AxisX()->max() <= 25000);
    QVERIFY(chart.AxisY()->max() <= 2500);
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

  void labelsCarryAsManyDecimalsAsTheTickStepNeeds_data() {
    QTest::addColumn<Points>("points");
    QTest::addColumn<QString>("xFormat");
    QTest::addColumn<QString>("yFormat");
    QTest::newRow("a long run") << Points{{1, 2000}, {9000, 0}} << "%.0f"
                                << "%.0f";
    QTest::newRow("one step") << Points{{1, 2000}} << "%.1f"
                              << "%.1f";
    QTest::newRow("two steps") << Points{{1, 2000}, {2, 1999}} << "%.1f"
                               << "%.1f";
  }
  void labelsCarryAsManyDecimalsAsTheTickStepNeeds() {
    QFETCH(Points, points);
    QFETCH(QString, xFormat);
    QFETCH(QString, yFormat);
    TFreeAgentsChart chart;
    for (const QPointF& p : points) chart.AddXY(p.x(), p.y());
    chart.Refresh();
    QCOMPARE(chart.AxisX()->labelFormat(), xFormat);
    QCOMPARE(chart.AxisY()->labelFormat(), yFormat);
    const double step =
        (chart.AxisX()->max() - chart.AxisX()->min()) / (chart.AxisX()->tickCount() - 1);
    const int decimals = xFormat.mid(2, 1).toInt();
    QVERIFY(std::abs(step * std::pow(10, decimals) - std::round(step * std::pow(10, decimals))) <
            1e-9);
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
