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

TWorld::TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, Seeder seeder,
               Painting painting)
    : seeder_(std::move(seeder)),
      paints_(painting == Painting::On),
      gridColumns_(GridCount(CheckedSide(drawingWidth, drawingHeight, drawingWidth))),
      gridRows_(GridCount(drawingHeight)),
      fieldWidth_(3 * gridColumns_),
      fieldHeight_(3 * gridRows_),
      canvas_(paints_ ? TCanvas(drawingWidth, drawingHeight) : TCanvas()),
      previousColumn_(Shifted(gridColumns_, -1)),
      nextColumn_(Shifted(gridColumns_, 1)),
      previousRow_(Shifted(gridRows_, -1)),
      nextRow_(Shifted(gridRows_, 1)) {
  if (!seeder_) seeder_ = SeedFromClock;
  CreateCells();
}

void TWorld::CreateCells() {
  const std::size_t cells = static_cast<std::size_t>(gridColumns_) * static_cast<std::size_t>(gridRows_);
  counts_.assign(cells, CellCounts{});
  shade_.assign(cells, 0);
  ResetCells();
}

TCell TWorld::Cell(std::int32_t column, std::int32_t row) const {
  TCell cell(3 * column + 2, 3 * row + 2, 2);
  const std::size_t index = IndexOf(column, row);
  const CellCounts& counts = counts_[index];
  cell.SetState(counts.State);
  cell.NeighbourSum = counts.NeighbourSum;
  cell.Shade = shade_[index];
  for (std::int32_t k = counts.First; k >= 0; k = nextAgent_[static_cast<std::size_t>(k)]) {
    cell.AgentIndexes.push_back(k);
  }
  return cell;
}

