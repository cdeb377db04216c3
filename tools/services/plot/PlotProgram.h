// The separate program that draws the sweep's plots (dla-plot), so that
// dla-batch itself carries no chart or GUI library: it starts the program
// only when a plot is asked for.
#pragma once

#include <atomic>
#include <string>

#include "PlotRequest.h"

namespace dla::tools {

class TPlotProgram {
 public:
  // The environment variable that names the program instead.
  static constexpr const char* PathVariable = "DLA_PLOT";

  // $DLA_PLOT if set and not empty, else dla-plot in the folder of the
  // running executable (where both are built and installed).
  static std::string Path();

  // Throws std::runtime_error with a one-line reason when the program at
  // Path() is missing or not executable, so that a sweep can refuse to
  // start rather than fail after its runs.
  static void CheckAvailable();

  // Starts the program with the request on its standard input and
  // outputFd as its standard output, where it writes the PNG, and waits
  // for it. Throws std::runtime_error when it cannot be started, does not
  // exit with status 0 (the message ends with its own reason), or leaves
  // an empty file. When stop is given and becomes true (an interrupt
  // cuts the wait short), ends the program with SIGTERM and throws: drawing
  // a large plot takes long, and must not hold up a user who asked to stop.
  static void Draw(const TPlotRequest& request, int outputFd,
                   const std::atomic<bool>* stop = nullptr);
};

}  // namespace dla::tools
