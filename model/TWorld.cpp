#include "TWorld.h"

#include "TWorldState.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace dla {

namespace {

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t GridCount(std::int32_t pixels) {
  return Low32(RoundHalfEven(static_cast<long double>(pixels) / 3.0L));
}

std::int32_t CheckedSide(std::int32_t width, std::int32_t height, std::int32_t side) {
  if (width < 3 || height < 3) {
    throw std::invalid_argument("the drawing area must be at least 3 x 3 pixels, not " +
                                std::to_string(width) + " x " + std::to_string(height));
  }
  if (static_cast<std::int64_t>(width) * height > MaxDrawingPixels) {
    throw std::invalid_argument("the drawing area " + std::to_string(width) + " x " +
                                std::to_string(height) + " is larger than 2^28 pixels");
  }
  return side;
}

}  // namespace

TWorld::TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, SeedClock clock)
    : clock_(clock ? std::move(clock) : SeedClock(ClockSeed)),
      drawingWidth_(drawingWidth),
      drawingHeight_(drawingHeight),
      fieldWidth_(3 * GridCount(CheckedSide(drawingWidth, drawingHeight, drawingWidth))),
      fieldHeight_(3 * GridCount(drawingHeight)),
      lattice_(fieldWidth_ / 3, fieldHeight_ / 3),
      free_(lattice_.Columns(), lattice_.Rows()),
      freshEntry_(lattice_.CellCount(), 0) {
  ResetCells();
}

void TWorld::ResetCells() {
  random_.Reseed(clock_());
  lattice_.Clear();
  // Nothing to add to cells that are cleared, nor to clear in them.
  young_.clear();
  old_.clear();
  statesBehind_ = false;
  newAggregates_.clear();
  // Stuck agents may now stand in open cells.
  agentsUnsorted_ = true;
  aggregatedCells_ = 0;
  lastChange_ = TChange::CellsReset;
}

void TWorld::CreateAgents(std::int32_t count) {
  if (count > 0) {
    if (static_cast<std::int64_t>(population_.size()) + count > Int32Max) {
      throw std::length_error("a population holds at most 2147483647 agents");
    }
    if (agentsBehind_) WriteBackFreeAgents();
    population_.resize(population_.size() + static_cast<std::size_t>(count));
  }
  PlaceAgents();
}

void TWorld::PlaceAgents() {
  random_.Reseed(clock_());
  placementSeed_ = random_.Seed();
  // Placement keeps each agent's step vector.
  if (agentsBehind_) WriteBackFreeAgents();
  for (TAgent& agent : population_) {
    agent.SetX(3 * random_.UniformBelow(GridColumns()) + 2);
    agent.SetY(3 * random_.UniformBelow(GridRows()) + 2);
    agent.SetHeading(45 * random_.UniformBelow(8));
    agent.SetRadius(1);
    agent.Moving = 1;
  }
  newAggregates_.clear();
  agentsUnsorted_ = true;
  lastChange_ = TChange::AgentsPlaced;
}

void TWorld::NewSetup(std::int32_t count) {
  stepCount_ = 0;
  std::vector<TAgent>().swap(population_);
  agentsBehind_ = false;
  ResetCells();
  CreateAgents(count);
}

void TWorld::SetAgents(std::vector<TAgent> agents) {
  // Placement and the step keep every coordinate at 3i + 1 or 3i + 2; an
  // agent from outside must map to a cell after any move as well.
  for (std::size_t k = 0; k < agents.size(); ++k) {
    const TAgent& agent = agents[k];
    const bool moves = agent.Moving == 1;
    const auto fits = [moves](std::int32_t v, std::int32_t field) {
      return moves ? (v >= 1 && v < field && v % 3 != 0) : (v >= 1 && v <= field);
    };
    if (!fits(agent.X, fieldWidth_) || !fits(agent.Y, fieldHeight_)) {
      throw std::out_of_range("agent " + std::to_string(k) + " at (" + std::to_string(agent.X) +
                              ", " + std::to_string(agent.Y) + ") stands off the lattice");
    }
  }
  if (agents.size() > static_cast<std::size_t>(Int32Max)) {
    throw std::length_error("a population holds at most 2147483647 agents");
  }
  population_ = std::move(agents);
  agentsBehind_ = false;
  agentsUnsorted_ = true;
}

