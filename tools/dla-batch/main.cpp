// dla-batch: the model without a window, one run or a sweep of many.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "BatchCommand.h"
#include "BatchOptions.h"
#include "InterruptGuard.h"
#include "Report.h"
#include "StandardStreams.h"
#include "SweepCommand.h"
#include "UsageError.h"

int main(int argc, char** argv) {
  using namespace dla::tools;
  // Before any file is opened: started with standard output closed, the
  // first output file would otherwise take descriptor 1 and receive the CSV.
  if (!OpenClosedStandardStreams()) {
    PrintError("dla-batch", "cannot open /dev/null for a closed standard stream");
    return 1;
  }
  // Before any output file exists, so that an interrupt can never leave a
  // temporary file behind.
  TInterruptGuard interrupt;
  const std::vector<std::string> args(argv + 1, argv + argc);
  // A subcommand comes first (ParseOptions).
  const char* program = !args.empty() && args.front() == "sweep" ? "dla-batch sweep" : "dla-batch";
  TBatchOptions options;
  try {
    options = TBatchOptions::Parse(args);
  } catch (const EUsageError& error) {
    return RefusedBeforeTheRun(program, error.what());
  }
  if (!options.Help.empty()) {
    std::fputs(options.Help.c_str(), stdout);
    return FlushStandardOutput(program) ? 0 : 1;
  }
  if (options.Sweep) return RunSweepCommand(*options.Sweep);
  return RunBatchCommand(std::move(options));
}
