#include "TWorld.h"

#include "TWorldState.h"

#include <algorithm>
#include <chrono>
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
  if (const std::string fault = DrawingAreaFault(width, height); !fault.empty()) {
    throw std::invalid_argument(fault + ", not " + std::to_string(width) + "x" + std::to_string(height));
  }
  return side;
}

}  // namespace

std::string DrawingAreaFault(std::int64_t width, std::int64_t height) {
  if (width < 3 || height < 3) return "the drawing area must be at least 3x3 pixels";
  // Both sides are at least 3 here, so the test cannot overflow.
  if (width > MaxDrawingPixels / height) {
    return "the drawing area may hold at most " + std::to_string(MaxDrawingPixels) + " pixels";
  }
  return {};
}

TWorld::TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, SeedClock clock)
    : clock_(clock ? std::move(clock) : SeedClock(ClockSeed)),
      drawingWidth_(drawingWidth),
      drawingHeight_(drawingHeight),
      fieldWidth_(3 * GridCount(CheckedSide(drawingWidth, drawingHeight, drawingWidth))),
      fieldHeight_(3 * GridCount(drawingHeight)),
      lattice_(fieldWidth_ / 3, fieldHeight_ / 3),
      free_(lattice_.Columns(), lattice_.Rows()),
      youngPlace_(lattice_.CellCount(), 0) {
  ResetCells();
}

void TWorld::ResetCells() {
  if (stuckAgents_ != 0) {
    throw std::logic_error("the cells cannot be reopened under stuck agents");
  }
  random_.Reseed(clock_());
  lattice_.Clear();
  // Without stuck agents young_ and old_ are empty; the free agents' last
  // cells are cleared already.
  clearOpenCells_ = false;
  newAggregates_.clear();
  aggregatedCells_ = 0;
  lastChange_ = TChange::CellsReset;
}

void TWorld::CreateAgents(std::int32_t count) {
  std::vector<TAgent> agents = CopyAgents();
  if (count > 0) {
    if (static_cast<std::int64_t>(agents.size()) + count > Int32Max) {
      throw std::length_error("a population holds at most 2147483647 agents");
    }
    agents.resize(agents.size() + static_cast<std::size_t>(count));
  }
  Place(std::move(agents));
}

void TWorld::PlaceAgents() { Place(CopyAgents()); }

void TWorld::Place(std::vector<TAgent> agents) {
  random_.Reseed(clock_());
  placementSeed_ = random_.Seed();
  // Placement keeps each agent's step vector.
  for (TAgent& agent : agents) {
    agent.SetX(3 * random_.UniformBelow(GridColumns()) + 2);
    agent.SetY(3 * random_.UniformBelow(GridRows()) + 2);
    agent.SetHeading(45 * random_.UniformBelow(8));
    agent.SetRadius(1);
    agent.Moving = 1;
  }
  SortOut(std::move(agents));
  // Right after ResetCells no cell holds a count.
  clearOpenCells_ = clearOpenCells_ || lastChange_ != TChange::CellsReset;
  newAggregates_.clear();
  lastChange_ = TChange::AgentsPlaced;
}

void TWorld::NewSetup(std::int32_t count) {
  stepCount_ = 0;
  SortOut({});
  ResetCells();
  CreateAgents(count);
}

namespace {

// The cell of a position that placement, the step or SetAgents allows: the
// nearest integer to (v - 2) / 3.
inline std::size_t CellOf(std::int32_t x, std::int32_t y, std::size_t columns) noexcept {
  return static_cast<std::size_t>((y - 1) / 3) * columns + static_cast<std::size_t>((x - 1) / 3);
}

// A registration: one more, saturating.
inline void Count(std::int32_t& state) noexcept { state += state != Int32Max; }

// count registrations more, saturating.
inline std::int32_t Counted(std::int32_t state, std::int64_t count) noexcept {
  return static_cast<std::int32_t>(std::min<std::int64_t>(state + count, Int32Max));
}

// The same for a count of one cell's agents (both >= 0), in 32 bits.
inline std::int32_t Counted(std::int32_t state, std::int32_t count) noexcept {
  std::int32_t sum;
  return __builtin_add_overflow(state, count, &sum) ? Int32Max : sum;
}

// The step at whose registration a young cell, whose State is `state` after
// the registrations of step `step`, has surely gone over the threshold: it
// gains one a step at least. Where it has more agents it goes over sooner,
// but it waits for the cells made before it all the same. Every step after
// it counts no further than the last one.
inline std::int32_t DueStep(std::int32_t step, std::int32_t state, std::uint16_t threshold) noexcept {
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(std::int64_t{step} + std::max<std::int32_t>(threshold - state, 0) + 1, Int32Max));
}

}  // namespace

