#include "TWorld.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace dla {

namespace {

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
// Largest drawing area accepted, in pixels: 1 GiB of pixels at 4 bytes.
constexpr std::int64_t MaxArea = std::int64_t{1} << 28;

std::int32_t GridCount(std::int32_t pixels) {
  return Low32(RoundHalfEven(static_cast<long double>(pixels) / 3.0L));
}

std::int32_t CheckedSide(std::int32_t width, std::int32_t height, std::int32_t side) {
  if (width < 3 || height < 3) {
    throw std::invalid_argument("the drawing area must be at least 3 x 3 pixels, not " +
                                std::to_string(width) + " x " + std::to_string(height));
  }
  if (static_cast<std::int64_t>(width) * height > MaxArea) {
    throw std::invalid_argument("the drawing area " + std::to_string(width) + " x " +
                                std::to_string(height) + " is larger than 2^28 pixels");
  }
  return side;
}

std::vector<std::int32_t> Shifted(std::int32_t count, std::int32_t by) {
  std::vector<std::int32_t> out(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t n = i + by;
    if (n < 0) n = count - 1;
    if (n > count - 1) n = 0;
    out[static_cast<std::size_t>(i)] = n;
  }
  return out;
}

}  // namespace

TWorld::TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, Seeder seeder)
    : seeder_(std::move(seeder)),
      gridColumns_(GridCount(CheckedSide(drawingWidth, drawingHeight, drawingWidth))),
      gridRows_(GridCount(drawingHeight)),
      fieldWidth_(3 * gridColumns_),
      fieldHeight_(3 * gridRows_),
      cells_(gridColumns_, gridRows_),
      canvas_(drawingWidth, drawingHeight),
      previousColumn_(Shifted(gridColumns_, -1)),
      nextColumn_(Shifted(gridColumns_, 1)),
      previousRow_(Shifted(gridRows_, -1)),
      nextRow_(Shifted(gridRows_, 1)) {
  if (!seeder_) seeder_ = SeedFromClock;
  CreateCells();
}

void TWorld::CreateCells() {
  for (std::int32_t row = 0; row < gridRows_; ++row) {
    for (std::int32_t column = 0; column < gridColumns_; ++column) {
      cells_[column][row] = TCell(3 * column + 2, 3 * row + 2, 2);
    }
  }
  ResetCells();
}

