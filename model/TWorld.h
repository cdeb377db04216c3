// The world: the lattice of cells laid over the drawing area, one population
// of agents, the drawing image they paint on, and the simulation step.
// Everything runs on the caller's thread; nothing here locks.
//
// The step's contract. RunStep gives exactly the results, cells, agents and
// pixels of the literal step (every cell cleared and repainted in order, then
// every agent turned, moved, registered and painted with its cell, then every
// cell tested). It is fast because it relies on these invariants:
//  1. The move pass draws only through one SeedStream; any other use of the
//     thread's seed while it is open stops the program.
//  2. Moves and registrations run as two sweeps over the agents: a move reads
//     nothing that a registration writes.
//  3. An open cell's State is non-zero only if an agent registered in it in
//     the last step, so clearing the cells listed as registered in clears
//     them all; only those cells can aggregate, so only they are tested.
//     NeighbourSum is not kept: Cells() computes it from the States.
//  4. Agents stop only where their cell aggregates and never move again, so
//     while every stuck agent stands in an aggregated cell ("settled"), a
//     step visits only the free agents and adds one registration per stuck
//     agent to its cell (States saturate alike in any order); a painting
//     step still visits every agent, in order, to paint it. Placement,
//     ResetCells and changes by hand make the next step visit every agent
//     and sort them out again.
//  5. Which cells aggregate depends only on the States fixed by the
//     registrations, so the order they are tested in does not show; all
//     new aggregates are black, so neither does the order they are painted in.
//  6. The picture (TPicture) differs from the base picture of the current
//     shades only where the step or placement wrote besides, which it lists
//     or, for aggregated cells, leaves to their stuck agents to cover; it
//     skips writing squares that equal the base, which rests on every dot
//     lying inside its cell's pixels. A step after the agents were changed
//     by hand, or while an agent has a radius other than 1, paints every
//     square and repaints all at the next step.
// To change a rule: change the literal step in the tests first, then the
// fast step, and run the bit-for-bit comparison and the pinned digests; a
// rule that breaks an invariant above must also change the bookkeeping that
// relies on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "StepResult.h"
#include "TCanvas.h"
#include "TCellGrid.h"
#include "TCellView.h"
#include "TLattice.h"
#include "TPicture.h"
#include "agenten.h"

namespace dla {

// The largest drawing area a world accepts, in pixels (16384 x 16384): its
// picture then takes 1 GiB at 4 bytes a pixel.
inline constexpr std::int64_t MaxDrawingPixels = std::int64_t{1} << 28;

// Whether a world keeps a drawing image. A world that does not paint does
// no pixel work at all; its series, cells, agents and draws are the same.
enum class Painting { On, Off };

class TWorld {
 public:
  // Replaces the seed before a series of draws. The program uses
  // SeedFromClock; tests and the batch runner set a seed of their choice.
  using Seeder = std::function<void()>;

  // The model half of the window's creation: the lattice from a drawing area
  // of drawingWidth x drawingHeight pixels (GridColumns = width / 3 and
  // GridRows = height / 3, to the nearest integer), an empty agent list, the
  // drawing image, CreateCells (which ends with ResetCells). StepCount is 0.
  // Throws std::invalid_argument for an area below 3 x 3 pixels or one whose
  // pixel count does not fit in memory terms (more than 2^28 pixels).
  // With Painting::Off there is no drawing image (see Canvas).
  explicit TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight,
                  Seeder seeder = SeedFromClock, Painting painting = Painting::On);

  TWorld(const TWorld&) = delete;
  TWorld& operator=(const TWorld&) = delete;
  TWorld(TWorld&&) = default;
  TWorld& operator=(TWorld&&) = default;

  std::int32_t GridColumns() const noexcept { return lattice_.Columns(); }
  std::int32_t GridRows() const noexcept { return lattice_.Rows(); }
  // Wrap limits in pixels: 3 * GridColumns and 3 * GridRows.
  std::int32_t FieldWidth() const noexcept { return fieldWidth_; }
  std::int32_t FieldHeight() const noexcept { return fieldHeight_; }
  // Completed steps since the last setup.
  std::int32_t StepCount() const noexcept { return stepCount_; }

  // The population, in list order; an agent's position is its index.
  const std::vector<TAgent>& Agents() const noexcept { return agents_; }
  // The population for changing by hand between steps (the tests place
  // agents this way). Calling it tells the next RunStep that the agents were
  // changed: that step checks them and throws std::out_of_range, before it
  // changes anything, for an agent whose position maps to no cell. The
  // reference must not be used to change agents after that step.
  std::vector<TAgent>& MutableAgents() noexcept {
    agentsChanged_ = true;
    return agents_;
  }

  // Cells[column][row], each a TCellView with the cell's centre, size,
  // State, Shade, NeighbourSum (the sum over its 3 x 3 block, for every
  // cell) and AgentIndexes as they stand. Read-only: only the world's
  // operations change cells, which lets the step repaint just what changed.
  // Not for reading from two threads at once (see TCellGrid).
  TCellGrid Cells() const noexcept { return TCellGrid(*this); }
  TCellView Cell(std::int32_t column, std::int32_t row) const;
  // Every cell's Shade (0 open, 255 aggregated), row by row: index
  // row * GridColumns() + column. For reading the whole lattice at once.
  const std::uint8_t* Shades() const noexcept { return lattice_.Shades(); }