void TWorld::SetAgents(const std::vector<TAgent>& agents) {
  // Placement and the step keep every coordinate at 3i + 1 or 3i + 2; an
  // agent from outside must map to a cell after any move as well.
  const auto columns = static_cast<std::size_t>(GridColumns());
  for (std::size_t k = 0; k < agents.size(); ++k) {
    const TAgent& agent = agents[k];
    const bool moves = agent.Moving == 1;
    const auto fits = [moves](std::int32_t v, std::int32_t field) {
      return moves ? (v >= 1 && v < field && v % 3 != 0) : (v >= 1 && v <= field);
    };
    if (!fits(agent.X, fieldWidth_) || !fits(agent.Y, fieldHeight_)) {
      throw std::out_of_range("agent " + std::to_string(k) + " at (" + std::to_string(agent.X) + ", " +
                              std::to_string(agent.Y) + ") stands off the lattice");
    }
    if (agent.Moving != 0 && !moves) {
      throw std::invalid_argument("agent " + std::to_string(k) + " has Moving " + std::to_string(agent.Moving) +
                                  ", neither free nor stuck");
    }
    // Agents stop only where their cell aggregates, and cells reopen only
    // with a new population.
    if (!moves && lattice_.Shades()[CellOf(agent.X, agent.Y, columns)] == 0) {
      throw std::invalid_argument("agent " + std::to_string(k) + " is stuck in an open cell");
    }
  }
  if (agents.size() > static_cast<std::size_t>(Int32Max)) {
    throw std::length_error("a population holds at most 2147483647 agents");
  }
  SortOut(agents);
  clearOpenCells_ = true;
}

void TWorld::SortOut(std::vector<TAgent> agents) {
  // The States whole again before old_ goes.
  CatchUpOldCells();
  free_.Clear(agents.size());
  // A new population is timed anew: the trial's times were another's.
  threads_.Choice.Restart();
  stuckAgents_ = 0;
  young_.clear();
  youngFirst_ = 0;
  old_.clear();
  const auto columns = static_cast<std::size_t>(GridColumns());
  for (std::size_t k = 0; k < agents.size(); ++k) {
    TAgent& agent = agents[k];
    const auto index = static_cast<std::uint32_t>(CellOf(agent.X, agent.Y, columns));
    if (agent.Moving == 1) {
      free_.Add(static_cast<std::uint32_t>(k), agent, index);
      agent = TAgent{};
      continue;
    }
    ++stuckAgents_;
    std::uint32_t& place = youngPlace_[index];
    if (place == 0) {
      // Due at the first step, which knows the threshold: stepCount_,
      // since stepCount_ + 1 would overflow in a world saved at the last
      // step.
      young_.push_back({index, 0, stepCount_});
      place = static_cast<std::uint32_t>(young_.size());
    }
    ++young_[place - 1].agents;
  }
  for (const TStuckCell& stuck : young_) youngPlace_[stuck.cell] = 0;
  stuck_ = std::move(agents);
  // Room for every agent to stop, from here: lists grown step by step were
  // copied and touched anew in the first steps of every crowded run, and
  // a world made after another reuses the memory that one freed.
  young_.reserve(stuck_.size());
  old_.reserve(stuck_.size());
  stopped_.reserve(free_.Count());
  newAggregates_.reserve(free_.Count());
}

std::vector<TAgent> TWorld::CopyAgents() const {
  std::vector<TAgent> agents;
  agents.reserve(AgentCount());
  ForEachAgentInListOrder([&agents](const TAgent& agent) { agents.push_back(agent); });
  return agents;
}

std::vector<std::int32_t> TWorld::CopyStates() const {
  std::vector<std::int32_t> states(lattice_.States(), lattice_.States() + lattice_.CellCount());
  for (const TStuckCell& stuck : old_) {
    states[stuck.cell] = Counted(states[stuck.cell], std::int64_t{stuck.agents} * (stepCount_ - stuck.since));
  }
  return states;
}

void TWorld::CatchUpOldCells() noexcept {
  std::int32_t* const states = lattice_.States();
  for (TStuckCell& stuck : old_) {
    states[stuck.cell] = Counted(states[stuck.cell], std::int64_t{stuck.agents} * (stepCount_ - stuck.since));
    stuck.since = stepCount_;
  }
}

