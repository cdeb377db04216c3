#include "TWorld.h"

#include "TWorldState.h"

#include <algorithm>
#include <limits>
#include <numeric>
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
      fresh_(lattice_.CellCount(), 0) {
  ResetCells();
}

void TWorld::ResetCells() {
  random_.Reseed(clock_());
  lattice_.Clear();
  registered_.clear();
  newAggregates_.clear();
  // Stuck agents may now stand in open cells.
  agentsUnsorted_ = true;
  aggregatedCells_ = 0;
  lastChange_ = TChange::CellsReset;
}

void TWorld::CreateAgents(std::int32_t count) {
  if (count > 0) {
    if (static_cast<std::int64_t>(agents_.size()) + count > Int32Max) {
      throw std::length_error("a population holds at most 2147483647 agents");
    }
    agents_.resize(agents_.size() + static_cast<std::size_t>(count));
  }
  PlaceAgents();
}

void TWorld::PlaceAgents() {
  random_.Reseed(clock_());
  placementSeed_ = random_.Seed();
  for (TAgent& agent : agents_) {
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
  std::vector<TAgent>().swap(agents_);
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
  agents_ = std::move(agents);
  agentsUnsorted_ = true;
}

std::int32_t TWorld::StuckAgents() const noexcept {
  return static_cast<std::int32_t>(
      std::count_if(agents_.begin(), agents_.end(), [](const TAgent& a) { return a.Moving == 0; }));
}

void TWorld::MovePass() {
  TRandom draws = random_;
  for (const std::uint32_t k : free_) {
    TAgent& agent = agents_[k];
    agent.ChangeHeading(2, draws);
    agent.SetX(agent.X + 3 * agent.DX);
    agent.SetY(agent.Y + 3 * agent.DY);
    if (agent.X < 0) agent.SetX(fieldWidth_ - 2);
    if (agent.X > fieldWidth_) agent.SetX(1);
    if (agent.Y < 0) agent.SetY(fieldHeight_ - 2);
    if (agent.Y > fieldHeight_) agent.SetY(1);
  }
  random_ = draws;
}

template <bool Everyone>
void TWorld::RegisterPass() {
  const std::size_t count = Everyone ? agents_.size() : free_.size();
  registered_.resize(agents_.size());
  const TAgent* const agents = agents_.data();
  const std::uint32_t* const free = free_.data();
  std::int32_t* const states = lattice_.States();
  std::uint32_t* const registered = registered_.data();
  const auto columns = static_cast<std::size_t>(GridColumns());
  const auto agentAt = [&](std::size_t i) -> std::size_t {
    if constexpr (Everyone) {
      return i;
    } else {
      return free[i];
    }
  };
  // Cells lie all over the lattice; asking for those of a few agents ahead
  // keeps several memory reads in flight.
  constexpr std::size_t Ahead = 12;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + Ahead < count) {
      const TAgent& next = agents[agentAt(i + Ahead)];
      __builtin_prefetch(states + static_cast<std::size_t>((next.Y - 1) / 3) * columns +
                             static_cast<std::size_t>((next.X - 1) / 3), 1);
    }
    const std::size_t k = agentAt(i);
    const TAgent& agent = agents[k];
    // Nearest integer to (X - 2) / 3 for every position that placement, the
    // step and SetAgents allow.
    const std::size_t index = static_cast<std::size_t>((agent.Y - 1) / 3) * columns +
                              static_cast<std::size_t>((agent.X - 1) / 3);
    states[index] += states[index] != Int32Max;
    registered[k] = static_cast<std::uint32_t>(index);
  }
  if constexpr (!Everyone) {
    // The stuck agents' registrations: each adds one to its cell, in any
    // order, as the counts saturate alike.
    for (const std::uint32_t index : stuckCells_) states[index] += states[index] != Int32Max;
  }
}

