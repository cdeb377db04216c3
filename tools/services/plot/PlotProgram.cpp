#include "PlotProgram.h"

#include <sys/stat.h>

#include <stdexcept>
#include <string>

#include "HelperProgram.h"

namespace dla::tools {
namespace {

THelperProgram Plotter() {
  return THelperProgram("dla-plot", TPlotProgram::PathVariable, "plotting program");
}

}  // namespace

std::string TPlotProgram::Path() { return Plotter().Path(); }

void TPlotProgram::CheckAvailable() {
  try {
    Plotter().CheckAvailable();
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string("cannot draw plots: ") + error.what());
  }
}

void TPlotProgram::Draw(const TPlotRequest& request, int outputFd, const std::atomic<bool>* stop) {
  THelperProgram program = Plotter();
  program.Start({}, outputFd);
  program.Send(request.Text(), "the plot", stop);
  program.Finish("the plot", stop);
  // A program that "succeeds" without a picture would leave an empty file.
  struct stat written {};
  if (::fstat(outputFd, &written) == 0 && S_ISREG(written.st_mode) && written.st_size == 0) {
    throw std::runtime_error("the plotting program '" + program.Path() + "' wrote no picture");
  }
}

}  // namespace dla::tools
