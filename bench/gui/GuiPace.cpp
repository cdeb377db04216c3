// dla-gui-pace [--seconds T] [--agents N] [--rounds R] [--fastest]
//              [--world FILE] [--measures] [--record-every S]
//
// Builds the window in this process with N agents and the threshold "-1"
// (nothing ever aggregates, so the run does not end, every agent stays free
// and the chart keeps growing) and shows it. Then, R times in turn with the
// window shown:
//  - the ceiling: Timer1 off, a bare 1 ms timer doing nothing for one
//    second; the rate at which its ticks arrive is the most the program's
//    pace can be on this machine at that moment;
//  - the pace: Timer1 on for T seconds, counting steps.
// Interleaving puts both under the same load, so their ratio (the share)
// holds on a busy machine where either alone would drift. Prints one line
// per round on standard error, then
//   steps_per_second=S repaints_per_second=R timer_ceiling=C share=P
//   share_min=A share_max=B chart_repaints_per_second=H rounds=R
// with S, C and P the medians over the rounds and A..B the spread of the
// share. R counts the repaints of the lattice picture (frames that showed
// a new picture), H those of the chart.
//
// With --fastest the window runs at the speed "Fastest" (a batch of steps
// per tick) and there is no ceiling to compare with; it prints
//   steps_per_second=S steps_min=A steps_max=B repaints_per_second=R
//   chart_repaints_per_second=H steps_per_repaint=F rounds=R
// (medians; A..B the spread of S). Needs a display (xvfb-run -a).
//
// --world FILE opens a saved world instead of a setup of N agents (through
// "Open world…", as a user would: a world of any size and population, e.g.
// dla-batch --size 3000x3000 --agents 20000 --steps 0 --save-state FILE),
// and keeps its threshold. --measures shows the measures chart (the largest
// cluster) beside the window. Every round also probes how long the window
// takes to answer: every 50 ms an event is posted, and the time until it
// runs (what opening a menu waits for) is measured; the line ends with
//   answer_median_ms=M answer_max_ms=X
#include <QAction>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Application.h"
#include "CellForm.h"
#include "DrawingImage.h"
#include "FreeAgentsChart.h"
#include "TWorld.h"

namespace {

struct Options {
  double seconds = 5.0;
  // Seconds between starting and stopping "Record video…" (0: never).
  double recordEvery = 0.0;
  int agents = 2000;
  int rounds = 5;
  bool fastest = false;
  QString world;
  bool measures = false;
};

[[noreturn]] void Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "dla-gui-pace: %s\n", problem);
  std::fprintf(problem ? stderr : stdout,
               "usage: dla-gui-pace [--seconds T] [--agents N] [--rounds R] [--fastest]\n"
               "  --seconds T  how long each round runs the window, 0.5 to 3600 (default 5)\n"
               "  --agents N   number of agents, 1 to 10000 (default 2000)\n"
               "  --rounds R   rounds of ceiling and pace, 1 to 100 (default 5)\n"
               "  --fastest    run at the speed \"Fastest\", without the ceiling\n"
               "  --world FILE open this saved world instead of a setup\n"
               "  --measures   show the measures chart\n"
               "  --record-every S  start or stop recording a movie every S seconds, 1 to 3600\n");
  std::exit(problem ? 2 : 0);
}

