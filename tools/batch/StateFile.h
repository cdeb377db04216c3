// Reading a saved world as --load-state reads it, in dla-batch's words;
// shared with the Python module, so that both refuse a file alike.
#pragma once

#include <memory>
#include <string>

#include "BatchRun.h"
#include "TCheckpoint.h"

namespace dla::tools {

// The checkpoint file at path. Throws EUsageError ("--load-state: <the
// file's name and why>") for a file that cannot be read or is not a whole,
// intact checkpoint of a version this program reads.
TCheckpoint LoadStateFile(const std::string& path);

// The run that carries on from `saved`, read from path: the settings'
// Threshold and MaxSteps (the steps to make now), the rest the world's.
// Throws EUsageError ("--load-state: '<path>' is corrupted: <why>") for a
// world that no run can have made; std::bad_alloc.
std::unique_ptr<TBatchRun> ResumedRun(const TRunSettings& settings, const TCheckpoint& saved,
                                      const std::string& path);

}  // namespace dla::tools