void TWorld::SetThreads(int n, std::size_t minimumFreeAgents, std::size_t minimumCells, bool always) {
  if (n < 1 || n > 256) {
    throw std::invalid_argument("a step shares out among 1 to 256 threads, not " + std::to_string(n));
  }
  threads_.Pool = n == 1 ? nullptr : std::make_unique<TStepThreads>(n);
  threads_.Count = n;
  threads_.MinimumFreeAgents = minimumFreeAgents;
  threads_.MinimumCells = minimumCells;
  threads_.Always = always;
  threads_.Choice.Restart();
}

int TWorld::Threads() const noexcept { return threads_.Count; }

void TWorld::RegisterFree(std::uint16_t threshold, TStepThreads* threads) {
  // The cells gone old stay before youngFirst_ until the room for this
  // step's new ones runs short: moving the rest down costs a copy of them.
  if (youngFirst_ != 0 && young_.size() + free_.Count() > young_.capacity()) {
    young_.erase(young_.begin(), young_.begin() + static_cast<std::ptrdiff_t>(youngFirst_));
    youngFirst_ = 0;
  }
  if (threshold >= lowestOld_ && !old_.empty()) {
    // A higher threshold than the old cells were sorted by: those not above
    // it are counted every step again.
    CatchUpOldCells();
    lowestOld_ = Int32Max;
    std::erase_if(old_, [&](const TStuckCell& stuck) {
      const std::int32_t state = lattice_.States()[stuck.cell];
      if (state > threshold) {
        lowestOld_ = std::min<std::int64_t>(lowestOld_, state);
        return false;
      }
      young_.push_back({stuck.cell, stuck.agents, DueStep(stepCount_, state, threshold)});
      return true;
    });
  }
  std::int32_t* const states = lattice_.States();
  const std::uint32_t* const cells = free_.Cells();
  const std::size_t count = free_.Count();
  if (threads == nullptr) {
#pragma GCC unroll 4
    for (std::size_t j = 0; j < count; ++j) Count(states[cells[j]]);
  } else {
#ifdef DLA_SHARED_STEP
    free_.RegisterShared(states, lattice_.AggregatedBits(), *threads);
#endif
  }
  // The young cells' stuck agents' registrations, a cell at a time:
  // saturating counts come out alike in any order.
  const std::size_t young = young_.size();
#pragma GCC unroll 4
  for (std::size_t k = youngFirst_; k < young; ++k) {
    std::int32_t& state = states[young_[k].cell];
    state = Counted(state, young_[k].agents);
  }
  // The cells due, which came first, are held back from here on, unless
  // the threshold has risen above their State since they came: those are
  // due again later. A cell that went over the threshold before it was due
  // was counted exactly till then, which is never wrong.
  const std::int32_t step = stepCount_ + 1;
  for (; youngFirst_ < young && young_[youngFirst_].since <= step; ++youngFirst_) {
    TStuckCell stuck = young_[youngFirst_];
    const std::int32_t state = states[stuck.cell];
    if (state <= threshold) {
      young_.push_back({stuck.cell, stuck.agents, DueStep(step, state, threshold)});
      continue;
    }
    stuck.since = step;
    old_.push_back(stuck);
    lowestOld_ = old_.size() == 1 ? state : std::min<std::int64_t>(lowestOld_, state);
  }
}

