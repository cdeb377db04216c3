#include "StateFile.h"

#include <stdexcept>

#include "UsageError.h"

namespace dla::tools {

TCheckpoint LoadStateFile(const std::string& path) {
  try {
    return TCheckpoint::Load(path);
  } catch (const std::runtime_error& error) {
    throw EUsageError(std::string("--load-state: ") + error.what());
  }
}

std::unique_ptr<TBatchRun> ResumedRun(const TRunSettings& settings, const TCheckpoint& saved,
                                      const std::string& path) {
  try {
    return std::make_unique<TBatchRun>(settings, saved.World);
  } catch (const std::invalid_argument& error) {
    throw EUsageError("--load-state: '" + path + "' is corrupted: " + error.what());
  }
}

}  // namespace dla::tools