Options Parse(const QStringList& arguments) {
  Options options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& name = arguments[i];
    if (name == QLatin1String("--help")) Usage(nullptr);
    if (name == QLatin1String("--fastest")) {
      if (options.fastest) Usage("--fastest given twice");
      options.fastest = true;
      continue;
    }
    if (name == QLatin1String("--measures")) {
      options.measures = true;
      continue;
    }
    if (name == QLatin1String("--world")) {
      if (i + 1 >= arguments.size()) Usage("missing value");
      options.world = arguments[++i];
      continue;
    }
    if (name != QLatin1String("--seconds") && name != QLatin1String("--agents") &&
        name != QLatin1String("--rounds") && name != QLatin1String("--record-every"))
      Usage("unknown option");
    if (i + 1 >= arguments.size()) Usage("missing value");
    bool ok = false;
    const QString& value = arguments[++i];
    if (name == QLatin1String("--seconds")) {
      options.seconds = value.toDouble(&ok);
      if (!ok || options.seconds < 0.5 || options.seconds > 3600) Usage("bad --seconds");
    } else if (name == QLatin1String("--record-every")) {
      options.recordEvery = value.toDouble(&ok);
      if (!ok || options.recordEvery < 1 || options.recordEvery > 3600) Usage("bad --record-every");
    } else if (name == QLatin1String("--agents")) {
      options.agents = value.toInt(&ok);
      if (!ok || options.agents < 1 || options.agents > 10000) Usage("bad --agents");
    } else {
      options.rounds = value.toInt(&ok);
      if (!ok || options.rounds < 1 || options.rounds > 100) Usage("bad --rounds");
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  const Options options = Parse(QCoreApplication::arguments());

  // The movies' folder outlives the window, which finishes a recording
  // still running when it closes.
  QTemporaryDir movies;
  TForm1 form(application.Errors());
  form.B_stopClick();
  if (options.world.isEmpty()) {
    form.Edit_anzAg->setText(QString::number(options.agents));
    form.Edit_thresh->setText(QStringLiteral("-1"));
    form.B_setupClick();
  } else {
    form.AskOpenPath = [&options](const QString&, const QString&) { return options.world; };
    form.A_openWorld->trigger();
  }
  if (options.measures) form.A_measures.at(1)->trigger();
  if (options.fastest) form.SetSpeed(TForm1::FastestIntervalMs);
  // Recording on and off as a user would, through the menu's action, each
  // movie replacing the last in `movies`.
  QTimer recording;
  if (options.recordEvery > 0) {
    if (!movies.isValid()) Usage("no temporary folder for the movies");
    const QString moviePath = movies.filePath(QStringLiteral("soak.mkv"));
    form.AskSavePath = [moviePath](const QString&, const QString&, const QString&) { return moviePath; };
    recording.setInterval(static_cast<int>(options.recordEvery * 1000.0));
    QObject::connect(&recording, &QTimer::timeout, [&form, moviePath] {
      form.A_recordVideo->trigger();
      const QFileInfo movie(moviePath);
      std::fprintf(stderr, "recording=%s movie_bytes=%lld\n",
                   form.windowTitle().endsWith(QStringLiteral("recording")) ? "on" : "off",
                   movie.exists() ? static_cast<long long>(movie.size()) : -1LL);
    });
    recording.start();
  }
  TPaintCounter counter;
  form.DrawingImage->installEventFilter(&counter);
  TPaintCounter chartCounter;
  form.Chart1->viewport()->installEventFilter(&chartCounter);
  form.show();
  QElapsedTimer waited;
  waited.start();
  while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

  std::vector<double> paces, ceilings, shares, repaints, chartRepaints;
  for (int round = 1; round <= options.rounds; ++round) {
    const double ceiling = options.fastest ? 0.0 : TimerCeiling();

    const int firstStep = form.World().StepCount();
    counter.Paints = 0;
    chartCounter.Paints = 0;
    QElapsedTimer clock;
    // The answer probe: an event posted every 50 ms, timed until it runs.
    std::vector<double> answers;
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&answers] {
      QElapsedTimer posted;
      posted.start();
      QTimer::singleShot(0, [posted, &answers] { answers.push_back(posted.nsecsElapsed() * 1e-6); });
    });
    form.B_stopClick();
    clock.start();
    probe.start();
    RunFor(options.seconds);
    probe.stop();
    form.B_stopClick();
    QCoreApplication::processEvents();
    const double answerMedian = answers.empty() ? 0.0 : Median(answers);
    const double answerMax = answers.empty() ? 0.0 : *std::max_element(answers.begin(), answers.end());
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    const double pace = (form.World().StepCount() - firstStep) / elapsed;

    paces.push_back(pace);
    repaints.push_back(static_cast<double>(counter.Paints) / elapsed);
    chartRepaints.push_back(static_cast<double>(chartCounter.Paints) / elapsed);
    if (options.fastest) {
      std::fprintf(stderr,
                   "round=%d steps_per_second=%.1f repaints_per_second=%.1f "
                   "chart_repaints_per_second=%.1f chart_points=%lld answer_median_ms=%.1f "
                   "answer_max_ms=%.1f\n",
                   round, pace, repaints.back(), chartRepaints.back(),
                   static_cast<long long>(form.Run().Series().Count()), answerMedian, answerMax);
      continue;
    }
    ceilings.push_back(ceiling);
    shares.push_back(pace / ceiling);
    std::fprintf(stderr,
                 "round=%d steps_per_second=%.1f timer_ceiling=%.1f share=%.3f "
                 "repaints_per_second=%.1f chart_repaints_per_second=%.1f chart_points=%lld "
                 "answer_median_ms=%.1f answer_max_ms=%.1f\n",
                 round, pace, ceiling, pace / ceiling, repaints.back(), chartRepaints.back(),
                 static_cast<long long>(form.Run().Series().Count()), answerMedian, answerMax);
  }

  std::fprintf(stderr, "agents=%d seconds_per_round=%.2f window=%dx%d\n", options.agents,
               options.seconds, form.width(), form.height());
  if (options.fastest) {
    const double frames = Median(repaints);
    std::printf(
        "steps_per_second=%.1f steps_min=%.1f steps_max=%.1f repaints_per_second=%.1f "
        "chart_repaints_per_second=%.1f steps_per_repaint=%.1f rounds=%d\n",
        Median(paces), *std::min_element(paces.begin(), paces.end()),
        *std::max_element(paces.begin(), paces.end()), frames, Median(chartRepaints),
        frames > 0 ? Median(paces) / frames : 0.0, options.rounds);
    return 0;
  }
  std::printf(
      "steps_per_second=%.1f repaints_per_second=%.1f timer_ceiling=%.1f share=%.3f "
      "share_min=%.3f share_max=%.3f chart_repaints_per_second=%.1f rounds=%d\n",
      Median(paces), Median(repaints), Median(ceilings), Median(shares),
      *std::min_element(shares.begin(), shares.end()),
      *std::max_element(shares.begin(), shares.end()), Median(chartRepaints), options.rounds);
  return 0;
}