std::int32_t TWorld::StuckAgents() const noexcept {
  return static_cast<std::int32_t>(
      std::count_if(population_.begin(), population_.end(), [](const TAgent& a) { return a.Moving == 0; }));
}

namespace {

// The cell of a position that placement, the step or SetAgents allows: the
// nearest integer to (v - 2) / 3.
inline std::size_t CellOf(std::int32_t x, std::int32_t y, std::size_t columns) noexcept {
  return static_cast<std::size_t>((y - 1) / 3) * columns + static_cast<std::size_t>((x - 1) / 3);
}

// A registration: one more, saturating.
inline void Count(std::int32_t& state) noexcept { state += state != Int32Max; }

}  // namespace

void TWorld::WriteBackFreeAgents() const noexcept {
  const std::uint32_t* const indexes = free_.Indexes();
  for (std::size_t j = 0; j < free_.Count(); ++j) free_.WriteTo(j, population_[indexes[j]]);
  agentsBehind_ = false;
}

void TWorld::CatchUpStates() const noexcept {
  std::int32_t* const states = lattice_.States();
  for (TStuckCell& stuck : old_) {
    std::int32_t& state = states[stuck.cell];
    const std::int64_t added = std::int64_t{stuck.agents} * (stepCount_ - stuck.since);
    state = static_cast<std::int32_t>(std::min<std::int64_t>(state + added, Int32Max));
    stuck.since = stepCount_;
  }
  statesBehind_ = false;
}

void TWorld::ClearLastRegistrations() {
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  // Whoever counted there: the stuck agents may stand in open cells.
  const std::uint32_t* const freeCells = free_.Cells();
  for (std::size_t j = 0; j < free_.Count(); ++j) {
    if (shades[freeCells[j]] == 0) states[freeCells[j]] = 0;
  }
  for (const std::vector<TStuckCell>* stuckCells : {&young_, &old_}) {
    for (const TStuckCell& stuck : *stuckCells) {
      if (shades[stuck.cell] == 0) states[stuck.cell] = 0;
    }
  }
}

void TWorld::StepEveryone(std::uint16_t threshold) {
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  const auto columns = static_cast<std::size_t>(GridColumns());
  TRandom draws = random_;
  for (TAgent& agent : population_) {
    if (agent.Moving != 1) continue;
    agent.ChangeHeading(2, draws);
    agent.SetX(agent.X + 3 * agent.DX);
    agent.SetY(agent.Y + 3 * agent.DY);
    if (agent.X < 0) agent.SetX(fieldWidth_ - 2);
    if (agent.X > fieldWidth_) agent.SetX(1);
    if (agent.Y < 0) agent.SetY(fieldHeight_ - 2);
    if (agent.Y > fieldHeight_) agent.SetY(1);
  }
  random_ = draws;

  registered_.resize(population_.size());
  for (std::size_t k = 0; k < population_.size(); ++k) {
    const std::size_t index = CellOf(population_[k].X, population_[k].Y, columns);
    Count(states[index]);
    registered_[k] = static_cast<std::uint32_t>(index);
  }

  // Every agent tests its cell; a cell with several is tested again with the
  // same result. The first agent of a cell in list order tests it, so the
  // later ones find it fresh.
  for (std::size_t k = 0; k < population_.size(); ++k) {
    const std::uint32_t index = registered_[k];
    TAgent& agent = population_[k];
    if (shades[index] != 0) {
      if (freshEntry_[index] != 0) agent.Moving = 0;
      continue;
    }
    if (threshold < lattice_.BlockSum((agent.X - 1) / 3, (agent.Y - 1) / 3)) {
      lattice_.Aggregate(index);
      freshEntry_[index] = 1;
      newAggregates_.push_back(index);
      agent.Moving = 0;
      ++aggregatedCells_;
    }
  }
  for (const std::uint32_t index : newAggregates_) freshEntry_[index] = 0;
}

