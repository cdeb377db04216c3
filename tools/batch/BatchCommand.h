// The single-run command of dla-batch.
#pragma once

#include <string_view>
#include <vector>

namespace dla::tools {

// Runs `dla-batch [OPTIONS]` (args without the program name) and returns
// the exit status: 0 done, 1 failed while running, 2 bad input, 128 +
// signal when interrupted. Bad input (including a picture path that cannot
// be written) is found before the run: one line on standard error and
// nothing on standard output.
int RunBatchCommand(const std::vector<std::string_view>& args);

}  // namespace dla::tools
