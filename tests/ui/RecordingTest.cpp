// The window's recording and files, without the window: what its context
// menu's "Record video…" and "Save world…" / "Open world…" do.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

#include "MovieRecorder.h"
#include "Render.h"
#include "TWorld.h"
#include "TWorldState.h"
#include "SaveFile.h"
#include "TRun.h"

namespace {

// A small world and its picture, as the window shows it.
struct TShownWorld {
  dla::TWorld World{60, 45, dla::FixedSeed(17)};
  QImage Picture{60, 45, QImage::Format_RGB32};

  TShownWorld() { World.CreateAgents(150); }
  const QImage& Step() {
    World.RunStep(3);
    dla::Render(World, reinterpret_cast<std::uint32_t*>(Picture.bits()), Picture.bytesPerLine() / 4,
                dla::PixelOrder::Argb32);
    return Picture;
  }
};

QString Thrown(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return QString::fromStdString(error.what());
  }
  return QStringLiteral("(nothing thrown)");
}

}  // namespace

class RecordingTest : public QObject {
  Q_OBJECT

 private slots:
  void aMovieHoldsEveryFrameShown() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.gif"));
    TMovieRecorder recorder;
    QSignalSpy changes(&recorder, &TMovieRecorder::RecordingChanged);
    QSignalSpy finished(&recorder, &TMovieRecorder::Finished);
    recorder.Start(path, QSize(60, 45), 25);
    QVERIFY(recorder.Recording());
    TShownWorld shown;
    QList<QImage> frames;
    for (int i = 0; i < 12; ++i) {
      frames.append(shown.Step().copy());
      recorder.Frame(frames.last());
      // The window's frames come 16 ms apart; the pipe drains meanwhile.
      QTest::qWait(5);
    }
    QCOMPARE(recorder.Frames(), 12);
    QCOMPARE(recorder.Dropped(), 0);
    recorder.Stop();
    QVERIFY(!recorder.Recording());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toString(), path);
    QCOMPARE(changes.size(), 2);
    // Only the movie is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("run.gif")});

    QImageReader reader(path);
    for (int i = 0; i < frames.size(); ++i) {
      const QImage frame = reader.read().convertToFormat(QImage::Format_RGB32);
      QVERIFY2(frame == frames[i], qPrintable(QStringLiteral("frame %1").arg(i)));
    }
    QVERIFY(frames.first() != frames.last());
  }

  void aSlowEncoderCostsFramesNotTime() {
    QTemporaryDir dir;
    TMovieRecorder recorder;
    QSignalSpy finished(&recorder, &TMovieRecorder::Finished);
    recorder.Start(dir.filePath(QStringLiteral("run.mkv")), QSize(60, 45), 25);
    TShownWorld shown;
    // No event loop between the frames: nothing reaches the encoder, and
    // what is beyond the queue's bound is dropped at once.
    for (int i = 0; i < 40; ++i) recorder.Frame(shown.Step());
    QCOMPARE(recorder.Frames() + recorder.Dropped(), 40);
    QVERIFY(recorder.Dropped() > 0);
    QVERIFY(recorder.Frames() >= TMovieRecorder::MaxFramesQueued);
    // As a window that closes while it records.
    recorder.StopAndWait();
    QCOMPARE(finished.size(), 1);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("run.mkv"))));
  }

  void anAbandonedRecordingLeavesNothing() {
    QTemporaryDir dir;
    {
      TMovieRecorder recorder;
      recorder.Start(dir.filePath(QStringLiteral("run.mkv")), QSize(60, 45), 25);
      TShownWorld shown;
      // Until the encoder has begun its file.
      for (int i = 0; i < 200 && QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty(); ++i) {
        recorder.Frame(shown.Step());
        QTest::qWait(10);
      }
      QVERIFY(!QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }

  void aFailingEncoderLeavesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.mp4"));
    TMovieRecorder recorder(nullptr, QStringLiteral("/bin/false"));
    QSignalSpy failed(&recorder, &TMovieRecorder::Failed);
    recorder.Start(path, QSize(60, 45), 25);
    TShownWorld shown;
    recorder.Frame(shown.Step());
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.first().first().toString(), QStringLiteral("The movie encoder failed (exit status 1)"));
    QVERIFY(!recorder.Recording());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }

  void refusesWhatCannotBeRecorded() {
    QTemporaryDir dir;
    TMovieRecorder recorder;
    QVERIFY(Thrown([&] { recorder.Start(dir.filePath(QStringLiteral("run.avi")), QSize(60, 45), 25); })
                .contains(QStringLiteral("the name must end in .mp4, .webm, .gif or .mkv")));
    QVERIFY(Thrown([&] { recorder.Start(dir.filePath(QStringLiteral("no/run.mp4")), QSize(60, 45), 25); })
                .startsWith(QStringLiteral("Cannot write")));
    // The encoder's limits are known before anything starts.
    QCOMPARE(Thrown([&] { recorder.Start(dir.filePath(QStringLiteral("run.webm")), QSize(20000, 90), 25); }),
             QStringLiteral("Cannot record into '%1': a .webm movie takes at most 16384 pixels a side, not 20000x90")
                 .arg(dir.filePath(QStringLiteral("run.webm"))));
    QVERIFY(!recorder.Recording());
    TMovieRecorder missing(nullptr, dir.filePath(QStringLiteral("no-encoder")));
    QVERIFY(Thrown([&] { missing.Start(dir.filePath(QStringLiteral("run.mp4")), QSize(60, 45), 25); })
                .startsWith(QStringLiteral("Cannot start the movie encoder")));
    QVERIFY(!missing.Recording());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }

  // What "Save world…" and "Open world…" do: the run's bytes through the
  // window's whole-or-nothing writer, read back by the run every front end
  // reads them with.
  void anOpenedWorldCarriesOnAsTheSavedOne() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("world.dla"));
    dla::TRun shown({.DrawingWidth = 60, .DrawingHeight = 45, .Agents = 150, .ThresholdText = " 3", .Seed = 17});
    // Past the run's end too, as the window steps at each further start.
    for (int i = 0; i < 40; ++i) shown.Step();
    Save(shown, path);
    dla::TRun opened = dla::TRun::Load(path.toStdString(), {});
    QCOMPARE(opened.ThresholdText(), std::string(" 3"));
    QCOMPARE(opened.Steps(), 40);
    for (int i = 0; i < 60; ++i) {
      const dla::StepResult a = shown.Step(), b = opened.Step();
      QCOMPARE(b.FreeAgents, a.FreeAgents);
      QCOMPARE(b.StepNumber, a.StepNumber);
    }
    const dla::TWorldState a = shown.World().State(), b = opened.World().State();
    QVERIFY(a.Shades == b.Shades && a.States == b.States && a.Seed == b.Seed);
  }

  void refusesWorldsItCannotOpenOrWrite() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("world.dla"));
    dla::TRun shown({});
    Save(shown, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString cut = dir.filePath(QStringLiteral("cut.dla"));
    QFile out(cut);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes.left(100));
    out.close();
    const auto open = [&](const QString& which) {
      return Thrown([&] { dla::TRun::Load(which.toStdString(), {}); });
    };
    QVERIFY(open(cut).startsWith(QStringLiteral("'%1' is truncated (100 of ").arg(cut)));
    QVERIFY(open(dir.filePath(QStringLiteral("none.dla"))).startsWith(QStringLiteral("cannot read")));
    QVERIFY(Thrown([&] { Save(shown, dir.filePath(QStringLiteral("no/w.dla"))); })
                .startsWith(QStringLiteral("Cannot write")));
    // A write refused half-way leaves the old file whole.
    QVERIFY(Thrown([&] { TSaveFile::Write(path, [](QIODevice& device) { return device.write("x") == 1 && false; }); })
                .startsWith(QStringLiteral("Cannot write")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
  }

 private:
  static void Save(const dla::TRun& run, const QString& path) {
    const std::string bytes = run.Save();
    TSaveFile::Write(path, [&bytes](QIODevice& device) {
      return device.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
    });
  }
};

QTEST_MAIN(RecordingTest)
#include "RecordingTest.moc"
