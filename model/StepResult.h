// What one simulation step reports.
#pragma once

#include <cstdint>

namespace dla {

struct StepResult {
  // Agents that were free when the agent pass reached them (those that
  // moved), including the ones stopped later in the same step.
  std::int32_t FreeAgents = 0;
  // FreeAgents > 0. False ends the run.
  bool AnyFree = false;
  // StepCount after the step; 1 for the first step after a setup.
  std::int32_t StepNumber = 0;
};

}  // namespace dla
