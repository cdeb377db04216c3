// dla-plot: draws one of dla-batch sweep's plots. It reads a plot request
// (TPlotRequest's text) on standard input and writes the picture as PNG to
// standard output. dla-batch starts it only when a plot is asked for, so
// that the batch runner itself needs no chart or GUI library. Its only
// options are --help and --version, on the option layer of the other
// programs.
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "MeasurePlot.h"
#include "Options.h"
#include "PlotRequest.h"
#include "Report.h"
#include "SweepPlot.h"
#include "UsageError.h"

namespace {

// Standard error belongs to the sweep's progress bar and summary; Qt's
// chatter about the environment (no runtime directory on a compute node,
// say) would only clutter it. Real failures are critical and still come
// through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "dla-plot: Qt: %s\n", message.toLocal8Bit().constData());
  }
}

QImage Render(const dla::tools::TPlotRequest& request) {
  using dla::tools::TPlotRequest;
  if (request.Kind == TPlotRequest::EKind::Steps) {
    return dla::tools::TSweepPlot::Render(request.Lines);
  }
  dla::tools::TMeasurePlot plot(QString::fromStdString(request.Measure));
  for (const auto& point : request.Points) plot.Add(point);
  return plot.Render();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App options(R"(Draws one of the plots of dla-batch sweep (--plot, --plot-measure): reads
the plot request that the sweep writes on standard input and writes the
picture as PNG to standard output. dla-batch sweep starts it; it is not
meant to be run by hand.)",
                   "dla-plot");
  dla::tools::ConfigureOptions(options);
  options.footer("Exit status: 0 done, 1 failed (a bad request, a write error), 2 bad command line.");
  try {
    const std::string text = dla::tools::ParseOptions(options, std::vector<std::string>(argv + 1, argv + argc));
    if (!text.empty()) {
      std::fputs(text.c_str(), stdout);
      return dla::tools::FlushStandardOutput("dla-plot") ? 0 : 1;
    }
  } catch (const dla::tools::EUsageError& error) {
    dla::tools::PrintError("dla-plot", error.what());
    return 2;
  }
  try {
    const std::string text(std::istreambuf_iterator<char>(std::cin), {});
    const dla::tools::TPlotRequest request = dla::tools::TPlotRequest::Parse(text);
    // The plot is never shown, so a display would only be a way to fail
    // (none on a compute node, or one that went away).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    QApplication application(argc, argv);
    const QImage image = Render(request);
    // Made in memory, then written: a file that cannot take it (a full
    // disk) is then told by its own reason, not by the PNG writer's
    // "Unknown error".
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
      std::fprintf(stderr, "dla-plot: cannot make the picture: %s\n",
                   writer.errorString().toLocal8Bit().constData());
      return 1;
    }
    for (qsizetype done = 0; done < png.size();) {
      const ssize_t written = ::write(STDOUT_FILENO, png.constData() + done, static_cast<std::size_t>(png.size() - done));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) {
        std::fprintf(stderr, "dla-plot: cannot write the picture: %s\n", std::strerror(errno));
        return 1;
      }
      done += written;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dla-plot: %s\n", error.what());
    return 1;
  }
}
