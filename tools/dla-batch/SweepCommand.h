// The sweep command of dla-batch.
#pragma once

#include "SweepOptions.h"

namespace dla::tools {

// Runs `dla-batch sweep [OPTIONS]`, read into options, while a
// TInterruptGuard lives, and returns the exit status: 0 done, 1 failed while running, 2 bad input,
// 128 + signal when interrupted. All checks, including the writability of
// the output files and the presence of the plotting program when a plot is
// asked for, and the reading of a --resume file, come before the first run.
// Standard output gets the rows only once every run is done, so an
// interrupted sweep prints none, and its files are discarded, but for
// --partial, which then keeps the rows of the runs done (also when the sweep
// fails).
int RunSweepCommand(const TSweepOptions& options);

}  // namespace dla::tools
