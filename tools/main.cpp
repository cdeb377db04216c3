// dla-batch: the model without a window, one run or a sweep of many.
#include <string_view>
#include <vector>

#include "BatchCommand.h"
#include "Report.h"
#include "StandardStreams.h"
#include "SweepCommand.h"

int main(int argc, char** argv) {
  // Before any file is opened: started with standard output closed, the
  // first output file would otherwise take descriptor 1 and receive the CSV.
  if (!dla::tools::OpenClosedStandardStreams()) {
    dla::tools::PrintError("dla-batch", "cannot open /dev/null for a closed standard stream");
    return 1;
  }
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (!args.empty() && args.front() == "sweep") {
    args.erase(args.begin());
    return dla::tools::RunSweepCommand(args);
  }
  return dla::tools::RunBatchCommand(args);
}
