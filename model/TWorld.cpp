#include "TWorld.h"

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

TWorld::TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, Seeder seeder,
               Painting painting)
    : seeder_(std::move(seeder)),
      fieldWidth_(3 * GridCount(CheckedSide(drawingWidth, drawingHeight, drawingWidth))),
      fieldHeight_(3 * GridCount(drawingHeight)),
      lattice_(fieldWidth_ / 3, fieldHeight_ / 3),
      picture_(drawingWidth, drawingHeight, painting == Painting::On),
      fresh_(lattice_.CellCount(), 0) {
  if (!seeder_) seeder_ = SeedFromClock;
  ResetCells();
}

void TWorld::SortRegistrationsByCell() const {
  cellAgentStart_.assign(lattice_.CellCount() + 1, 0);
  for (const std::uint32_t index : registered_) ++cellAgentStart_[index + 1];
  for (std::size_t i = 1; i < cellAgentStart_.size(); ++i) cellAgentStart_[i] += cellAgentStart_[i - 1];
  cellAgents_.resize(registered_.size());
  std::vector<std::int32_t> next(cellAgentStart_.begin(), cellAgentStart_.end() - 1);
  for (std::size_t k = 0; k < registered_.size(); ++k) {
    cellAgents_[static_cast<std::size_t>(next[registered_[k]]++)] = static_cast<std::int32_t>(k);
  }
  cellAgentsSorted_ = true;
}

TCellView TWorld::Cell(std::int32_t column, std::int32_t row) const {
  if (!cellAgentsSorted_) SortRegistrationsByCell();
  const std::size_t index = lattice_.IndexOf(column, row);
  const std::int32_t first = cellAgentStart_[index];
  const std::int32_t last = cellAgentStart_[index + 1];
  const std::int64_t sum = lattice_.BlockSum(column, row);
  return TCellView(column, row, lattice_.States()[index],
                   static_cast<std::int32_t>(std::min<std::int64_t>(sum, Int32Max)),
                   lattice_.Shades()[index],
                   std::span<const std::int32_t>(cellAgents_.data() + first,
                                                 static_cast<std::size_t>(last - first)));
}

void TWorld::ResetCells() {
  seeder_();
  lattice_.Clear();
  // Every pixel lies under some cell's square, so painting every cell
  // white in order leaves the whole picture white.
  picture_.Clear();
  registered_.clear();
  cellAgentsSorted_ = false;
  // Stuck agents may now stand in open cells.
  agentsUnsorted_ = true;
  aggregatedCells_ = 0;
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
  seeder_();
  placementSeed_ = Seed();
  for (TAgent& agent : agents_) {
    const std::int32_t column = UniformBelow(GridColumns());
    agent.SetX(3 * column + 2);
    const std::int32_t row = UniformBelow(GridRows());
    agent.SetY(3 * row + 2);
    agent.SetHeading(45 * UniformBelow(8));
    agent.SetRadius(1);
    agent.Moving = 1;
    if (Paints()) picture_.PaintPlaced(agent, lattice_.IndexOf(column, row));
  }
  largeDots_ = false;
  agentsUnsorted_ = true;
  // Stuck agents may have left aggregated squares that no one repaints.
  if (aggregatedCells_ > 0) picture_.RepaintAllNext();
}

void TWorld::NewSetup(std::int32_t count) {
  stepCount_ = 0;
  std::vector<TAgent>().swap(agents_);
  ResetCells();
  CreateAgents(count);
}

std::int32_t TWorld::StuckAgents() const noexcept {
  return static_cast<std::int32_t>(
      std::count_if(agents_.begin(), agents_.end(), [](const TAgent& a) { return a.Moving == 0; }));
}

void TWorld::CheckChangedAgents() {
  // Placement and the step keep every coordinate at 3i + 1 or 3i + 2; an
  // agent changed by hand is checked so that its cell exists after the move.
  largeDots_ = false;
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    const TAgent& agent = agents_[k];
    largeDots_ = largeDots_ || agent.Radius != 1;
    const bool moves = agent.Moving == 1;
    const auto fits = [moves](std::int32_t v, std::int32_t field) {
      return moves ? (v >= 1 && v < field && v % 3 != 0) : (v >= 1 && v <= field);
    };
    if (!fits(agent.X, fieldWidth_) || !fits(agent.Y, fieldHeight_)) {
      throw std::out_of_range("agent " + std::to_string(k) + " at (" + std::to_string(agent.X) +
                              ", " + std::to_string(agent.Y) + ") stands off the lattice");
    }
  }
}

