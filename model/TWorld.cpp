#include "TWorld.h"

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
      freshEntry_(lattice_.CellCount(), 0) {
  ResetCells();
}

void TWorld::ResetCells() {
  random_.Reseed(clock_());
  lattice_.Clear();
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

namespace {

// The cell of a position that placement, the step or SetAgents allows: the
// nearest integer to (v - 2) / 3.
inline std::size_t CellOf(std::int32_t x, std::int32_t y, std::size_t columns) noexcept {
  return static_cast<std::size_t>((y - 1) / 3) * columns + static_cast<std::size_t>((x - 1) / 3);
}

// A registration: one more, saturating.
inline void Count(std::int32_t& state) noexcept { state += state != Int32Max; }

// HeadingTurn(45 * (slot - 2)), by turn slot (TRandom::TurnSlot).
constexpr UInt128 SlotTurns[6] = {HeadingTurn(-90), HeadingTurn(-45), HeadingTurn(0),
                                  HeadingTurn(45),  HeadingTurn(90),  HeadingTurn(135)};

}  // namespace

void TWorld::StepEveryone(std::uint16_t threshold) {
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  const auto columns = static_cast<std::size_t>(GridColumns());
  // The open cells registered in during the last step, whoever counted
  // there: the stuck agents may stand in open cells.
  for (const std::uint32_t index : freeCells_) {
    if (shades[index] == 0) states[index] = 0;
  }
  for (const TStuckCell& stuck : stuck_) {
    if (shades[stuck.cell] == 0) states[stuck.cell] = 0;
  }

  TRandom draws = random_;
  for (TAgent& agent : agents_) {
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

  registered_.resize(agents_.size());
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    const std::size_t index = CellOf(agents_[k].X, agents_[k].Y, columns);
    Count(states[index]);
    registered_[k] = static_cast<std::uint32_t>(index);
  }

  // Every agent tests its cell; a cell with several is tested again with the
  // same result. The first agent of a cell in list order tests it, so the
  // later ones find it fresh.
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    const std::uint32_t index = registered_[k];
    TAgent& agent = agents_[k];
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
  SortOutAgents();
}

void TWorld::SortOutAgents() {
  free_.clear();
  freeCells_.clear();
  freeTurns_.clear();
  stuck_.clear();
  settled_ = true;
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    const std::uint32_t index = registered_[k];
    if (agents_[k].Moving == 1) {
      free_.push_back(static_cast<std::uint32_t>(k));
      freeCells_.push_back(index);
      freeTurns_.push_back(HeadingTurn(agents_[k].Heading));
      continue;
    }
    std::uint32_t& entry = freshEntry_[index];
    if (entry == 0) {
      stuck_.push_back({index, 0});
      entry = static_cast<std::uint32_t>(stuck_.size());
    }
    ++stuck_[entry - 1].agents;
    settled_ = settled_ && lattice_.Shades()[index] != 0;
  }
  for (const TStuckCell& stuck : stuck_) freshEntry_[stuck.cell] = 0;
}

void TWorld::MoveFree() {
  TRandom draws = random_;
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  TAgent* const agents = agents_.data();
  const std::uint32_t* const free = free_.data();
  std::uint32_t* const cells = freeCells_.data();
  UInt128* const turns = freeTurns_.data();
  const auto columns = static_cast<std::size_t>(GridColumns());
  const std::int32_t width = fieldWidth_, height = fieldHeight_;
  const std::size_t count = free_.size();
  for (std::size_t j = 0; j < count; ++j) {
    // The reset of the cell this agent registered in last step: none of
    // this step's registrations has happened yet.
    const std::uint32_t last = cells[j];
    if (shades[last] == 0) states[last] = 0;

    const std::int32_t slot = draws.TurnSlot();
    TAgent& agent = agents[free[j]];
    UInt128 turn = turns[j] + SlotTurns[slot];
    std::int32_t heading;
    if (__builtin_add_overflow(agent.Heading, 45 * (slot - 2), &heading)) [[unlikely]] {
      turn += heading < 0 ? 0 - (TurnPerRadian << 32) : TurnPerRadian << 32;
    }
    turns[j] = turn;
    agent.Heading = heading;
    const int sector = TurnSector(turn);
    agent.DX = SectorSine[sector];
    agent.DY = SectorCosine[sector];
    std::int32_t x = agent.X + 3 * agent.DX;
    std::int32_t y = agent.Y + 3 * agent.DY;
    if (x < 0) x = width - 2;
    if (x > width) x = 1;
    if (y < 0) y = height - 2;
    if (y > height) y = 1;
    agent.X = x;
    agent.Y = y;
    cells[j] = static_cast<std::uint32_t>(CellOf(x, y, columns));
  }
  random_ = draws;
}

void TWorld::RegisterFree() {
  std::int32_t* const states = lattice_.States();
  for (const std::uint32_t index : freeCells_) Count(states[index]);
  // The stuck agents' registrations, a cell at a time: saturating counts
  // come out alike in any order.
  for (const TStuckCell& stuck : stuck_) {
    std::int32_t& state = states[stuck.cell];
    state = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{state} + stuck.agents, Int32Max));
  }
}

void TWorld::TestFree(std::uint16_t threshold) {
  const std::uint8_t* const shades = lattice_.Shades();
  const std::size_t count = free_.size();
  std::size_t kept = 0;
  for (std::size_t j = 0; j < count; ++j) {
    const std::uint32_t index = freeCells_[j];
    TAgent& agent = agents_[free_[j]];
    bool stops = false;
    if (shades[index] != 0) {
      // Aggregated before this step, or in it by an agent earlier in the
      // list: only the latter stops the agent.
      if (const std::uint32_t entry = freshEntry_[index]; entry != 0) {
        ++stuck_[entry - 1].agents;
        stops = true;
      }
    } else if (threshold < lattice_.BlockSum((agent.X - 1) / 3, (agent.Y - 1) / 3)) {
      lattice_.Aggregate(index);
      newAggregates_.push_back(index);
      stuck_.push_back({index, 1});
      freshEntry_[index] = static_cast<std::uint32_t>(stuck_.size());
      ++aggregatedCells_;
      stops = true;
    }
    if (stops) {
      agent.Moving = 0;
      continue;
    }
    free_[kept] = free_[j];
    freeCells_[kept] = index;
    freeTurns_[kept] = freeTurns_[j];
    ++kept;
  }
  free_.resize(kept);
  freeCells_.resize(kept);
  freeTurns_.resize(kept);
  for (const std::uint32_t index : newAggregates_) freshEntry_[index] = 0;
}

StepResult TWorld::RunStep(std::uint16_t threshold) {
  if (stepCount_ == Int32Max) {
    throw std::overflow_error("the run has reached the last step that can be counted (2147483647)");
  }
  newAggregates_.clear();
  std::int32_t freeAgents;
  // Visiting every agent one by one is needed only when the agents may not
  // be as the last step left them, or some stuck one stands in an open
  // cell.
  if (agentsUnsorted_ || !settled_) {
    agentsUnsorted_ = false;
    freeAgents = static_cast<std::int32_t>(
        std::count_if(agents_.begin(), agents_.end(), [](const TAgent& a) { return a.Moving == 1; }));
    StepEveryone(threshold);
  } else {
    freeAgents = static_cast<std::int32_t>(free_.size());
    MoveFree();
    RegisterFree();
    TestFree(threshold);
  }
  ++stepCount_;
  lastChange_ = TChange::Stepped;
  return {freeAgents, freeAgents > 0, stepCount_};
}

}  // namespace dla
