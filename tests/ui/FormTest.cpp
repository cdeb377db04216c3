#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QClipboard>
#include <QGroupBox>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "CellForm.h"
#include "DrawingImage.h"
#include "FreeAgentsChart.h"
#include "IntegerText.h"
#include "MeasuresChart.h"
#include "MovieRecorder.h"
#include "UsageError.h"
#include "Recorder.h"
#include "Render.h"
#include "Rendered.h"
#include "TCanvas.h"
#include "TWorld.h"
#include "UpDown.h"

using Points = QList<QPointF>;

namespace {

// A window with its error display, its boxes recorded.
struct TWindow {
  explicit TWindow(const TWindowOptions& options = {}) : Form(Errors, options) {}
  TBoxRecorder Recorder;
  TErrorDisplay Errors{Recorder.Presenter()};
  TForm1 Form;

  // Stops the timer so that the test runs each step itself.
  TWindow& Stopped() {
    Form.B_stopClick();
    return *this;
  }
  int Free() const {
    return static_cast<int>(Form.World().AgentCount()) - Form.World().StuckAgents();
  }
};

// The chart's points as the window exports them.
QByteArray Csv(const TFreeAgentsChart& chart) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  chart.WriteCsv(buffer);
  return buffer.data();
}

QWidget* Child(QWidget* root, const QString& name) { return root->findChild<QWidget*>(name); }

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The widgets that Tab visits, in order, starting from `first`.
QStringList TabCycle(QWidget* first) {
  QStringList names;
  QWidget* widget = first;
  do {
    if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled()) {
      names << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != first && names.size() < 50);
  return names;
}

}  // namespace

class FormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

  void layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("ZeichenPanel") << "ZeichenPanel"
                                  << "Panel1" << QRect(6, 6, 404, 404) << "";
    QTest::newRow("B_reset") << "B_reset"
                             << "Panel1" << QRect(473, 6, 161, 25)
                             << QString::fromUtf8("alle Werte zurücksetzen");
    QTest::newRow("GroupBox1") << "GroupBox1"
                               << "Panel1" << QRect(416, 40, 257, 129) << "setup settings";
    QTest::newRow("GroupBox2") << "GroupBox2"
                               << "Panel1" << QRect(416, 175, 257, 41) << "timesteps";
    QTest::newRow("Chart1") << "Chart1"
                            << "Panel1" << QRect(416, 223, 257, 187) << "";
    QTest::newRow("B_setup") << "B_setup"
                             << "GroupBox1" << QRect(57, 22, 75, 25) << "new Setup";
    QTest::newRow("B_stop") << "B_stop"
                            << "GroupBox1" << QRect(143, 22, 75, 25) << "start / stop";
    QTest::newRow("Edit_anzAg") << "Edit_anzAg"
                                << "GroupBox1" << QRect(16, 56, 41, 20) << "2,000";
    QTest::newRow("UpD_anzAg") << "UpD_anzAg"
                               << "GroupBox1" << QRect(57, 56, 16, 20) << "";
    QTest::newRow("Edit_thresh") << "Edit_thresh"
                                 << "GroupBox1" << QRect(16, 88, 41, 20) << "6";
    QTest::newRow("UpDown1") << "UpDown1"
                             << "GroupBox1" << QRect(57, 88, 16, 20) << "";
    QTest::newRow("DrawingImage") << "DrawingImage"
                                  << "ZeichenPanel" << QRect(0, 0, 404, 404) << "";
  }
  void layout() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    TWindow window;
    QWidget* widget = Child(&window.Form, name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(), geometry);
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(widget)) shown = button->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget)) shown = box->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
    QCOMPARE(shown, text);
  }

  void labels_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("topLeft");
    QTest::addColumn<int>("layoutWidth");
    QTest::addColumn<QString>("text");
    QTest::newRow("agents") << "Lbl_TextAnzahl" << QPoint(80, 60) << 129
                            << ": number of agents for setup";
    QTest::newRow("threshold") << "Lbl_TextSwelle" << QPoint(80, 92) << 122
                               << ": threshold for aggregation";
  }
  void labels() {
    QFETCH(QString, name);
    QFETCH(QPoint, topLeft);
    QFETCH(int, layoutWidth);
    QFETCH(QString, text);
    TWindow window;
    auto* label = window.Form.findChild<QLabel*>(name);
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), window.Form.GroupBox1);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->pos(), topLeft);
    QVERIFY(label->width() >= layoutWidth);
    QVERIFY(label->width() >= label->sizeHint().width());
  }

  void windowAndComponents() {
    TWindow window;
    TForm1& form = window.Form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Diffusion Aggregation Model "));
    QCOMPARE(form.font().pixelSize(), 10);
    // Debian's Tahoma lies outside fontconfig's folders; the window loads it.
    if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
      QCOMPARE(QFontInfo(form.font()).family(), QStringLiteral("Tahoma"));
    QVERIFY(form.windowState() & Qt::WindowMaximized);
    QCOMPARE(form.Panel1->size(), QSize(684, 420));
    QCOMPARE(form.Panel1->parentWidget(), &form);
    QCOMPARE(form.findChild<QTimer*>(QStringLiteral("Timer1")), form.Timer1);
    QCOMPARE(form.Series1, form.Chart1->Series());
    QCOMPARE(form.Series1->objectName(), QStringLiteral("Series1"));
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 1);
    QCOMPARE(form.Timer1->timerType(), Qt::PreciseTimer);
    QCOMPARE(form.lbl_Steps->text(), QStringLiteral("lbl_Steps"));
    QCOMPARE(form.lbl_Steps->geometry().right() + 1, 137);
    QCOMPARE(form.lbl_Steps->y(), 16);
    QVERIFY(form.Chart1->Points().isEmpty());
    QVERIFY(form.Series1->points().isEmpty());

    const dla::TWorld& world = form.World();
    QCOMPARE(world.GridColumns(), 135);
    QCOMPARE(world.GridRows(), 135);
    QCOMPARE(world.StepCount(), 0);
    QCOMPARE(world.AgentCount(), std::size_t{2000});
    QCOMPARE(form.DrawingImage->Picture().size(), QSize(404, 404));
  }

  void spinControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("increment");
    QTest::addColumn<int>("position");
    QTest::newRow("agents") << "UpD_anzAg"
                            << "Edit_anzAg" << 1 << 10000 << 100 << 2000;
    QTest::newRow("threshold") << "UpDown1"
                               << "Edit_thresh" << 2 << 10 << 1 << 6;
  }
  void spinControls() {
    QFETCH(QString, name);
    QFETCH(QString, edit);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, increment);
    QFETCH(int, position);
    TWindow window;
    auto* spin = window.Form.findChild<TUpDown*>(name);
    QVERIFY(spin);
    QCOMPARE(spin->Associate()->objectName(), edit);
    QCOMPARE(spin->Minimum(), min);
    QCOMPARE(spin->Maximum(), max);
    QCOMPARE(spin->Increment(), increment);
    QCOMPARE(spin->Position(), position);
  }

  void tabVisitsEditsAndButtonsOnly() {
    TWindow window;
    QCOMPARE(TabCycle(window.Form.B_reset),
             (QStringList{"B_reset", "Edit_thresh", "Edit_anzAg", "B_setup", "B_stop"}));
  }

  void stepsShowOnTheLabelAndTheChart() {
    TWindow window;
    window.Stopped();
    TForm1& form = window.Form;
    Points expected;
    for (int step = 1; step <= 3; ++step) {
      const int free = window.Free();
      form.Timer1Timer();
      expected.append({double(step), double(free)});
      QCOMPARE(form.World().StepCount(), step);
      QCOMPARE(form.Chart1->Points(), expected);
      QTRY_COMPARE(form.lbl_Steps->text(), QString::number(step));
      // The frame draws the picture after the step.
      QTRY_COMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    }
    QCOMPARE(expected.first(), QPointF(1, 2000));
    QTRY_COMPARE(form.Series1->points(), expected);
    QCOMPARE(form.lbl_Steps->geometry().right() + 1, 137);
  }

  void newSetupWhileRunning() {
    TWindow window;
    window.Stopped();
    TForm1& form = window.Form;
    form.Edit_thresh->setText(QStringLiteral("2"));
    for (int i = 0; i < 30; ++i) form.Timer1Timer();
    QVERIFY(form.World().AggregatedCells() > 0);
    QTRY_COMPARE(form.lbl_Steps->text(), QStringLiteral("30"));

    // Running again, but no tick comes before the click: the test does not
    // return to the event loop in between.
    form.B_stopClick();
    QTest::mouseClick(form.B_setup, Qt::LeftButton);
    QVERIFY(form.Timer1->isActive());
    form.B_stopClick();
    QCOMPARE(form.World().StepCount(), 0);
    QCOMPARE(form.World().AggregatedCells(), 0);
    QCOMPARE(form.World().StuckAgents(), 0);
    QCOMPARE(form.World().AgentCount(), std::size_t{2000});
    QVERIFY(form.Chart1->Points().isEmpty());
    QTRY_VERIFY(form.Series1->points().isEmpty());
    QCOMPARE(form.lbl_Steps->text(), QStringLiteral("30"));

    form.Timer1Timer();
    QTRY_COMPARE(form.lbl_Steps->text(), QStringLiteral("1"));
    QCOMPARE(form.Chart1->Points(), (Points{{1, 2000}}));
  }

  void newSetupWhileStopped() {
    TWindow window;
    window.Stopped();
    TForm1& form = window.Form;
    for (int i = 0; i < 5; ++i) form.Timer1Timer();
    QTRY_COMPARE(form.lbl_Steps->text(), QStringLiteral("5"));

    form.B_setupClick();
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(form.World().StepCount(), 0);
    // The chart's refresh pacing may postpone the clear by several frames on
    // a loaded or instrumented machine: wait for it, not for a frame count.
    QTRY_VERIFY_WITH_TIMEOUT(form.Series1->points().isEmpty(), 5000);
    QCOMPARE(form.lbl_Steps->text(), QStringLiteral("5"));
    // The new population's dots on open cells.
    QCOMPARE(form.World().LastChange(), dla::TWorld::TChange::AgentsPlaced);
    QTRY_COMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    const QImage& picture = form.DrawingImage->Picture();
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) red += picture.pixel(x, y) == qRgb(255, 0, 0);
    QVERIFY(red > 0);

    form.B_stopClick();
    QTRY_VERIFY(form.World().StepCount() > 0);
    QTRY_COMPARE(form.Chart1->Points().value(0), QPointF(1, 2000));
  }

  void resettingTheValuesDuringARun() {
    TWindow window;
    TForm1& form = window.Form;
    form.Edit_anzAg->setText(QStringLiteral("150"));
    form.Edit_thresh->setText(QStringLiteral("abc"));
    QVERIFY_THROWS_EXCEPTION(dla::EConvertError, form.Timer1Timer());
    form.Edit_thresh->setText(QStringLiteral("20"));
    form.Timer1Timer();
    form.Timer1Timer();

    QTest::mouseClick(form.B_reset, Qt::LeftButton);
    QCOMPARE(form.Edit_anzAg->text(), QStringLiteral("2000"));
    QCOMPARE(form.Edit_thresh->text(), QStringLiteral("6"));
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.World().StepCount(), 2);
    QCOMPARE(form.Chart1->Points().size(), 2);
    QCOMPARE(form.World().AgentCount(), std::size_t{2000});
    form.Timer1Timer();
    QCOMPARE(form.World().StepCount(), 3);
  }

  void aBadThresholdFailsEveryTickWithOneBoxAtATime_data() {
    QTest::addColumn<int>("interval");
    QTest::newRow("full") << 1;
    QTest::newRow("fastest") << TForm1::FastestIntervalMs;
  }
  void aBadThresholdFailsEveryTickWithOneBoxAtATime() {
    QFETCH(int, interval);
    TWindow window;
    TForm1& form = window.Form;
    form.SetSpeed(interval);
    form.Edit_thresh->setText(QStringLiteral("abc"));
    window.Recorder.OpenMs = 100;  // ticks go on while the box is open
    QTRY_COMPARE(window.Recorder.Boxes.size(), 1);
    QTest::qWait(200);
    QCOMPARE(window.Recorder.Boxes.size(), 1);
    QCOMPARE(window.Recorder.Boxes[0].Text, QStringLiteral("'abc' is not a valid integer value."));
    QVERIFY2(window.Errors.Dropped() > 5, qPrintable(QString::number(window.Errors.Dropped())));
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.World().StepCount(), 0);
    QVERIFY(form.Chart1->Points().isEmpty());
    QCOMPARE(form.lbl_Steps->text(), QStringLiteral("lbl_Steps"));

    // A good text lets the run go on (one that never ends it); a bad one
    // later opens a box again.
    form.Edit_thresh->setText(QStringLiteral("-1"));
    QTRY_VERIFY(form.World().StepCount() > 0);
    form.Edit_thresh->setText(QStringLiteral("abc"));
    QTRY_COMPARE(window.Recorder.Boxes.size(), 2);
  }

  void thresholdTextsAsTheTickReadsThem_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("6") << "6" << true;
    QTest::newRow("outside the spin range") << "20" << true;
    QTest::newRow("trailing blank") << "6 " << false;
    QTest::newRow("grouped as the spin control writes") << "1,000" << false;
    QTest::newRow("empty") << "" << false;
  }
  void thresholdTextsAsTheTickReadsThem() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TWindow window;
    window.Stopped();
    window.Form.Edit_thresh->setText(text);
    if (accepted) {
      window.Form.Timer1Timer();
      QCOMPARE(window.Form.World().StepCount(), 1);
    } else {
      try {
        window.Form.Timer1Timer();
        QFAIL("the tick accepted the text");
      } catch (const dla::EConvertError& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("'%1' is not a valid integer value").arg(text));
      }
      QCOMPARE(window.Form.World().StepCount(), 0);
    }
  }

  void thresholdZeroEndsTheRunAtStepTwoAndEachRestartAddsOneStep() {
    TWindow window;
    TForm1& form = window.Form;
    form.Edit_thresh->setText(QStringLiteral("0"));
    QTRY_VERIFY(!form.Timer1->isActive());
    QCOMPARE(form.World().StepCount(), 2);
    QCOMPARE(form.Chart1->Points(), (Points{{1, 2000}, {2, 0}}));
    QTRY_COMPARE(form.lbl_Steps->text(), QStringLiteral("2"));

    for (int step = 3; step <= 4; ++step) {
      QTest::mouseClick(form.B_stop, Qt::LeftButton);
      QVERIFY(form.Timer1->isActive());
      QTRY_VERIFY(!form.Timer1->isActive());
      QCOMPARE(form.World().StepCount(), step);
      QCOMPARE(form.Chart1->Points().size(), step);
      QCOMPARE(form.Chart1->Points().last(), QPointF(step, 0));
      QTRY_COMPARE(form.lbl_Steps->text(), QString::number(step));
    }
    QTRY_COMPARE(form.Series1->points().size(), 4);
  }

  // At the fastest speed a tick runs many steps, and still every step
  // reads the threshold and gives the chart its point, frames show the run
  // while it goes, and the run ends by itself at the step where dla-batch
  // ends it.
  void theFastestSpeedRunsManyStepsATickToTheEndOfTheRun() {
    TWindowOptions options;
    options.Seed = 4242;
    options.Agents = 500;
    options.Threshold = "-1";
    TWindow window(options);
    window.Stopped();
    TForm1& form = window.Form;
    form.Speeds->actions().last()->trigger();
    QCOMPARE(form.Timer1->interval(), TForm1::FastestIntervalMs);
    // Connected after the window's own handler: runs after each tick's steps.
    int ticks = 0;
    connect(form.Timer1, &QTimer::timeout, this, [&ticks] { ++ticks; });

    // Nothing aggregates: the label and the chart follow a run that goes on.
    form.A_startStop->trigger();
    QTRY_VERIFY(form.lbl_Steps->text().toInt() > 0 && !form.Series1->points().isEmpty());
    QVERIFY(form.Timer1->isActive());

    // The next tick steps a new setup with threshold 4.
    form.Edit_thresh->setText(QStringLiteral("4"));
    form.A_setup->trigger();
    ticks = 0;
    QTRY_VERIFY_WITH_TIMEOUT(!form.Timer1->isActive(), 60000);
    const int steps = form.World().StepCount();
    QVERIFY2(ticks * 10 <= steps,
             qPrintable(QStringLiteral("%1 ticks, %2 steps").arg(ticks).arg(steps)));
    QProcess batch;
    batch.start(QStringLiteral(DLA_BATCH_PATH),
                {"--seed", "4242", "--agents", "500", "--threshold", "4"});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    QCOMPARE(Csv(*form.Chart1), batch.readAllStandardOutput());
    QTRY_COMPARE(form.lbl_Steps->text(), QString::number(steps));
    QTRY_COMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    QTRY_COMPARE(form.Series1->points().last(), QPointF(steps, 0));

    // Ended, each restart adds exactly one step.
    form.A_startStop->trigger();
    QTRY_VERIFY(!form.Timer1->isActive());
    QCOMPARE(form.World().StepCount(), steps + 1);
    QCOMPARE(form.Chart1->Points().last(), QPointF(steps + 1, 0));
  }

  // Another drawing area: --size for the first setup, "Lattice size…" for
  // the next ones. The run is dla-batch's with the same --size; the panel
  // shows it fitted, and what is saved is the whole picture.
  void aLatticeOfAnotherSizeIsTheBatchRunnersAndFitsThePanel() {
    TWindowOptions options;
    options.Seed = 77;
    options.Agents = 900;
    options.Size = std::pair(1200, 600);
    TWindow window(options);
    window.Stopped();
    TForm1& form = window.Form;
    QCOMPARE(form.World().DrawingWidth(), 1200);
    QCOMPARE(form.ZeichenPanel->size(), QSize(404, 404));
    for (int i = 0; i < 30; ++i) form.Timer1Timer();
    QProcess batch;
    batch.start(QStringLiteral(DLA_BATCH_PATH), {"--seed", "77", "--agents", "900", "--size", "1200x600", "--steps", "30"});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(Csv(*form.Chart1), batch.readAllStandardOutput());
    form.DrawingImage->Draw(form.World());
    QCOMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    // Fitted: the whole width in the panel, centred, smoothly reduced.
    QCOMPARE(form.DrawingImage->Zoom(), 404.0 / 1200.0);
    QCOMPARE(form.DrawingImage->PicturePoint(QPointF(0, 202)).x(), 0.0);
    QVERIFY(std::abs(form.DrawingImage->PicturePoint(QPointF(202, 202)).y() - 300.0) < 1.0);
    // A zoom about a point keeps that point where it is; Fit goes back.
    const QPointF at(100, 150), shown = form.DrawingImage->PicturePoint(at);
    form.DrawingImage->ZoomBy(4.0, at);
    QCOMPARE(form.DrawingImage->Zoom(), 4 * 404.0 / 1200.0);
    QVERIFY((form.DrawingImage->PicturePoint(at) - shown).manhattanLength() < 1e-9);
    form.A_fit->trigger();
    QCOMPARE(form.DrawingImage->Zoom(), 404.0 / 1200.0);

    // A size --size refuses changes nothing; one it takes counts from the
    // next setup, whose picture fits whole zooms where it is smaller.
    for (const char* bad : {"2x2", "0x0", "40 x 40", "+40x40", "abc", "20000x20000"}) {
      form.AskLatticeSize = [bad](const QString&) { return QString::fromLatin1(bad); };
      QVERIFY_THROWS_EXCEPTION(dla::tools::EUsageError, form.LatticeSize());
    }
    form.AskLatticeSize = [](const QString& current) {
      return current == QStringLiteral("1200x600") ? QStringLiteral("131x97") : QString();
    };
    form.LatticeSize();
    QCOMPARE(form.World().DrawingWidth(), 1200);
    form.B_setupClick();
    QCOMPARE(form.World().DrawingWidth(), 131);
    QCOMPARE(form.World().DrawingHeight(), 97);
    QVERIFY(form.Chart1->Points().isEmpty());
    QCOMPARE(form.DrawingImage->Zoom(), 3.0);
    form.Timer1Timer();
    form.DrawingImage->Draw(form.World());
    QCOMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    const QImage shot = form.DrawingImage->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPointF corner = form.DrawingImage->PicturePoint(QPointF(0, 0));
    const int x = static_cast<int>(3 * (50 - corner.x())), y = static_cast<int>(3 * (40 - corner.y()));
    const qreal ratio = form.DrawingImage->devicePixelRatioF();
    QCOMPARE(shot.pixel(static_cast<int>(x * ratio), static_cast<int>(y * ratio)),
             form.DrawingImage->Picture().pixel(50, 40));
  }

  // The measures of every step, as dla-batch --measures-series writes them
  // for the same run, exported and shown in their chart.
  void theMeasuresAreTheBatchRunnersStepByStep() {
    TWindowOptions options;
    options.Seed = 31;
    options.Agents = 800;
    options.Threshold = "3";
    TWindow window(options);
    window.Stopped();
    TForm1& form = window.Form;
    for (int i = 0; i < 60; ++i) form.Timer1Timer();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.csv")), theirs = dir.filePath(QStringLiteral("b.csv"));
    form.AskSavePath = [&](const QString&, const QString& suggested, const QString&) {
      return suggested.endsWith(QStringLiteral("-measures.csv")) ? path : QString();
    };
    form.A_exportMeasures->trigger();
    QProcess batch;
    batch.start(QStringLiteral(DLA_BATCH_PATH), {"--seed", "31", "--agents", "800", "--threshold", "3",
                                                 "--steps", "60", "--measures-series", theirs});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    QCOMPARE(FileBytes(path), FileBytes(theirs));
    QCOMPARE(window.Recorder.Boxes.size(), 0);
    // The largest cluster's chart: its line rises to the last step's value.
    form.A_measures.at(1)->trigger();
    QVERIFY(form.MeasuresChart->isVisible());
    form.MeasuresChart->Refresh();
    const QList<QPointF> points = form.MeasuresChart->Series()->points();
    QVERIFY(!points.isEmpty());
    QCOMPARE(points.last(), QPointF(60, form.Run().Measures().Largest));
    QVERIFY(std::is_sorted(points.begin(), points.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
    // A new setup starts both series afresh.
    form.B_setupClick();
    form.MeasuresChart->Refresh();
    QVERIFY(form.MeasuresChart->Series()->points().isEmpty());
  }

  void stopTwiceBetweenTicksChangesNothing() {
    TWindow window;
    window.Stopped();
    TForm1& form = window.Form;
    form.Timer1Timer();
    form.B_stopClick();
    form.B_stopClick();
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(form.Chart1->Points(), (Points{{1, 2000}}));
  }

  void aTypedNumberOfAgentsCountsAtTheNextSetup_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("agents");
    QTest::addColumn<QString>("shown");
    QTest::newRow("150") << "150" << 150 << "150";
    QTest::newRow("one") << "1" << 1 << "1";
    QTest::newRow("the maximum") << "10000" << 10000 << "10000";
    QTest::newRow("grouped") << "1,500" << 1500 << "1,500";
    QTest::newRow("zero") << "0" << 2000 << "2,000";
    QTest::newRow("above the maximum") << "10001" << 2000 << "2,000";
    QTest::newRow("letters") << "abc" << 2000 << "2,000";
    QTest::newRow("empty") << "" << 2000 << "2,000";
  }
  void aTypedNumberOfAgentsCountsAtTheNextSetup() {
    QFETCH(QString, typed);
    QFETCH(int, agents);
    QFETCH(QString, shown);
    TWindow window;
    window.Stopped();
    TForm1& form = window.Form;
    form.Edit_anzAg->setText(typed);
    form.Timer1Timer();
    QCOMPARE(form.World().AgentCount(), std::size_t{2000});
    form.B_setupClick();
    QCOMPARE(form.World().AgentCount(), static_cast<std::size_t>(agents));
    QCOMPARE(form.Edit_anzAg->text(), shown);
    form.Timer1Timer();
    QCOMPARE(form.Chart1->Points(), (Points{{1, double(agents)}}));
  }

  // What the window saves is what dla-batch makes of the same seed,
  // settings and step: the series byte for byte, the picture pixel for pixel.
  void aRunSavedFromTheWindowIsTheBatchRunnersRun() {
    TWindowOptions options;
    options.Seed = 4242;
    options.Agents = 500;
    options.Threshold.emplace("4");
    TWindow window(options);
    window.Stopped();
    TForm1& form = window.Form;
    QCOMPARE(form.World().PlacementSeed(), 4242u);
    for (int i = 0; i < 150; ++i) form.A_step->trigger();
    QCOMPARE(form.World().StepCount(), 150);
    QVERIFY(form.World().AggregatedCells() > 0);

    QTemporaryDir dir;
    QStringList captions;
    form.AskSavePath = [&](const QString& caption, const QString& suggested, const QString&) {
      captions << caption;
      return dir.filePath(suggested);
    };
    form.A_exportSeries->trigger();
    form.A_savePicture->trigger();
    form.A_saveChart->trigger();
    QCOMPARE(window.Recorder.Boxes.size(), 0);
    QCOMPARE(captions.size(), 3);

    QProcess batch;
    batch.start(QStringLiteral(DLA_BATCH_PATH),
                {"--seed", "4242", "--agents", "500", "--threshold", "4", "--steps", "150",
                 "--picture", dir.filePath("batch.png")});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    const QByteArray csv = FileBytes(dir.filePath("dla-seed4242-step150-free-agents.csv"));
    QVERIFY(csv.startsWith("step,free_agents\n1,500\n"));
    QCOMPARE(csv, batch.readAllStandardOutput());

    const QImage saved(dir.filePath("dla-seed4242-step150.png"));
    const QImage batchPicture(dir.filePath("batch.png"));
    QCOMPARE(saved.size(), QSize(404, 404));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             batchPicture.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(QImage(dir.filePath("dla-seed4242-step150-chart.png")).size(),
             form.Chart1->size() * form.Chart1->devicePixelRatioF());

    form.A_copySeed->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("4242"));
    form.A_copyPicture->trigger();
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             saved.convertToFormat(QImage::Format_RGB32));
    // A copy after one more step, before any frame, has that step too.
    form.A_step->trigger();
    form.A_copyPicture->trigger();
    const QImage copied =
        QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(copied, Rendered(form.World()));
    QVERIFY(copied != saved.convertToFormat(QImage::Format_RGB32));

    // A new setup repeats the run from the given seed.
    form.A_setup->trigger();
    QCOMPARE(form.World().PlacementSeed(), 4242u);
    for (int i = 0; i < 100; ++i) form.StepOnce();
    form.A_saveWorld->trigger();
    const QString savedWorld = dir.filePath("dla-seed4242-step100.dla");
    QVERIFY(QFile::exists(savedWorld));
    for (int i = 0; i < 50; ++i) form.StepOnce();
    form.A_exportSeries->trigger();
    QCOMPARE(FileBytes(dir.filePath("dla-seed4242-step150-free-agents.csv")), csv);

    // The world saved at step 100, opened over another setup with another
    // threshold typed, carries on as the run would have: steps 101 to 150
    // and the picture after them are the batch runner's.
    form.Edit_thresh->setText(QStringLiteral("9"));
    form.A_setup->trigger();
    form.A_step->trigger();
    form.AskOpenPath = [&](const QString&, const QString&) { return savedWorld; };
    form.A_openWorld->trigger();
    QCOMPARE(form.World().StepCount(), 100);
    QCOMPARE(form.Edit_thresh->text(), QStringLiteral("4"));
    QVERIFY(form.Chart1->Points().isEmpty());
    QVERIFY(form.A_copySeed->text().endsWith(QStringLiteral("4242")));
    QTRY_COMPARE(form.lbl_Steps->text(), QStringLiteral("100"));
    QTRY_COMPARE(form.DrawingImage->Picture(), Rendered(form.World()));
    for (int i = 0; i < 50; ++i) form.StepOnce();
    form.A_exportSeries->trigger();
    form.A_savePicture->trigger();
    QCOMPARE(FileBytes(dir.filePath("dla-seed4242-step150-free-agents.csv")),
             "step,free_agents\n" + csv.mid(csv.indexOf("\n101,") + 1));
    QCOMPARE(QImage(dir.filePath("dla-seed4242-step150.png")).convertToFormat(QImage::Format_RGB32),
             batchPicture.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(window.Recorder.Boxes.size(), 0);

    // Cancelled: nothing written, no error.
    form.AskSavePath = [](const QString&, const QString&, const QString&) { return QString(); };
    form.A_savePicture->trigger();
    QCOMPARE(window.Recorder.Boxes.size(), 0);
    // Unwritable: one error box.
    form.AskSavePath = [&](const QString&, const QString&, const QString&) {
      return dir.filePath("missing/folder/x.csv");
    };
    form.A_exportSeries->trigger();
    QCOMPARE(window.Recorder.Boxes.size(), 1);
  }

  void withoutASeedEachSetupSeedsFromTheClock() {
    TWindow window;
    window.Stopped();
    const std::uint32_t first = window.Form.World().PlacementSeed();
    window.Form.B_setupClick();
    QVERIFY(window.Form.World().PlacementSeed() != first);
    QVERIFY(window.Form.A_copySeed->text().endsWith(
        QString::number(window.Form.World().PlacementSeed())));
    QVERIFY(window.Form.DrawingImage->toolTip().contains(
        QString::number(window.Form.World().PlacementSeed())));
  }

  void theContextMenuOpensOnTheDrawingAndTheChart() {
    TWindow window;
    TForm1& form = window.Form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (QWidget* target : {static_cast<QWidget*>(form.DrawingImage), form.Chart1->viewport()}) {
      QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), target->mapToGlobal(QPoint(20, 20)));
      QApplication::sendEvent(target, &event);
      QTRY_VERIFY2(form.ContextMenu->isVisible(), qPrintable(target->objectName() + target->metaObject()->className()));
      QStringList texts;
      for (QAction* a : form.ContextMenu->actions())
        if (!a->isSeparator()) texts << a->text();
      QCOMPARE(texts, (QStringList{QString::fromUtf8("Save picture as PNG…"), "Copy picture",
                                   QString::fromUtf8("Export free agents as CSV…"),
                                   QString::fromUtf8("Export measures as CSV…"),
                                   QString::fromUtf8("Save chart as PNG…"),
                                   QStringLiteral("Copy seed %1").arg(form.World().PlacementSeed()),
                                   QString::fromUtf8("Record video…"), QString::fromUtf8("Save world…"),
                                   QString::fromUtf8("Open world…"), QString::fromUtf8("Lattice size…"),
                                   "Measures chart", "Zoom in", "Zoom out", "Fit", "Speed", "Step once", "Start / stop",
                                   "New setup"}));
      // A step of its own only while the run stands still.
      QVERIFY(!form.A_step->isEnabled());
      form.ContextMenu->close();
    }

    // Recording: the frames the window shows, a sign in the title while it
    // lasts, a whole movie after "Stop recording".
    QTemporaryDir dir;
    const QString movie = dir.filePath(QStringLiteral("run.mkv"));
    form.AskSavePath = [&](const QString&, const QString&, const QString&) { return movie; };
    QSignalSpy finished(form.Recorder, &TMovieRecorder::Finished);
    form.A_recordVideo->trigger();
    QVERIFY(form.windowTitle().endsWith(QString::fromUtf8(" ● recording")));
    QCOMPARE(form.A_recordVideo->text(), QStringLiteral("Stop recording"));
    QTRY_VERIFY(form.Recorder->Frames() >= 3);
    form.A_recordVideo->trigger();
    QVERIFY(!form.windowTitle().contains(QStringLiteral("recording")));
    QCOMPARE(form.A_recordVideo->text(), QString::fromUtf8("Record video…"));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(QFileInfo(movie).size() > 0);
    QCOMPARE(window.Recorder.Boxes.size(), 0);
  }

  void speedsSetTheTimerAndOneStepWaitsForAPause() {
    TWindow window;
    TForm1& form = window.Form;
    const QList<QAction*> speeds = form.Speeds->actions();
    QStringList names;
    for (QAction* a : speeds) names << a->text();
    QCOMPARE(names, (QStringList{"Full", "100 steps per second", "30 steps per second",
                                 "10 steps per second", "Fastest"}));
    QVERIFY(speeds[0]->isChecked());
    QCOMPARE(form.Timer1->interval(), 1);
    const int intervals[] = {1, 10, 33, 100, 0};
    for (int i = 4; i >= 0; --i) {
      speeds[i]->trigger();
      QCOMPARE(form.Timer1->interval(), intervals[i]);
      QVERIFY(speeds[i]->isChecked());
      QVERIFY(form.Timer1->isActive());
    }
    speeds[4]->trigger();
    QVERIFY(!speeds[0]->isChecked());
    const int before = form.World().StepCount();
    form.StepOnce();  // running: the timer's steps only
    QCOMPARE(form.World().StepCount(), before);
    form.A_startStop->trigger();
    QVERIFY(!form.Timer1->isActive());
    form.StepOnce();
    QCOMPARE(form.World().StepCount(), before + 1);
  }

  // A window-wide shortcut must not take a key that an edit (and so its
  // spin control) needs: an edit claims its keys before shortcuts match.
  void shortcutsLeaveTheEditsTheirKeys() {
    TWindow window;
    QList<QKeySequence> seen;
    for (QAction* action : window.Form.actions()) {
      const QKeySequence keys = action->shortcut();
      if (keys.isEmpty()) continue;
      QVERIFY2(!seen.contains(keys), qPrintable(keys.toString()));
      seen << keys;
      for (QLineEdit* edit : {window.Form.Edit_thresh, window.Form.Edit_anzAg}) {
        const QKeyCombination key = keys[0];
        QKeyEvent override(QEvent::ShortcutOverride, key.key(), key.keyboardModifiers());
        override.ignore();
        QApplication::sendEvent(edit, &override);
        QVERIFY2(!override.isAccepted(), qPrintable(keys.toString()));
      }
    }
    QCOMPARE(seen.size(), 9);
  }

  void panelCentredAtStart() {
    TWindow window;
    window.Form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.Form));
    QTRY_COMPARE(window.Form.Panel1->pos(),
                 TForm1::CentredPanelPosition(window.Form.frameGeometry().size(), QSize(684, 420)));
  }

  void panelCentredAfterEachChangeOfSize_data() {
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<QPoint>("panel");
    QTest::newRow("739 x 494") << QSize(739, 494) << QPoint(28, 37);
    QTest::newRow("1000 x 700") << QSize(1000, 700) << QPoint(158, 140);
    QTest::newRow("odd height, halves to even") << QSize(739, 495) << QPoint(28, 38);
    QTest::newRow("odd height, halves to even below") << QSize(739, 497) << QPoint(28, 38);
    QTest::newRow("narrower than the panel") << QSize(600, 494) << QPoint(-42, 37);
    QTest::newRow("exactly the panel") << QSize(684, 420) << QPoint(0, 0);
  }
  void panelCentredAfterEachChangeOfSize() {
    QFETCH(QSize, outer);
    QFETCH(QPoint, panel);
    QCOMPARE(TForm1::CentredPanelPosition(outer, QSize(684, 420)), panel);
    TWindow window;
    TForm1& form = window.Form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setWindowState(Qt::WindowNoState);
    const QSize frame = form.frameGeometry().size() - form.size();
    form.resize(QSize(1000, 700) - frame);
    QTRY_COMPARE(form.Panel1->pos(), QPoint(158, 140));
    form.resize(outer - frame);
    QTRY_COMPARE(form.frameGeometry().size(), outer);
    QTRY_COMPARE(form.Panel1->pos(), panel);
  }
};

QTEST_MAIN(FormTest)
#include "FormTest.moc"
