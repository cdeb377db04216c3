// The sweep command of dla-batch.
#pragma once

#include <string_view>
#include <vector>

namespace dla::tools {

// Runs `dla-batch sweep [OPTIONS]` (args after the word "sweep") and
// returns the exit status: 0 done, 1 failed while running, 2 bad input,
// 128 + signal when interrupted. All checks, including the writability of
// the output files and the presence of the plotting program when a plot is
// asked for, come before the first run. Standard
// output gets the rows only once every run is done, so an interrupted
// sweep prints none, and its files are discarded.
int RunSweepCommand(const std::vector<std::string_view>& args);

}  // namespace dla::tools
