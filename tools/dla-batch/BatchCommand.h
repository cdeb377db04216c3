// The single-run command of dla-batch.
#pragma once

#include "BatchOptions.h"

namespace dla::tools {

// Runs `dla-batch [OPTIONS]`, read into options, while a TInterruptGuard
// lives, and returns the exit status: 0 done, 1 failed while running, 2
// bad input, 128 + signal when interrupted. Bad input (an output path that
// cannot be written) is found before the run: one line on standard error
// and nothing on standard output.
int RunBatchCommand(TBatchOptions options);

}  // namespace dla::tools