void TWorld::AggregationPass(std::uint16_t threshold, const std::vector<std::uint32_t>& visited) {
  // Visits the agents that can stand in an open cell, so every cell that
  // can aggregate; a cell with several is tested again with the same
  // result. The first agent of a cell in list order tests it, so the later
  // ones find it fresh.
  const std::uint8_t* const shades = lattice_.Shades();
  for (const std::uint32_t k : visited) {
    const std::uint32_t index = registered_[k];
    TAgent& agent = agents_[k];
    if (shades[index] != 0) {
      if (fresh_[index] != 0) {
        agent.Moving = 0;
        stuckCells_.push_back(index);
      }
      continue;
    }
    if (threshold < lattice_.BlockSum((agent.X - 1) / 3, (agent.Y - 1) / 3)) {
      lattice_.Aggregate(index);
      fresh_[index] = 1;
      newAggregates_.push_back(index);
      agent.Moving = 0;
      stuckCells_.push_back(index);
      ++aggregatedCells_;
    }
  }
  for (const std::uint32_t index : newAggregates_) fresh_[index] = 0;
}

void TWorld::SortOutAgents() {
  free_.clear();
  stuckCells_.clear();
  settled_ = true;
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    if (agents_[k].Moving == 1) {
      free_.push_back(static_cast<std::uint32_t>(k));
    } else if (k < registered_.size()) {
      stuckCells_.push_back(registered_[k]);
      settled_ = settled_ && lattice_.Shades()[registered_[k]] != 0;
    } else {
      settled_ = false;
    }
  }
}

StepResult TWorld::RunStep(std::uint16_t threshold) {
  if (stepCount_ == Int32Max) {
    throw std::overflow_error("the run has reached the last step that can be counted (2147483647)");
  }
  // Counting every agent's registration one by one is needed only when the
  // agents may not be as the last step left them.
  const bool everyone = agentsUnsorted_ || !settled_;
  agentsUnsorted_ = false;

  // Reset pass: only the open cells registered in last step hold a State;
  // only free agents stand in open cells, unless the agents are unsorted.
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  if (everyone) {
    for (const std::uint32_t index : registered_) {
      if (shades[index] == 0) states[index] = 0;
    }
  } else {
    for (const std::uint32_t k : free_) {
      const std::uint32_t index = registered_[k];
      if (shades[index] == 0) states[index] = 0;
    }
  }
  newAggregates_.clear();

  // Agent pass, in two sweeps in list order: every free agent turns and
  // moves, then every agent registers in its cell.
  if (everyone) SortOutAgents();
  const auto freeAgents = static_cast<std::int32_t>(free_.size());
  MovePass();
  if (everyone) {
    RegisterPass<true>();
    everyone_.resize(agents_.size());
    std::iota(everyone_.begin(), everyone_.end(), 0u);
    stuckCells_.clear();
    AggregationPass(threshold, everyone_);
    SortOutAgents();
  } else {
    RegisterPass<false>();
    const std::size_t stuckBefore = stuckCells_.size();
    AggregationPass(threshold, free_);
    if (stuckCells_.size() != stuckBefore) {
      std::erase_if(free_, [this](std::uint32_t k) { return agents_[k].Moving != 1; });
    }
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
  state.Agents = agents_;
  state.States.assign(lattice_.States(), lattice_.States() + lattice_.CellCount());
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
    if (index >= cells || state.Shades[index] == 0 || fresh_[index] != 0) {
      throw fault("new aggregate " + std::to_string(index) + " is not a distinct aggregated cell");
    }
    fresh_[index] = 1;
  }
  for (const std::uint32_t index : state.NewAggregates) fresh_[index] = 0;
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
  // The step's bookkeeping, as after SetAgents: the first step visits every
  // agent and sorts them out. Its reset pass clears the open cells listed
  // in registered_, so they are listed here, whoever counted in them: the
  // state may come from a step, a placement or agents moved by hand.
  registered_.clear();
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] == 0 && state.States[i] != 0) {
      registered_.push_back(static_cast<std::uint32_t>(i));
    }
  }
  settled_ = false;
}

}  // namespace dla