void TWorld::MovePassOfFreeAgents() {
  SeedStream draws;
  for (const std::uint32_t k : free_) {
    TAgent& agent = agents_[k];
    // Always true unless changed through a reference kept past a step.
    if (agent.Moving != 1) continue;
    agent.ChangeHeading(2, draws);
    agent.SetX(agent.X + 3 * agent.DX);
    agent.SetY(agent.Y + 3 * agent.DY);
    if (agent.X < 0) agent.SetX(fieldWidth_ - 2);
    if (agent.X > fieldWidth_) agent.SetX(1);
    if (agent.Y < 0) agent.SetY(fieldHeight_ - 2);
    if (agent.Y > fieldHeight_) agent.SetY(1);
  }
}

template <bool Paint, bool AllSquares, bool Everyone>
void TWorld::RegisterAndPaint() {
  // Visits the free agents only, unless there is painting to do or every
  // registration is to be counted here.
  constexpr bool FreeOnly = !Paint && !Everyone;
  const std::size_t count = FreeOnly ? free_.size() : agents_.size();
  registered_.resize(agents_.size());
  const TAgent* const agents = agents_.data();
  const std::uint32_t* const free = free_.data();
  std::int32_t* const states = lattice_.States();
  std::uint32_t* const registered = registered_.data();
  const std::uint8_t* const marks = lattice_.Marks();
  const std::size_t columns = static_cast<std::size_t>(GridColumns());
  const auto width = static_cast<std::uint32_t>(fieldWidth_);
  const auto height = static_cast<std::uint32_t>(fieldHeight_);
  TPicture::Brush brush = Paint ? picture_.StartSweep(count) : TPicture::Brush();
  const auto agentAt = [&](std::size_t i) -> std::size_t {
    if constexpr (FreeOnly) {
      return free[i];
    } else {
      return i;
    }
  };
  // Cells and dots lie all over the lattice; asking for those of a few
  // agents ahead keeps several memory reads in flight.
  constexpr std::size_t Ahead = 12;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + Ahead < count) {
      const TAgent& next = agents[agentAt(i + Ahead)];
      if (static_cast<std::uint32_t>(next.X - 1) < width && static_cast<std::uint32_t>(next.Y - 1) < height) {
        const std::size_t at = static_cast<std::size_t>((next.Y - 1) / 3) * columns +
                               static_cast<std::size_t>((next.X - 1) / 3);
        __builtin_prefetch(states + at, 1);
        if constexpr (Paint) {
          __builtin_prefetch(marks + at, 1);
          __builtin_prefetch(brush.DotPixel(next), 1);
        }
      }
    }
    const std::size_t k = agentAt(i);
    const TAgent& agent = agents[k];
    if (static_cast<std::uint32_t>(agent.X - 1) >= width ||
        static_cast<std::uint32_t>(agent.Y - 1) >= height) {
      // Only an agent changed through a reference kept from before the last
      // step gets here; stop rather than write outside the lattice.
      throw std::logic_error("agent " + std::to_string(k) +
                             " was moved off the lattice behind the world's back");
    }
    // Nearest integer to (X - 2) / 3 for the positions checked before.
    const std::int32_t column = (agent.X - 1) / 3;
    const std::int32_t row = (agent.Y - 1) / 3;
    const std::size_t index = static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(column);
    if (FreeOnly || Everyone || agent.Moving == 1) {
      states[index] += states[index] != Int32Max;
      registered[k] = static_cast<std::uint32_t>(index);
    }
    if constexpr (Paint) {
      brush.Paint<AllSquares>(lattice_, agent, column, row, index, agent.Moving != 1);
    }
  }
  if constexpr (Paint) picture_.FinishSweep(brush);
  if constexpr (!Everyone) {
    // The stuck agents' registrations: each adds one to its cell, in any
    // order, as the counts saturate alike.
    for (const std::uint32_t index : stuckCells_) states[index] += states[index] != Int32Max;
  }
}

