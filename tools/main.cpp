// dla-batch: the model without a window, one run or a sweep of many.
#include <string_view>
#include <vector>

#include "BatchCommand.h"
#include "SweepCommand.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (!args.empty() && args.front() == "sweep") {
    args.erase(args.begin());
    return dla::tools::RunSweepCommand(args);
  }
  return dla::tools::RunBatchCommand(args);
}
