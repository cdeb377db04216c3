#include "BatchRun.h"

#include "Random.h"

namespace dla::tools {
namespace {

TWorld::Seeder SeederFor(const std::optional<std::uint32_t>& seed) {
  if (!seed) return SeedFromClock;
  // Both seedings of a setup (ResetCells, then PlaceAgents) set the same
  // value; only the second one is followed by draws, so the run is the
  // window's run whose placement started from this seed.
  return [value = *seed] { SetSeed(value); };
}

}  // namespace

TBatchRun::TBatchRun(const TRunSettings& settings)
    : world_(settings.Size.Width, settings.Size.Height, SeederFor(settings.Seed), settings.Paint),
      threshold_(settings.Threshold),
      maxSteps_(settings.MaxSteps) {
  world_.CreateAgents(settings.Agents);
}

}  // namespace dla::tools