void TWorld::SortOutAgents() {
  free_.Clear();
  young_.clear();
  old_.clear();
  settled_ = true;
  const auto columns = static_cast<std::size_t>(GridColumns());
  for (std::size_t k = 0; k < population_.size(); ++k) {
    const TAgent& agent = population_[k];
    const auto index = static_cast<std::uint32_t>(CellOf(agent.X, agent.Y, columns));
    if (agent.Moving == 1) {
      free_.Add(static_cast<std::uint32_t>(k), agent, index);
      continue;
    }
    std::uint32_t& entry = freshEntry_[index];
    if (entry == 0) {
      young_.push_back({index, 0, stepCount_ + 1});
      entry = static_cast<std::uint32_t>(young_.size());
    }
    ++young_[entry - 1].agents;
    settled_ = settled_ && lattice_.Shades()[index] != 0;
  }
  for (const TStuckCell& stuck : young_) freshEntry_[stuck.cell] = 0;
}

void TWorld::RegisterFree(std::uint16_t threshold) {
  if (threshold >= lowestOld_ && !old_.empty()) {
    // A higher threshold than the old cells were sorted by: those not above
    // it are counted every step again.
    CatchUpStates();
    lowestOld_ = Int32Max;
    std::erase_if(old_, [&](const TStuckCell& stuck) {
      const std::int32_t state = lattice_.States()[stuck.cell];
      if (state > threshold) {
        lowestOld_ = std::min<std::int64_t>(lowestOld_, state);
        return false;
      }
      young_.push_back(stuck);
      return true;
    });
  }
  std::int32_t* const states = lattice_.States();
  const std::uint32_t* const cells = free_.Cells();
  const std::size_t count = free_.Count();
#pragma GCC unroll 4
  for (std::size_t j = 0; j < count; ++j) Count(states[cells[j]]);
  // The young cells' stuck agents' registrations, a cell at a time:
  // saturating counts come out alike in any order. A cell whose State now
  // exceeds the threshold leaves the rest to CatchUpStates.
  const std::int32_t step = stepCount_ + 1;
  std::erase_if(young_, [&](TStuckCell& stuck) {
    std::int32_t& state = states[stuck.cell];
    state = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{state} + stuck.agents, Int32Max));
    if (state <= threshold) return false;
    stuck.since = step;
    old_.push_back(stuck);
    lowestOld_ = old_.size() == 1 ? state : std::min<std::int64_t>(lowestOld_, state);
    return true;
  });
  statesBehind_ = !old_.empty();
}

void TWorld::TestFree(std::uint16_t threshold) {
  const std::uint8_t* const shades = lattice_.Shades();
  const std::uint32_t* const cells = free_.Cells();
  // Only the agents in crowded blocks can stop; the rest keep moving.
  const std::size_t crowded = free_.ListCrowded(lattice_.States(), threshold, crowded_);
  stopped_.clear();
  for (std::size_t i = 0; i < crowded; ++i) {
    const std::uint32_t j = crowded_[i] & ~TFreeAgents::SumOverThreshold;
    const bool over = (crowded_[i] & TFreeAgents::SumOverThreshold) != 0;
    const std::uint32_t index = cells[j];
    if (shades[index] != 0) {
      // Aggregated before this step, or in it by an agent earlier in the
      // list: only the latter stops the agent.
      if (const std::uint32_t entry = freshEntry_[index]; entry != 0) {
        ++young_[entry - 1].agents;
        stopped_.push_back(j);
      }
      continue;
    }
    if (over || threshold < lattice_.BlockSum(free_.Column(j), free_.Row(j))) {
      lattice_.Aggregate(index);
      newAggregates_.push_back(index);
      young_.push_back({index, 1, stepCount_ + 1});
      freshEntry_[index] = static_cast<std::uint32_t>(young_.size());
      ++aggregatedCells_;
      stopped_.push_back(j);
    }
  }
  for (const std::uint32_t index : newAggregates_) freshEntry_[index] = 0;
  if (stopped_.empty()) return;
  // The stopped agents never move again: their entries are final.
  const std::uint32_t* const indexes = free_.Indexes();
  for (const std::uint32_t j : stopped_) {
    TAgent& agent = population_[indexes[j]];
    free_.WriteTo(j, agent);
    agent.Moving = 0;
  }
  free_.Remove(stopped_);
}

