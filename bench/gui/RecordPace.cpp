// dla-record-pace [--seconds T] [--agents N] [--rounds R] [--format EXT]
//
// What recording a movie costs the window's pace, measured on a stand-in of
// the window's loop: a shown widget with the drawing area's picture, a 1 ms
// timer that makes a step (threshold "-1": the run never ends), and a frame
// timer every 16 ms that renders the picture, repaints it and, while
// recording, hands it to a TMovieRecorder, as the window's frame does.
// R times in turn, T seconds each: without recording, then recording into a
// movie of the given format (mp4 by default) in a temporary folder. Prints
// one line per round on standard error, then
//   plain_steps_per_second=S recording_steps_per_second=Q share=P
//   share_min=A share_max=B frames_per_round=F dropped_per_round=D
// with medians over the rounds. Needs a display (xvfb-run -a).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "MovieRecorder.h"
#include "Render.h"
#include "TWorld.h"

namespace {

class TPictureWidget : public QWidget {
 public:
  explicit TPictureWidget(const QImage& picture) : picture_(picture) { resize(picture.size()); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  const QImage& picture_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  double seconds = 5;
  int agents = 2000, rounds = 5;
  QString format = QStringLiteral("mp4");
  const QStringList arguments = application.arguments();
  for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
    if (arguments[i] == QLatin1String("--seconds")) seconds = arguments[i + 1].toDouble();
    else if (arguments[i] == QLatin1String("--agents")) agents = arguments[i + 1].toInt();
    else if (arguments[i] == QLatin1String("--rounds")) rounds = arguments[i + 1].toInt();
    else if (arguments[i] == QLatin1String("--format")) format = arguments[i + 1];
  }

  dla::TWorld world(404, 404, dla::FixedSeed(1));
  world.CreateAgents(agents);
  QImage picture(404, 404, QImage::Format_RGB32);
  TPictureWidget widget(picture);
  widget.show();
  TMovieRecorder recorder;
  QTemporaryDir dir;

  QTimer step;
  step.setTimerType(Qt::PreciseTimer);
  step.setInterval(1);
  long steps = 0;
  QObject::connect(&step, &QTimer::timeout, [&] {
    world.RunStep(65535);
    ++steps;
  });
  QTimer frame;
  frame.setTimerType(Qt::PreciseTimer);
  frame.setInterval(16);
  QObject::connect(&frame, &QTimer::timeout, [&] {
    dla::Render(world, reinterpret_cast<std::uint32_t*>(picture.bits()), picture.bytesPerLine() / 4,
                dla::PixelOrder::Argb32);
    widget.update();
    recorder.Frame(picture);
  });
  frame.start();

  const auto pace = [&](bool recording, long* frames, long* dropped) {
    if (recording) recorder.Start(dir.filePath(QStringLiteral("run.") + format), picture.size(), 60);
    steps = 0;
    QElapsedTimer clock;
    clock.start();
    step.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    step.stop();
    const double rate = steps / (clock.nsecsElapsed() * 1e-9);
    if (recording) {
      *frames = recorder.Frames();
      *dropped = recorder.Dropped();
      recorder.StopAndWait();
    }
    return rate;
  };
  std::vector<double> plain, recorded, shares, framesPerRound, droppedPerRound;
  for (int round = 0; round < rounds; ++round) {
    long frames = 0, dropped = 0;
    plain.push_back(pace(false, nullptr, nullptr));
    recorded.push_back(pace(true, &frames, &dropped));
    shares.push_back(recorded.back() / plain.back());
    framesPerRound.push_back(static_cast<double>(frames));
    droppedPerRound.push_back(static_cast<double>(dropped));
    std::fprintf(stderr, "round %d: plain %.0f steps/s, recording %.0f steps/s (%.1f %%), %ld frames, %ld dropped\n",
                 round + 1, plain.back(), recorded.back(), 100 * shares.back(), frames, dropped);
  }
  std::printf(
      "plain_steps_per_second=%.0f recording_steps_per_second=%.0f share=%.3f share_min=%.3f "
      "share_max=%.3f frames_per_round=%.0f dropped_per_round=%.0f\n",
      Median(plain), Median(recorded), Median(shares), *std::min_element(shares.begin(), shares.end()),
      *std::max_element(shares.begin(), shares.end()), Median(framesPerRound), Median(droppedPerRound));
  return 0;
}
