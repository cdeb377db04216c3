#include "BatchRun.h"

#include <algorithm>
#include <limits>

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


// The seed given is the placement's, which the saved world already holds;
// a new setup is never made here, so the clock is never read.
TBatchRun::TBatchRun(const TRunSettings& settings, const TWorldState& state)
    : world_(state, FixedSeed(state.PlacementSeed)),
      threshold_(settings.Threshold),
      maxSteps_(static_cast<std::int32_t>(
          std::min<std::int64_t>(std::int64_t{state.StepCount} + settings.MaxSteps,
                                 std::numeric_limits<std::int32_t>::max()))) {
  // A step that found no agent free has neither agents left free nor new
  // aggregates: any agent stopped in a step stops in a cell that aggregated
  // in it. The converse holds for every world a run makes, where stuck
  // agents stand in aggregated cells and so cannot aggregate another.
  ended_ = world_.LastChange() == TWorld::TChange::Stepped && FreeAgents() == 0 &&
           world_.NewAggregates().empty();
}

}  // namespace dla::tools
