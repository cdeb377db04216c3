#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "ErrorDisplay.h"
#include "IntegerText.h"
#include "Recorder.h"

class ErrorDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Not enough timers available"
                           << "Not enough timers available.";
    QTest::newRow("conversion") << "'abc' is not a valid integer value"
                                << "'abc' is not a valid integer value.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("exclamation") << "Stop!"
                                 << "Stop!";
    QTest::newRow("blank") << "a "
                           << "a ";
    QTest::newRow("hyphen 0x2D") << "a-"
                                 << "a-";
    QTest::newRow("slash 0x2F") << "a/"
                                << "a/.";
    QTest::newRow("newline") << "two\nlines\n"
                             << "two\nlines\n";
    QTest::newRow("non-ASCII") << QString::fromUtf8("zurücksetzen ü")
                               << QString::fromUtf8("zurücksetzen ü.");
    QTest::newRow("empty") << ""
                           << "";
  }
  void fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(TErrorDisplay::WithFullStop(message), shown);
  }

  void guardShowsWhatEscapes_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("runtime_error") << 0 << "boom.";
    QTest::newRow("conversion error") << 1 << "'abc' is not a valid integer value.";
    QTest::newRow("UTF-8 text") << 2 << QString::fromUtf8("'ä' is not a valid integer value.");
    QTest::newRow("not a std::exception") << 3 << "Unknown error.";
  }
  void guardShowsWhatEscapes() {
    QFETCH(int, kind);
    QFETCH(QString, shown);
    TBoxRecorder recorder;
    TErrorDisplay display(recorder.Presenter());
    display.Guard([kind] {
      if (kind == 0) throw std::runtime_error("boom");
      if (kind == 1) throw dla::EConvertError("abc");
      if (kind == 2) throw dla::EConvertError("\xC3\xA4");
      throw 42;
    });
    QCOMPARE(recorder.Boxes.size(), 1);
    QCOMPARE(recorder.Boxes[0].Text, shown);
    QCOMPARE(recorder.Boxes[0].Caption, QCoreApplication::applicationName());
    QVERIFY(!display.IsShowing());
  }

  void guardShowsNothingWhenTheHandlerSucceeds() {
    TBoxRecorder recorder;
    TErrorDisplay display(recorder.Presenter());
    int runs = 0;
    display.Guard([&] { ++runs; });
    QCOMPARE(runs, 1);
    QVERIFY(recorder.Boxes.isEmpty());
  }

  void oneBoxAtATime() {
    TBoxRecorder recorder;
    TErrorDisplay display(recorder.Presenter());
    recorder.WhileOpen = [&] {
      QVERIFY(display.IsShowing());
      display.Show(QStringLiteral("second"));
      display.Guard([] { throw std::runtime_error("third"); });
    };
    display.Show(QStringLiteral("first"));
    QCOMPARE(recorder.Boxes.size(), 1);
    QCOMPARE(recorder.Boxes[0].Text, QStringLiteral("first."));
    QCOMPARE(display.Dropped(), 2);
    QVERIFY(!display.IsShowing());
  }

  void theBoxJustClosedIsNotReopenedUntilAHandlerSucceeds() {
    TBoxRecorder recorder;
    TErrorDisplay display(recorder.Presenter());
    const auto fail = [](const char* what) { return [what] { throw std::runtime_error(what); }; };
    display.Guard(fail("bad"));
    display.Guard(fail("bad"));
    display.Guard(fail("bad"));
    QCOMPARE(recorder.Boxes.size(), 1);
    display.Guard(fail("other"));
    QCOMPARE(recorder.Boxes.size(), 2);
    display.Guard([] {});
    display.Guard(fail("other"));
    QCOMPARE(recorder.Boxes.size(), 3);
    QCOMPARE(display.BoxesShown(), 3);
    QCOMPARE(display.Dropped(), 2);
  }

  void cancelsAHeldButtonBeforeTheBoxOpens() {
    QPushButton held(QStringLiteral("held"));
    held.setAutoRepeat(true);
    held.setDown(true);
    TBoxRecorder recorder;
    bool downWhileOpen = true;
    recorder.WhileOpen = [&] { downWhileOpen = held.isDown(); };
    TErrorDisplay display(recorder.Presenter());
    display.Show(QStringLiteral("x"));
    QVERIFY(!downWhileOpen);
  }

  void theRealBoxIsModalPlainTextWithStopIconCaptionAndOneOkButton() {
    QString caption, text;
    int icon = -1;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    bool modal = false;
    QTimer inspector;
    inspector.setInterval(10);
    connect(&inspector, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      format = box->textFormat();
      modal = box->isModal();
      box->accept();
    });
    inspector.start();
    QCoreApplication::setApplicationName(QStringLiteral("dla-model"));
    TErrorDisplay display;
    // Markup typed into an edit is shown as typed, not rendered.
    display.Show(QStringLiteral("'<b>7</b>' is not a valid integer value"));
    inspector.stop();
    QCOMPARE(caption, QStringLiteral("dla-model"));
    QCOMPARE(text, QStringLiteral("'<b>7</b>' is not a valid integer value."));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(icon, int(QMessageBox::Critical));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(modal);
  }
};

QTEST_MAIN(ErrorDisplayTest)
#include "ErrorDisplayTest.moc"