  // The drawing image, drawingWidth x drawingHeight pixels; an empty 0 x 0
  // canvas for a world made with Painting::Off.
  const TCanvas& Canvas() const noexcept { return picture_.Canvas(); }
  // True unless the world was made with Painting::Off.
  bool Paints() const noexcept { return picture_.Paints(); }

  // Reseeds; every cell open with State 0 (AgentIndexes emptied and
  // NeighbourSum 0 too), the whole picture repainted cell by cell.
  void ResetCells();
  // Appends count new agents (none if count <= 0), then PlaceAgents.
  void CreateAgents(std::int32_t count);
  // Reseeds; gives every agent, in list order, a random cell centre (column
  // draw, row draw) and heading 45 * (draw below 8), Radius 1, Moving 1,
  // and paints it.
  void PlaceAgents();
  // A new setup: StepCount 0, the population discarded, ResetCells,
  // CreateAgents(count).
  void NewSetup(std::int32_t count);

  // One step with the given threshold: cells cleared, every free agent
  // turned, moved and wrapped, every agent registered and painted with its
  // cell, open cells that hold an agent and whose neighbourhood sum exceeds
  // the threshold aggregated (their agents stopped), StepCount advanced.
  // Paints exactly the pixels of a step that repaints every cell in order
  // and then every agent with its cell. Throws std::overflow_error, before
  // changing anything, when StepCount is already 2^31 - 1.
  StepResult RunStep(std::uint16_t threshold);

  // The seed that the last PlaceAgents seeding left, before its first draw:
  // the number that repeats the run.
  std::uint32_t PlacementSeed() const noexcept { return placementSeed_; }
  // Cells aggregated since the last setup.
  std::int32_t AggregatedCells() const noexcept { return aggregatedCells_; }
  // Agents whose Moving is 0.
  std::int32_t StuckAgents() const noexcept;

 private:
  // Throws std::out_of_range for an agent whose position maps to no cell;
  // notes whether any agent has a radius other than 1.
  void CheckChangedAgents();
  void MovePassOfFreeAgents();
  template <bool Paint, bool AllSquares, bool Everyone>
  void RegisterAndPaint();
  // Picks the sweep for the world's painting; allSquares repaints every
  // agent's square (large dots, agents changed by hand).
  template <bool Everyone>
  void Register(bool allSquares);
  // Tests the cells of the agents listed (indexes), stops the agents of
  // those that aggregate and lists their cells in stuckCells_.
  void AggregationPass(std::uint16_t threshold, const std::vector<std::uint32_t>& visited);
  // After cell (column, row) aggregated: lists for restoring the squares of
  // the cells round it whose blocks it filled.
  void ListSquaresOfFilledBlocks(std::int32_t column, std::int32_t row);
  // free_, stuckCells_ and settled_ from the agents as they stand.
  void SortOutAgents();
  // Fills cellAgentStart_ and cellAgents_ from registered_.
  void SortRegistrationsByCell() const;

  Seeder seeder_;
  std::int32_t fieldWidth_;
  std::int32_t fieldHeight_;
  std::int32_t stepCount_ = 0;
  std::vector<TAgent> agents_;
  TLattice lattice_;
  TPicture picture_;
  // The cell each agent registered in during the last step, by agent index:
  // the cells whose States the next step clears.
  std::vector<std::uint32_t> registered_;
  // Indexes of the free agents (Moving 1), in list order.
  std::vector<std::uint32_t> free_;
  // The cell of every other agent, each once per agent: while settled_,
  // these are all aggregated and each gains one registration per step,
  // which the step adds without visiting the agents.
  std::vector<std::uint32_t> stuckCells_;
  bool settled_ = true;
  // Set by placement and by reopening the cells: the next step visits every
  // agent and sorts them out again.
  bool agentsUnsorted_ = false;
  // 0, 1, 2, ...: every agent, for a step that visits them all.
  std::vector<std::uint32_t> everyone_;
  // Cells aggregated in the current step, marked in fresh_ (1) while the
  // aggregation pass stops their agents.
  std::vector<std::uint32_t> newAggregates_;
  std::vector<std::uint8_t> fresh_;
  // registered_ sorted by cell for Cells(): the agents of cell i are
  // cellAgents_[cellAgentStart_[i] .. cellAgentStart_[i + 1]).
  mutable std::vector<std::int32_t> cellAgentStart_;
  mutable std::vector<std::int32_t> cellAgents_;
  mutable bool cellAgentsSorted_ = false;
  // Set whenever the agents were handed out for change: their positions are
  // checked at the next step, and stuck agents may have been moved.
  bool agentsChanged_ = false;
  // Some agent has a radius other than 1 (possible only by hand): its dot
  // reaches past its cell, so every step paints every square.
  bool largeDots_ = false;
  std::uint32_t placementSeed_ = 0;
  std::int32_t aggregatedCells_ = 0;
};

}  // namespace dla