template <bool Everyone>
void TWorld::Register(bool allSquares) {
  if (!Paints()) {
    RegisterAndPaint<false, false, Everyone>();
  } else if (allSquares) {
    RegisterAndPaint<true, true, Everyone>();
    picture_.RepaintAllNext();
  } else {
    RegisterAndPaint<true, false, Everyone>();
  }
}

void TWorld::AggregationPass(std::uint16_t threshold, const std::vector<std::uint32_t>& visited) {
  // Visits the agents that can stand in an open cell, so every cell that
  // can aggregate; a cell with several is tested again with the same
  // result. The first agent of a cell in list order tests it, so the later
  // ones find it fresh.
  const std::uint8_t* const shades = lattice_.Shades();
  newAggregates_.clear();
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
    const std::int32_t column = (agent.X - 1) / 3;
    const std::int32_t row = (agent.Y - 1) / 3;
    if (threshold < lattice_.BlockSum(column, row)) {
      lattice_.Aggregate(column, row);
      fresh_[index] = 1;
      newAggregates_.push_back(index);
      agent.Moving = 0;
      stuckCells_.push_back(index);
      ++aggregatedCells_;
      if (Paints()) {
        picture_.PaintAggregated(column, row);
        ListSquaresOfFilledBlocks(column, row);
      }
    }
  }
  for (const std::uint32_t index : newAggregates_) fresh_[index] = 0;
}

void TWorld::ListSquaresOfFilledBlocks(std::int32_t column, std::int32_t row) {
  const std::uint8_t* const marks = lattice_.Marks();
  for (const std::int32_t r : {lattice_.PreviousRow(row), row, lattice_.NextRow(row)}) {
    for (const std::int32_t c : {lattice_.PreviousColumn(column), column, lattice_.NextColumn(column)}) {
      if ((marks[lattice_.IndexOf(c, r)] & TLattice::AggregatedNearbyMask) == 9) picture_.ListSquare(c, r);
    }
  }
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
  // Placement and the step keep every agent on the lattice; only agents
  // changed from outside need checking.
  const bool agentsChanged = agentsChanged_;
  if (agentsChanged) CheckChangedAgents();
  agentsChanged_ = false;
  cellAgentsSorted_ = false;
  // Counting every agent's registration one by one is needed only when the
  // agents may not be as the last step left them.
  const bool everyone = agentsChanged || agentsUnsorted_ || !settled_;
  agentsUnsorted_ = false;

  // Reset pass: only the open cells registered in last step hold a State,
  // and the picture differs from the base only where it lists. Only free
  // agents stand in open cells, unless the agents changed.
  std::int32_t* const states = lattice_.States();
  const std::uint8_t* const shades = lattice_.Shades();
  if (Paints()) {
    std::uint8_t* const marks = lattice_.Marks();
    for (const std::uint32_t index : registered_) {
      if (shades[index] == 0) states[index] = 0;
      marks[index] &= TLattice::AggregatedNearbyMask;
    }
  } else if (everyone) {
    for (const std::uint32_t index : registered_) {
      if (shades[index] == 0) states[index] = 0;
    }
  } else {
    for (const std::uint32_t k : free_) {
      const std::uint32_t index = registered_[k];
      if (shades[index] == 0) states[index] = 0;
    }
  }
  // Stuck agents changed by hand may have left aggregated squares.
  if (agentsChanged) picture_.RepaintAllNext();
  picture_.RestoreBase(lattice_);

  // Agent pass, in two sweeps in list order: every free agent turns and
  // moves, then every agent registers and is painted with its cell.
  if (everyone) SortOutAgents();
  const auto freeAgents = static_cast<std::int32_t>(free_.size());
  MovePassOfFreeAgents();
  if (everyone) {
    Register<true>(agentsChanged || largeDots_);
    everyone_.resize(agents_.size());
    std::iota(everyone_.begin(), everyone_.end(), 0u);
    stuckCells_.clear();
    AggregationPass(threshold, everyone_);
    SortOutAgents();
  } else {
    Register<false>(largeDots_);
    const std::size_t stuckBefore = stuckCells_.size();
    AggregationPass(threshold, free_);
    if (stuckCells_.size() != stuckBefore) {
      std::erase_if(free_, [this](std::uint32_t k) { return agents_[k].Moving != 1; });
    }
  }
  ++stepCount_;
  return {freeAgents, freeAgents > 0, stepCount_};
}

}  // namespace dla