StepResult TWorld::RunStep(std::uint16_t threshold) {
  if (stepCount_ == Int32Max) {
    throw std::overflow_error("the run has reached the last step that can be counted (2147483647)");
  }
  newAggregates_.clear();
  if (agentsUnsorted_ || !settled_) {
    // The agents may not be as the last step left them, or some stuck one
    // stands in an open cell: the cells registered in are cleared for all
    // of them, the agents sorted out again where they stand.
    if (agentsBehind_) WriteBackFreeAgents();
    if (statesBehind_) CatchUpStates();
    ClearLastRegistrations();
    if (agentsUnsorted_) {
      agentsUnsorted_ = false;
      SortOutAgents();
    }
  }
  const auto freeAgents = static_cast<std::int32_t>(free_.Count());
  if (!settled_) {
    // A stuck agent in an open cell counts and may aggregate it like a free
    // one: every agent is visited one by one.
    StepEveryone(threshold);
    SortOutAgents();
  } else {
    free_.Move(random_, lattice_.States(), lattice_.AggregatedBits());
    agentsBehind_ = freeAgents > 0;
    RegisterFree(threshold);
    TestFree(threshold);
  }
  ++stepCount_;
  lastChange_ = TChange::Stepped;
  return {freeAgents, freeAgents > 0, stepCount_};
}

TWorldState TWorld::State() const {
  TWorldState state;
  state.DrawingWidth = drawingWidth_;
  state.DrawingHeight = drawingHeight_;
  state.StepCount = stepCount_;
  state.Seed = random_.Seed();
  state.PlacementSeed = placementSeed_;
  state.LastChange = lastChange_;
  state.Agents = Agents();
  state.States.assign(States(), States() + lattice_.CellCount());
  state.Shades.assign(lattice_.Shades(), lattice_.Shades() + lattice_.CellCount());
  state.NewAggregates = newAggregates_;
  return state;
}

TWorld::TWorld(const TWorldState& state, SeedClock clock)
    : TWorld(state.DrawingWidth, state.DrawingHeight, std::move(clock)) {
  const auto fault = [](const std::string& what) { return std::invalid_argument(what); };
  const std::size_t cells = lattice_.CellCount();
  if (state.States.size() != cells || state.Shades.size() != cells) {
    throw fault("the state holds " + std::to_string(state.States.size()) + " counts and " +
                std::to_string(state.Shades.size()) + " shades for " + std::to_string(cells) +
                " cells");
  }
  if (state.StepCount < 0) throw fault("the step count is negative");
  if (state.LastChange != TChange::CellsReset && state.LastChange != TChange::AgentsPlaced &&
      state.LastChange != TChange::Stepped) {
    throw fault("the last change is of no known kind");
  }
  std::int32_t aggregated = 0;
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] != 0 && state.Shades[i] != 255) {
      throw fault("cell " + std::to_string(i) + " has shade " + std::to_string(state.Shades[i]));
    }
    if (state.States[i] < 0) throw fault("cell " + std::to_string(i) + " has a negative count");
    aggregated += state.Shades[i] != 0;
  }
  if (!state.NewAggregates.empty() && state.LastChange != TChange::Stepped) {
    throw fault("new aggregates without a step that made them");
  }
  for (const std::uint32_t index : state.NewAggregates) {
    if (index >= cells || state.Shades[index] == 0 || freshEntry_[index] != 0) {
      throw fault("new aggregate " + std::to_string(index) + " is not a distinct aggregated cell");
    }
    freshEntry_[index] = 1;
  }
  for (const std::uint32_t index : state.NewAggregates) freshEntry_[index] = 0;
  try {
    SetAgents(state.Agents);
  } catch (const std::exception& error) {
    throw fault(error.what());
  }

  std::copy(state.States.begin(), state.States.end(), lattice_.States());
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] != 0) lattice_.Aggregate(i);
  }
  aggregatedCells_ = aggregated;
  newAggregates_ = state.NewAggregates;
  random_.Reseed(state.Seed);
  placementSeed_ = state.PlacementSeed;
  stepCount_ = state.StepCount;
  lastChange_ = state.LastChange;
  // The step's bookkeeping, as after SetAgents: the first step sorts the
  // agents out where they stand. Its reset clears the open cells that the
  // last step's agents registered in, so they are listed here as cells of
  // no stuck agent, whoever counted in them: the state may come from a
  // step, a placement or agents moved by hand.
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] == 0 && state.States[i] != 0) {
      young_.push_back({static_cast<std::uint32_t>(i), 0, stepCount_ + 1});
    }
  }
}

}  // namespace dla
