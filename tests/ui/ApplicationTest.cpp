#include <QtTest>
#include <stdexcept>
#include <string>
#include <vector>

#include "Application.h"
#include "Recorder.h"
#include "UsageError.h"
#include "WindowOptions.h"

namespace {

TBoxRecorder recorder;

// Throws from its event handler, as a handler of the window might.
class TThrower : public QObject {
 public:
  int Thrown = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User)
      throw std::runtime_error("thrown in event " + std::to_string(++Thrown));
    return QObject::event(event);
  }
};

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private slots:
  void titleFromExecutable_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("installed") << "/usr/bin/dla-model"
                               << "dla-model";
    QTest::newRow("upper case") << "/opt/DLA-MODEL"
                                << "Dla-model";
    QTest::newRow("cut at the first full stop") << "/opt/Cell.Model.exe"
                                                << "Cell";
    QTest::newRow("a folder with a full stop") << "/home/a.b/CellModel.EXE"
                                               << "Cellmodel";
    QTest::newRow("first character kept") << "/x/dLA"
                                          << "dla";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/x/ÄBC.bin") << QString::fromUtf8("Äbc");
    QTest::newRow("one character") << "/x/Q.exe"
                                   << "Q";
    QTest::newRow("leading full stop") << "/x/.Hidden.run"
                                       << "Hidden";
    QTest::newRow("no folder") << "dla-model"
                               << "dla-model";
    QTest::newRow("empty") << ""
                           << "";
  }
  void titleFromExecutable() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(TApplication::TitleFromExecutable(path), title);
  }

  void theApplicationIsNamedAfterThisExecutable() {
    QCOMPARE(QCoreApplication::applicationName(),
             TApplication::TitleFromExecutable(QCoreApplication::applicationFilePath()));
    QVERIFY(!QCoreApplication::applicationName().isEmpty());
  }

  // The command line: "" for a line that must be refused, else what it
  // sets as "seed/agents/threshold" with "-" for unset.
  void commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("set");
    QTest::newRow("nothing") << QStringList{} << "-/-/-";
    QTest::newRow("all three") << QStringList{"--seed", "4294967295", "--agents", "10000",
                                              "--threshold", "-1"}
                               << "4294967295/10000/-1";
    QTest::newRow("joined with =") << QStringList{"--seed=0", "--agents=1", "--threshold= $1F"}
                                   << "0/1/ $1F";
    QTest::newRow("Qt's own options pass") << QStringList{"-platform", "offscreen", "--agents", "7"}
                                           << "-/7/-";
    QTest::newRow("seed too big") << QStringList{"--seed", "4294967296"} << "";
    QTest::newRow("seed with a sign") << QStringList{"--seed", "+1"} << "";
    QTest::newRow("no agents") << QStringList{"--agents", "0"} << "";
    QTest::newRow("agents above the spin range") << QStringList{"--agents", "10001"} << "";
    QTest::newRow("agents grouped") << QStringList{"--agents", "2,000"} << "";
    QTest::newRow("threshold no integer") << QStringList{"--threshold", "6 "} << "";
    QTest::newRow("missing value") << QStringList{"--agents"} << "";
    QTest::newRow("twice") << QStringList{"--seed", "1", "--seed", "2"} << "";
    QTest::newRow("unknown") << QStringList{"--speed", "10"} << "";
    QTest::newRow("unknown after Qt's") << QStringList{"-style", "fusion", "--speed=10"} << "";
    QTest::newRow("value forgotten") << QStringList{"--seed", "--agents", "7"} << "";
  }
  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, set);
    try {
      std::vector<std::string> args;
      for (const QString& argument : arguments) args.push_back(argument.toStdString());
      const TWindowOptions options = TWindowOptions::Parse(args);
      QVERIFY2(!set.isEmpty(), "accepted");
      const QString got = QStringLiteral("%1/%2/%3").arg(
          options.Seed ? QString::number(*options.Seed) : QStringLiteral("-"),
          options.Agents ? QString::number(*options.Agents) : QStringLiteral("-"),
          QString::fromStdString(options.Threshold.value_or("-")));
      QCOMPARE(got, set);
    } catch (const dla::tools::EUsageError& e) {
      QVERIFY2(set.isEmpty(), e.what());
      QVERIFY(!QString::fromUtf8(e.what()).contains(u'\n'));
    }
  }

  void anExceptionFromAnEventGoesToTheErrorDisplay() {
    recorder.Boxes.clear();
    TThrower thrower;
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));
    QCOMPARE(recorder.Boxes.size(), 1);
    QCOMPARE(recorder.Boxes[0].Text, QStringLiteral("thrown in event 1."));
    QCOMPARE(recorder.Boxes[0].Caption, QCoreApplication::applicationName());

    // A posted event fails inside the event loop, which carries on.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(recorder.Boxes.size(), 2);
    QCOMPARE(recorder.Boxes[1].Text, QStringLiteral("thrown in event 2."));
  }
};

int main(int argc, char** argv) {
  TApplication application(argc, argv, recorder.Presenter());
  ApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
