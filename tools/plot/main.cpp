// dla-plot: draws one of dla-batch sweep's plots. It reads a plot request
// (TPlotRequest's text) on standard input and writes the picture as PNG to
// standard output. dla-batch starts it only when a plot is asked for, so
// that the batch runner itself needs no chart or GUI library.
#include <QApplication>
#include <QFile>
#include <QImageWriter>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>

#include "MeasurePlot.h"
#include "PlotRequest.h"
#include "SweepPlot.h"

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
  if (argc != 1) {
    std::fputs("usage: dla-plot < REQUEST > PICTURE.png (started by dla-batch sweep)\n", stderr);
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
    QFile out;
    if (!out.open(fileno(stdout), QIODevice::WriteOnly)) {
      std::fprintf(stderr, "dla-plot: cannot write the picture: %s\n",
                   out.errorString().toLocal8Bit().constData());
      return 1;
    }
    QImageWriter writer(&out, "png");
    if (!writer.write(image) || !out.flush()) {
      std::fprintf(stderr, "dla-plot: cannot write the picture: %s\n",
                   writer.errorString().toLocal8Bit().constData());
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "dla-plot: %s\n", error.what());
    return 1;
  }
}