void TWorld::ResetCells() {
  seeder_();
  for (std::int32_t row = 0; row < gridRows_; ++row) {
    for (std::int32_t column = 0; column < gridColumns_; ++column) {
      TCell& cell = cells_[column][row];
      cell.SetState(0);
      cell.Shade = 0;
      cell.NeighbourSum = 0;
      cell.AgentIndexes.clear();
      cell.Draw(canvas_);
    }
  }
  occupied_.clear();
  dirty_.clear();
  repaintAll_ = false;
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
  const std::size_t count = agents_.size();
  for (std::size_t k = 0; k < count; ++k) {
    TAgent& agent = agents_[k];
    const std::int32_t column = UniformBelow(gridColumns_);
    agent.SetX(3 * column + 2);
    const std::int32_t row = UniformBelow(gridRows_);
    agent.SetY(3 * row + 2);
    agent.SetHeading(45 * UniformBelow(8));
    agent.SetRadius(1);
    agent.Moving = 1;
    canvas_.FillBlock2(agent.X - 1, agent.Y - 1, TCanvas::ToPixel(TCanvas::Red));
    dirty_.push_back({column, row});
  }
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

void TWorld::CheckAgentPositions() const {
  // Placement and the step keep every coordinate at 3i + 1 or 3i + 2; an
  // agent changed by hand is checked so that its cell exists after the move.
  for (std::size_t k = 0; k < agents_.size(); ++k) {
    const TAgent& agent = agents_[k];
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

std::uint32_t TWorld::CellPixel(std::int32_t column, std::int32_t row) const noexcept {
  return TCanvas::ToPixel(cells_[column][row].Colour());
}

void TWorld::RestoreSquare(CellRef cell) {
  // After a full pass in order, a pixel shows the cell that its column and
  // row fall in (x / 3, y / 3), the last column and row taking the pixels
  // past their pitch; the square's shared right column and bottom row belong
  // to the neighbours there.
  const std::int32_t right = std::min(cell.Column + 1, gridColumns_ - 1);
  const std::int32_t below = std::min(cell.Row + 1, gridRows_ - 1);
  const std::uint32_t own = CellPixel(cell.Column, cell.Row);
  const std::uint32_t east = CellPixel(right, cell.Row);
  const std::uint32_t south = CellPixel(cell.Column, below);
  const std::uint32_t southEast = CellPixel(right, below);
  const std::int32_t x = 3 * cell.Column;
  const std::int32_t y = 3 * cell.Row;
  for (std::int32_t dy = 0; dy < 4; ++dy) {
    std::uint32_t* p = canvas_.Row(y + dy) + x;
    const bool last = dy == 3;
    p[0] = p[1] = p[2] = last ? south : own;
    p[3] = last ? southEast : east;
  }
}

void TWorld::PaintAllCells() {
  for (std::int32_t row = 0; row < gridRows_; ++row) {
    for (std::int32_t column = 0; column < gridColumns_; ++column) {
      cells_[column][row].Draw(canvas_);
    }
  }
}

void TWorld::SumNeighbourhood(std::int32_t column, std::int32_t row) {
  const auto c = static_cast<std::size_t>(column);
  const auto r = static_cast<std::size_t>(row);
  const std::int32_t columns[3] = {previousColumn_[c], column, nextColumn_[c]};
  const std::int32_t rows[3] = {previousRow_[r], row, nextRow_[r]};
  std::int64_t sum = 0;
  for (const std::int32_t nr : rows) {
    for (const std::int32_t nc : columns) sum += cells_[nc][nr].State();
  }
  TCell& cell = cells_[column][row];
  cell.NeighbourSum = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(cell.NeighbourSum + sum, std::numeric_limits<std::int32_t>::min(),
                               Int32Max));
}

StepResult TWorld::RunStep(std::uint16_t threshold) {
  if (stepCount_ == Int32Max) {
    throw std::overflow_error("the run has reached the last step that can be counted (2147483647)");
  }
  CheckAgentPositions();

  // Reset pass. Only cells registered in last step hold per-step values, and
  // only the squares painted since the last full pass differ from it.
  for (const CellRef ref : occupied_) {
    TCell& cell = CellAt(ref);
    if (cell.Shade == 0) cell.SetState(0);
    cell.NeighbourSum = 0;
    cell.AgentIndexes.clear();
  }
  if (repaintAll_) {
    PaintAllCells();
    repaintAll_ = false;
  } else {
    for (const CellRef ref : occupied_) RestoreSquare(ref);
    for (const CellRef ref : dirty_) RestoreSquare(ref);
  }
  occupied_.clear();
  dirty_.clear();

  // Agent pass. The seed stays in a local for the whole pass.
  std::int32_t freeAgents = 0;
  std::uint32_t seed = Seed();
  const std::uint32_t red = TCanvas::ToPixel(TCanvas::Red);
  const std::size_t count = agents_.size();
  for (std::size_t k = 0; k < count; ++k) {
    TAgent& agent = agents_[k];
    if (agent.Moving == 1) {
      ++freeAgents;
      agent.ChangeHeading2(seed);
      agent.SetX(agent.X + 3 * agent.DX);
      agent.SetY(agent.Y + 3 * agent.DY);
      if (agent.X < 0) agent.SetX(fieldWidth_ - 2);
      if (agent.X > fieldWidth_) agent.SetX(1);
      if (agent.Y < 0) agent.SetY(fieldHeight_ - 2);
      if (agent.Y > fieldHeight_) agent.SetY(1);
    }
    // Nearest integer to (X - 2) / 3 for the positions checked above.
    const CellRef ref{(agent.X - 1) / 3, (agent.Y - 1) / 3};
    TCell& cell = CellAt(ref);
    const std::int32_t state = cell.State();
    cell.SetState(state + (state != Int32Max));
    if (cell.AgentIndexes.empty()) occupied_.push_back(ref);
    cell.AgentIndexes.push_back(static_cast<std::int32_t>(k));
    canvas_.FillSquare4(3 * ref.Column, 3 * ref.Row, TCanvas::ToPixel(cell.Colour()));
    if (agent.Radius == 1) {
      canvas_.FillBlock2(agent.X - 1, agent.Y - 1, red);
    } else {
      agent.Draw(canvas_);
      repaintAll_ = true;
    }
  }
  SetSeed(seed);

  // Aggregation pass. Only an open cell that holds an agent can aggregate,
  // and which ones do depends only on the counts fixed above, so the cells
  // registered in are the only ones to test. Every aggregated square is
  // black, so the order they are painted in does not show.
  const std::uint32_t black = TCanvas::ToPixel(TCanvas::Black);
  for (const CellRef ref : occupied_) {
    TCell& cell = CellAt(ref);
    if (cell.Shade != 0) continue;
    cell.NeighbourSum = 0;
    SumNeighbourhood(ref.Column, ref.Row);
    if (threshold < cell.NeighbourSum) {
      cell.Shade = 255;
      for (const std::int32_t index : cell.AgentIndexes) {
        agents_[static_cast<std::size_t>(index)].Moving = 0;
      }
      ++aggregatedCells_;
      canvas_.FillSquare4(3 * ref.Column, 3 * ref.Row, black);
    }
  }

  ++stepCount_;
  return {freeAgents, freeAgents > 0, stepCount_};
}

}  // namespace dla