void TWorld::TestFree(std::uint16_t threshold, TStepThreads* threads) {
  const std::uint8_t* const shades = lattice_.Shades();
  const std::uint32_t* const cells = free_.Cells();
  // Only the agents in crowded blocks can stop; the rest keep moving.
  std::size_t crowded = free_.ListCrowded(lattice_.States(), threshold, crowded_, threads);
  // An agent on aggregate never stops (shades are 0 or 255). Where many
  // stop, a fifth of the agents listed stand on aggregate; leaving them
  // out first, without a branch, spares the test one that it mostly
  // guesses wrong.
  std::size_t open = 0;
  for (std::size_t i = 0; i < crowded; ++i) {
    const std::uint32_t entry = crowded_[i];
    crowded_[open] = entry;
    open += shades[cells[entry & ~TFreeAgents::SumOverThreshold]] == 0;
  }
  crowded = open;
  stopped_.clear();
  const std::int32_t* const states = lattice_.States();
  const std::int32_t step = stepCount_ + 1;
  for (std::size_t i = 0; i < crowded; ++i) {
    const std::uint32_t j = crowded_[i] & ~TFreeAgents::SumOverThreshold;
    const bool over = (crowded_[i] & TFreeAgents::SumOverThreshold) != 0;
    const std::uint32_t index = cells[j];
    if (shades[index] != 0) {
      // Every cell listed was open before this step: this one aggregated
      // in it, for an agent earlier in the list.
      stopped_.push_back(j);
      continue;
    }
    if (over || threshold < lattice_.BlockSum(free_.Column(j), free_.Row(j))) {
      lattice_.Aggregate(index);
      newAggregates_.push_back(index);
      // The agents in a cell share its block, so every free agent that
      // registered in it stops here: this one, the first in the list, and
      // those after it. Its State, open until now, counts them.
      young_.push_back({index, states[index], DueStep(step, states[index], threshold)});
      stopped_.push_back(j);
    }
  }
  aggregatedCells_ += static_cast<std::int32_t>(newAggregates_.size());
  if (stopped_.empty()) return;
  // The stopped agents never move again: their entries are final.
  const std::uint32_t* const indexes = free_.Indexes();
  for (const std::uint32_t j : stopped_) {
    TAgent agent = free_.Agent(j);
    agent.Moving = 0;
    stuck_[indexes[j]] = agent;
    ++stuckAgents_;
  }
  free_.Remove(stopped_, threads);
}

StepResult TWorld::RunStep(std::uint16_t threshold) {
  if (stepCount_ == Int32Max) {
    throw std::overflow_error("the run has reached the last step that can be counted (2147483647)");
  }
  newAggregates_.clear();
  if (clearOpenCells_) {
    clearOpenCells_ = false;
    std::int32_t* const states = lattice_.States();
    const std::uint8_t* const shades = lattice_.Shades();
    for (std::size_t i = 0; i < lattice_.CellCount(); ++i) {
      if (shades[i] == 0) states[i] = 0;
    }
  }
  const auto freeAgents = static_cast<std::int32_t>(free_.Count());
  TStepThreads* threads = nullptr;
#ifdef DLA_SHARED_STEP
  const bool mayShare = threads_.Count > 1 && free_.Count() >= threads_.MinimumFreeAgents &&
                        lattice_.CellCount() >= threads_.MinimumCells;
  const bool timed = mayShare && !threads_.Always;
  if (mayShare && (threads_.Always || threads_.Choice.Shared())) {
    if (!threads_.Pool) threads_.Pool = std::make_unique<TStepThreads>(threads_.Count);
    threads = threads_.Pool.get();
  }
  const auto start = timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{};
#endif
  free_.Move(random_, lattice_.States(), lattice_.AggregatedBits(), threads);
  RegisterFree(threshold, threads);
  TestFree(threshold, threads);
#ifdef DLA_SHARED_STEP
  if (timed) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    threads_.Choice.Record(took.count(), static_cast<std::size_t>(freeAgents));
  }
#endif
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
  state.Agents = CopyAgents();
  state.States = CopyStates();
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
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] != 0 && state.Shades[i] != 255) {
      throw fault("cell " + std::to_string(i) + " has shade " + std::to_string(state.Shades[i]));
    }
    if (state.States[i] < 0) throw fault("cell " + std::to_string(i) + " has a negative count");
  }
  if (!state.NewAggregates.empty() && state.LastChange != TChange::Stepped) {
    throw fault("new aggregates without a step that made them");
  }
  std::vector<bool> listed(cells, false);
  for (const std::uint32_t index : state.NewAggregates) {
    if (index >= cells || state.Shades[index] == 0 || listed[index]) {
      throw fault("new aggregate " + std::to_string(index) + " is not a distinct aggregated cell");
    }
    listed[index] = true;
  }
  std::copy(state.States.begin(), state.States.end(), lattice_.States());
  for (std::size_t i = 0; i < cells; ++i) {
    if (state.Shades[i] != 0) {
      lattice_.Aggregate(i);
      ++aggregatedCells_;
    }
  }
  stepCount_ = state.StepCount;
  // The stuck agents are checked against the shades just set; the first
  // step clears the open cells, whoever counted in them: the state may come
  // from a step or a placement.
  try {
    SetAgents(state.Agents);
  } catch (const std::exception& error) {
    throw fault(error.what());
  }
  newAggregates_ = state.NewAggregates;
  random_.Reseed(state.Seed);
  placementSeed_ = state.PlacementSeed;
  lastChange_ = state.LastChange;
}

}  // namespace dla
