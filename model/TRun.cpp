#include "TRun.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "IntegerText.h"
#include "MemoryNeed.h"
#include "Random.h"
#include "TCheckpoint.h"
#include "TWorldState.h"

namespace dla {
namespace {

// Every seeding of a setup, ResetCells's and PlaceAgents's, reads the same
// clock. With a fixed seed both take it, and only the second is followed by
// draws, so the run is the one whose placement started from that seed.
SeedClock SetupClock(const std::optional<std::uint32_t>& seed) {
  return seed ? FixedSeed(*seed) : SeedClock(ClockSeed);
}

std::optional<std::uint16_t> ThresholdOf(std::string_view text) noexcept {
  try {
    return ThresholdFromText(text);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

// Refuses a run that the memory left cannot hold before any of it is
// taken; `held` bytes, a run's own that its new setup gives back, count as
// left.
void CheckMemory(std::int64_t width, std::int64_t height, std::int32_t agents, std::int64_t held) {
  if (!DrawingAreaFault(width, height).empty()) return;  // the world says why
  std::optional<std::int64_t> available = AvailableBytes();
  if (available) *available += held;
  if (const std::string fault = MemoryFault(width, height, agents, available); !fault.empty()) {
    throw std::invalid_argument(fault);
  }
}

const TRun::TSettings& MemoryChecked(const TRun::TSettings& settings) {
  CheckMemory(settings.DrawingWidth, settings.DrawingHeight, settings.Agents, 0);
  return settings;
}

}  // namespace

TRun::TRun(const TSettings& settings)
    : TRun(TWorld(MemoryChecked(settings).DrawingWidth, settings.DrawingHeight, SetupClock(settings.Seed)), settings,
           settings.ThresholdText) {
  world_.CreateAgents(settings.Agents);
}

TRun::TRun(TWorld world, const TSettings& settings, std::string thresholdText)
    : fixedSeed_(settings.Seed),
      world_(std::move(world)),
      thresholdText_(std::move(thresholdText)),
      threshold_(ThresholdOf(thresholdText_)),
      keepSeries_(settings.KeepSeries),
      series_(settings.OutlineBuckets) {
  if (!ThreadsRange.Holds(settings.Threads)) {
    throw std::invalid_argument("threads must be from 0 to " + std::to_string(ThreadsRange.Max) + ", not " +
                                std::to_string(settings.Threads));
  }
  const unsigned processors = std::thread::hardware_concurrency();
  world_.SetThreads(settings.Threads != 0 ? settings.Threads
                                          : static_cast<int>(std::clamp<unsigned>(processors, 1, RunDefaults.MaxThreads)));
  if (settings.KeepMeasures) {
    aggregates_.emplace(world_.GridColumns(), world_.GridRows());
    // A world read from a checkpoint holds aggregated cells already.
    aggregates_->Rebuild({world_.Shades(), static_cast<std::size_t>(world_.GridColumns()) *
                                               static_cast<std::size_t>(world_.GridRows())});
  }
}

TRun TRun::FromCheckpoint(const TCheckpoint& saved, const std::string& name, const TSettings& settings) {
  std::optional<TWorld> world;
  try {
    world.emplace(saved.World, SetupClock(settings.Seed));
  } catch (const std::invalid_argument& error) {
    throw std::runtime_error(name + " is corrupted: " + error.what());
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(name + " holds a world larger than the memory there is");
  }
  TRun run(std::move(*world), settings, saved.ThresholdText);
  // A step that found no agent free has neither agents left free nor new
  // aggregates: any agent stopped in a step stops in a cell that aggregated
  // in it. The converse holds for every world a run makes, where stuck
  // agents stand in aggregated cells and so cannot aggregate another.
  run.ended_ = run.world_.LastChange() == TWorld::TChange::Stepped && run.FreeAgents() == 0 &&
               run.world_.NewAggregates().empty();
  return run;
}

TRun TRun::Load(const std::string& path, const TSettings& settings) {
  return FromCheckpoint(TCheckpoint::Load(path), "'" + path + "'", settings);
}

TRun TRun::Decode(std::string_view bytes, const TSettings& settings) {
  const std::string name = "the saved run";
  TCheckpoint saved;
  try {
    saved = TCheckpoint::Decode(bytes);
  } catch (const std::invalid_argument& error) {
    throw std::runtime_error(name + " " + error.what());
  }
  return FromCheckpoint(saved, name, settings);
}

void TRun::RestoreSeries(const TFreeAgentsSeries& free, const TMeasuresSeries& measures) {
  const auto endsHere = [this](std::size_t count, std::int32_t first) {
    return count == 0 || std::int64_t{first} + static_cast<std::int64_t>(count) - 1 == Steps();
  };
  if (!endsHere(free.Count(), free.FirstStep()) || !endsHere(measures.Count(), measures.FirstStep()) ||
      (!measures.Empty() && !aggregates_)) {
    throw std::invalid_argument("series that do not end at step " + std::to_string(Steps()));
  }
  TFreeAgentsSeries restored(series_);
  restored.Clear();
  free.ForEach([&restored](std::int32_t step, std::int32_t value) { restored.Add(step, value); });
  series_ = std::move(restored);
  measuresSeries_ = measures;
}

AggregateMeasures TRun::Measures() const { return aggregates_ ? aggregates_->Measures() : MeasureAggregates(world_); }

std::string TRun::Save() const { return TCheckpoint{world_.State(), thresholdText_}.Encode(); }

void TRun::NewSetup(std::int32_t agents) {
  const std::int32_t width = world_.DrawingWidth(), height = world_.DrawingHeight();
  const auto held = static_cast<std::int32_t>(world_.AgentCount());
  if (agents > held) CheckMemory(width, height, agents, RunBytesNeeded(width, height, held));
  series_.Clear();
  measuresSeries_.Clear();
  world_.NewSetup(agents);
  if (aggregates_) aggregates_->Clear();
  ended_ = false;
}

void TRun::SetThresholdText(std::string text) {
  threshold_ = ThresholdFromText(text);
  thresholdText_ = std::move(text);
}

StepResult TRun::Step(std::string_view thresholdText) {
  if (thresholdText != thresholdText_) {
    // Converted first: a text that is no integer changes nothing.
    threshold_ = ThresholdFromText(thresholdText);
    thresholdText_.assign(thresholdText);
  }
  return Step();
}

StepResult TRun::Step() {
  if (!threshold_) throw EConvertError(thresholdText_);
  const StepResult result = world_.RunStep(*threshold_);
  if (keepSeries_) series_.Add(result.StepNumber, result.FreeAgents);
  if (aggregates_) {
    aggregates_->Add(world_.NewAggregates());
    measuresSeries_.Add(result.StepNumber, MeasureValues(aggregates_->Measures()));
  }
  if (!result.AnyFree) ended_ = true;
  return result;
}

std::string TRun::SuggestedName(std::string_view what) const {
  return "dla-seed" + std::to_string(Seed()) + "-step" + std::to_string(Steps()) + std::string(what);
}

}  // namespace dla