void TWorld::ResetCells() {
  seeder_();
  std::fill(counts_.begin(), counts_.end(), CellCounts{});
  std::fill(shade_.begin(), shade_.end(), std::uint8_t{0});
  // Every pixel lies under some cell's square, so painting every cell
  // white in order leaves the whole picture white.
  if (paints_) canvas_.Fill(TCanvas::White);
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
    if (paints_) {
      canvas_.FillBlock2(agent.X - 1, agent.Y - 1, TCanvas::ToPixel(TCanvas::Red));
      dirty_.push_back({column, row});
    }
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

void TWorld::RestoreSquare(CellRef cell) {
  // After a full pass in order, a pixel shows the cell that its column and
  // row fall in (x / 3, y / 3), the last column and row taking the pixels
  // past their pitch; the square's shared right column and bottom row belong
  // to the neighbours there.
  const std::int32_t right = std::min(cell.Column + 1, gridColumns_ - 1);
  const std::int32_t below = std::min(cell.Row + 1, gridRows_ - 1);
  const std::uint32_t own = CellPixel(IndexOf(cell.Column, cell.Row));
  const std::uint32_t east = CellPixel(IndexOf(right, cell.Row));
  const std::uint32_t south = CellPixel(IndexOf(cell.Column, below));
  const std::uint32_t southEast = CellPixel(IndexOf(right, below));
  const std::int32_t x = 3 * cell.Column;
  const std::int32_t y = 3 * cell.Row;
  for (std::int32_t dy = 0; dy < 3; ++dy) {
    std::uint32_t* p = canvas_.Row(y + dy) + x;
    p[0] = own; p[1] = own; p[2] = own; p[3] = east;
  }
  std::uint32_t* p = canvas_.Row(y + 3) + x;
  p[0] = south; p[1] = south; p[2] = south; p[3] = southEast;
}

void TWorld::PaintAllCells() {
  for (std::int32_t row = 0; row < gridRows_; ++row) {
    for (std::int32_t column = 0; column < gridColumns_; ++column) Cell(column, row).Draw(canvas_);
  }
}

void TWorld::SumNeighbourhood(std::int32_t column, std::int32_t row) {
  const auto c = static_cast<std::size_t>(column);
  const auto r = static_cast<std::size_t>(row);
  const std::int32_t columns[3] = {previousColumn_[c], column, nextColumn_[c]};
  const std::int32_t rows[3] = {previousRow_[r], row, nextRow_[r]};
  std::int64_t sum = 0;
  for (const std::int32_t nr : rows) {
    const CellCounts* line = counts_.data() + IndexOf(0, nr);
    sum += std::int64_t{line[columns[0]].State} + line[columns[1]].State + line[columns[2]].State;
  }
  std::int32_t& target = counts_[IndexOf(column, row)].NeighbourSum;
  target = static_cast<std::int32_t>(std::clamp<std::int64_t>(
      target + sum, std::numeric_limits<std::int32_t>::min(), Int32Max));
}

void TWorld::MovePassOfFreeAgents(std::int32_t& freeAgents) {
  // The seed stays in a register for the whole pass.
  std::uint32_t seed = Seed();
  for (TAgent& agent : agents_) {
    if (agent.Moving != 1) continue;
    ++freeAgents;
    agent.ChangeHeading2(seed);
    agent.SetX(agent.X + 3 * agent.DX);
    agent.SetY(agent.Y + 3 * agent.DY);
    if (agent.X < 0) agent.SetX(fieldWidth_ - 2);
    if (agent.X > fieldWidth_) agent.SetX(1);
    if (agent.Y < 0) agent.SetY(fieldHeight_ - 2);
    if (agent.Y > fieldHeight_) agent.SetY(1);
  }
  SetSeed(seed);
}

template <bool Paint>
void TWorld::RegisterAndPaint() {
  // Everything the loop reads is held in locals: the pixel stores could
  // otherwise alias the world's own integers and force them to be reloaded
  // for every agent.
  const std::uint32_t red = TCanvas::ToPixel(TCanvas::Red);
  const std::size_t count = agents_.size();
  nextAgent_.resize(count);
  const TAgent* const agents = agents_.data();
  CellCounts* const counts = counts_.data();
  const std::uint8_t* const shades = shade_.data();
  std::int32_t* const nextAgent = nextAgent_.data();
  std::uint32_t* const pixels = Paint ? canvas_.Row(0) : nullptr;
  const std::ptrdiff_t stride = canvas_.Stride();
  const std::size_t columns = static_cast<std::size_t>(gridColumns_);
  const auto width = static_cast<std::uint32_t>(fieldWidth_);
  const auto height = static_cast<std::uint32_t>(fieldHeight_);
  const auto cellIndex = [columns](const TAgent& agent) {
    return static_cast<std::size_t>((agent.Y - 1) / 3) * columns +
           static_cast<std::size_t>((agent.X - 1) / 3);
  };
  // Cells and squares lie all over the lattice; asking for those of a few
  // agents ahead keeps several memory reads in flight.
  constexpr std::size_t Ahead = 12;
  for (std::size_t k = 0; k < count; ++k) {
    if (k + Ahead < count) {
      const TAgent& next = agents[k + Ahead];
      __builtin_prefetch(&counts[cellIndex(next)], 1);
      if constexpr (Paint) __builtin_prefetch(pixels + (next.Y - 1) * stride + next.X, 1);
    }
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
    CellCounts& cell = counts[index];
    cell.State += cell.State != Int32Max;
    const auto self = static_cast<std::int32_t>(k);
    nextAgent[k] = -1;
    if (cell.Last < 0) {
      cell.First = self;
      occupied_.push_back({column, row});
    } else {
      nextAgent[cell.Last] = self;
    }
    cell.Last = self;

    if constexpr (!Paint) continue;
    const std::uint32_t shade = ShadePixel(shades[index]);
    std::uint32_t* square = pixels + 3 * row * stride + 3 * column;
    for (int dy = 0; dy < 4; ++dy, square += stride) {
      square[0] = shade; square[1] = shade; square[2] = shade; square[3] = shade;
    }
    if (agent.Radius == 1) {
      std::uint32_t* dot = pixels + (agent.Y - 1) * stride + (agent.X - 1);
      dot[0] = red; dot[1] = red;
      dot[stride] = red; dot[stride + 1] = red;
    } else {
      agent.Draw(canvas_);
      repaintAll_ = true;
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
  if (agentsChanged) CheckAgentPositions();
  agentsChanged_ = false;

  // Reset pass. Only cells registered in last step hold per-step values, and
  // only the squares painted since the last full pass differ from it. An
  // aggregated cell holds stuck agents, which will register and paint its
  // whole square again in this step, so its square needs no repainting now
  // (unless agents were changed from outside and may have left it).
  for (const CellRef ref : occupied_) {
    const std::size_t index = IndexOf(ref.Column, ref.Row);
    CellCounts& cell = counts_[index];
    const bool open = shade_[index] == 0;
    if (open) cell.State = 0;
    cell.NeighbourSum = 0;
    cell.First = cell.Last = -1;
    if (paints_ && !repaintAll_ && (open || agentsChanged)) RestoreSquare(ref);
  }
  if (repaintAll_) {
    PaintAllCells();
    repaintAll_ = false;
  } else {
    for (const CellRef ref : dirty_) RestoreSquare(ref);
  }
  occupied_.clear();
  dirty_.clear();

  // Agent pass, in two sweeps in list order: every free agent turns and
  // moves, then every agent registers and is painted with its cell. A move
  // reads nothing that a registration writes, so this is the same as doing
  // both for one agent before the next.
  std::int32_t freeAgents = 0;
  MovePassOfFreeAgents(freeAgents);
  if (paints_) {
    RegisterAndPaint<true>();
  } else {
    RegisterAndPaint<false>();
  }

  // Aggregation pass. Only an open cell that holds an agent can aggregate,
  // and which ones do depends only on the counts fixed above, so the cells
  // registered in are the only ones to test. Every aggregated square is
  // black, so the order they are painted in does not show.
  const std::uint32_t black = TCanvas::ToPixel(TCanvas::Black);
  for (const CellRef ref : occupied_) {
    const std::size_t index = IndexOf(ref.Column, ref.Row);
    if (shade_[index] != 0) continue;
    CellCounts& cell = counts_[index];
    cell.NeighbourSum = 0;
    SumNeighbourhood(ref.Column, ref.Row);
    if (threshold < cell.NeighbourSum) {
      shade_[index] = 255;
      for (std::int32_t k = cell.First; k >= 0; k = nextAgent_[static_cast<std::size_t>(k)]) {
        agents_[static_cast<std::size_t>(k)].Moving = 0;
      }
      ++aggregatedCells_;
      if (paints_) canvas_.FillSquare4(3 * ref.Column, 3 * ref.Row, black);
    }
  }

  ++stepCount_;
  return {freeAgents, freeAgents > 0, stepCount_};
}

}  // namespace dla
