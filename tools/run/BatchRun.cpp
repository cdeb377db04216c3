#include "BatchRun.h"

#include "Random.h"

namespace dla::tools {
// Both seedings of a setup (ResetCells, then PlaceAgents) take the same
// fixed value; only the second one is followed by draws, so the run is the
// window's run whose placement started from this seed.
TBatchRun::TBatchRun(const TRunSettings& settings)
    : world_(settings.Size.Width, settings.Size.Height,
             settings.Seed ? FixedSeed(*settings.Seed) : SeedClock(ClockSeed)),
      threshold_(settings.Threshold),
      maxSteps_(settings.MaxSteps) {
  world_.CreateAgents(settings.Agents);
}

}  // namespace dla::tools
