// dla-gui-pace [--seconds T] [--agents N]
//
// First runs a bare 1 ms timer for one second: the rate at which its ticks
// arrive is the ceiling of the program's pace on this machine. Then builds
// the window in this process with N agents and the threshold "-1" (nothing
// ever aggregates, so the run does not end and the chart keeps growing),
// shows it, and runs the event loop for T seconds. Prints
//   steps_per_second=S repaints_per_second=R timer_ceiling=C
// where R counts the repaints of the lattice picture. Details (chart points
// and repaints) go to standard error. Needs a display (xvfb-run -a).
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Application.h"
#include "CellForm.h"
#include "DrawingImage.h"
#include "FreeAgentsChart.h"
#include "TWorld.h"

namespace {

struct Options {
  double seconds = 10.0;
  int agents = 2000;
};

[[noreturn]] void Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "dla-gui-pace: %s\n", problem);
  std::fprintf(problem ? stderr : stdout,
               "usage: dla-gui-pace [--seconds T] [--agents N]\n"
               "  --seconds T  how long to run the window, 0.5 to 3600 (default 10)\n"
               "  --agents N   number of agents, 1 to 10000 (default 2000)\n");
  std::exit(problem ? 2 : 0);
}

Options Parse(const QStringList& arguments) {
  Options options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& name = arguments[i];
    if (name == QLatin1String("--help")) Usage(nullptr);
    if (name != QLatin1String("--seconds") && name != QLatin1String("--agents"))
      Usage("unknown option");
    if (i + 1 >= arguments.size()) Usage("missing value");
    bool ok = false;
    const QString& value = arguments[++i];
    if (name == QLatin1String("--seconds")) {
      options.seconds = value.toDouble(&ok);
      if (!ok || options.seconds < 0.5 || options.seconds > 3600) Usage("bad --seconds");
    } else {
      options.agents = value.toInt(&ok);
      if (!ok || options.agents < 1 || options.agents > 10000) Usage("bad --agents");
    }
  }
  return options;
}

// Runs the event loop for the given time.
void RunFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000.0), Qt::PreciseTimer, &loop,
                     &QEventLoop::quit);
  loop.exec();
}

double TimerCeiling() {
  QTimer bare;
  bare.setTimerType(Qt::PreciseTimer);
  bare.setInterval(1);
  long long ticks = 0;
  QObject::connect(&bare, &QTimer::timeout, [&ticks] { ++ticks; });
  QElapsedTimer clock;
  bare.start();
  clock.start();
  RunFor(1.0);
  const double elapsed = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
  return static_cast<double>(ticks) / elapsed;
}

class TPaintCounter : public QObject {
 public:
  long long Paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  const Options options = Parse(QCoreApplication::arguments());

  const double ceiling = TimerCeiling();

  TForm1 form(application.Errors());
  form.Edit_anzAg->setText(QString::number(options.agents));
  form.Edit_thresh->setText(QStringLiteral("-1"));
  form.B_setupClick();
  TPaintCounter counter;
  form.DrawingImage->installEventFilter(&counter);
  TPaintCounter chartCounter;
  form.Chart1->viewport()->installEventFilter(&chartCounter);
  form.show();
  QElapsedTimer waited;
  waited.start();
  while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

  const int firstStep = form.World().StepCount();
  counter.Paints = 0;
  chartCounter.Paints = 0;
  QElapsedTimer clock;
  clock.start();
  RunFor(options.seconds);
  const double elapsed = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
  const int steps = form.World().StepCount() - firstStep;

  std::fprintf(stderr,
               "agents=%d seconds=%.2f steps=%d chart_points=%lld chart_repaints_per_second=%.1f "
               "window=%dx%d\n",
               options.agents, elapsed, steps, static_cast<long long>(form.Chart1->Stored().Count()),
               static_cast<double>(chartCounter.Paints) / elapsed, form.width(), form.height());
  std::printf("steps_per_second=%.1f repaints_per_second=%.1f timer_ceiling=%.1f\n",
              steps / elapsed, static_cast<double>(counter.Paints) / elapsed, ceiling);
  return 0;
}
