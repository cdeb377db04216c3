// The world: the lattice of cells laid over the drawing area, one population
// of agents, the drawing image they paint on, and the simulation step.
// Everything runs on the caller's thread; nothing here locks.
//
// The step's contract. RunStep gives exactly the results, cells, agents and
// pixels of the literal step (every cell cleared and repainted in order, then
// every agent turned, moved, registered and painted with its cell, then every
// cell tested). It is fast because it relies on these invariants:
//  1. The move pass keeps the random seed in a local and writes it back at
//     its end: any other draw inside that pass must use the same local seed
//     (as ChangeHeading2 does), or it reads a stale seed and is overwritten.
//  2. Moves and registrations run as two sweeps over the agents: a move reads
//     nothing that a registration writes.
//  3. Only cells registered in during a step are tested, so only they carry
//     a NeighbourSum; every other cell reports 0.
//  4. Aggregated squares are not repainted on reset: their stuck agents never
//     move again (unless changed through MutableAgents) and repaint them.
//  5. Newly aggregated cells are painted in any order: all of them are black.
//  6. Only squares listed as occupied or dirty differ from a full repaint; a
//     dot of a radius other than 1 forces the next step to repaint all.
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

  std::int32_t GridColumns() const noexcept { return gridColumns_; }
  std::int32_t GridRows() const noexcept { return gridRows_; }
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

  // Cells[column][row], each a TCell value with the cell's centre, size,
  // State, Shade and AgentIndexes as they stand. NeighbourSum is the one the
  // last step computed for the cells it tested (open cells holding an agent)
  // and 0 for every other cell. Read-only:
  // only the world's operations change cells, which lets the step repaint
  // just what changed.
  TCellGrid Cells() const noexcept { return TCellGrid(*this); }
  TCell Cell(std::int32_t column, std::int32_t row) const;

  // The drawing image, drawingWidth x drawingHeight pixels; an empty 0 x 0
  // canvas for a world made with Painting::Off.
  const TCanvas& Canvas() const noexcept { return canvas_; }
  // True unless the world was made with Painting::Off.
  bool Paints() const noexcept { return paints_; }

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

  // Adds the State of the 3 x 3 block round Cells[column][row] (the lattice
  // closed into a torus, a cell counted again where the lattice is narrower
  // than 3) to its NeighbourSum, saturating at 2^31 - 1.
  void SumNeighbourhood(std::int32_t column, std::int32_t row);

  // The seed that the last PlaceAgents seeding left, before its first draw:
  // the number that repeats the run.
  std::uint32_t PlacementSeed() const noexcept { return placementSeed_; }
  // Cells aggregated since the last setup.
  std::int32_t AggregatedCells() const noexcept { return aggregatedCells_; }
  // Agents whose Moving is 0.
  std::int32_t StuckAgents() const noexcept;

 private:
  struct CellRef {
    std::int32_t Column;
    std::int32_t Row;
  };
  // What the step keeps of a cell, packed so that the cells of a row lie
  // four to a cache line. First and Last chain the agents registered in
  // the cell during the current step through nextAgent_ (-1: none).
  struct CellCounts {
    std::int32_t State = 0;
    std::int32_t NeighbourSum = 0;
    std::int32_t First = -1;
    std::int32_t Last = -1;
  };

  // One cell for every lattice site, then ResetCells.
  void CreateCells();
  std::size_t IndexOf(std::int32_t column, std::int32_t row) const noexcept {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(gridColumns_) +
           static_cast<std::size_t>(column);
  }
  // The stored pixel of a cell's grey: a grey reads the same in both byte
  // orders, so only the opaque alpha is added.
  static constexpr std::uint32_t ShadePixel(std::int32_t shade) noexcept {
    return 0xFF000000u | TCell::GreyOf(shade);
  }
  std::uint32_t CellPixel(std::size_t index) const noexcept { return ShadePixel(shade_[index]); }
  void PaintAllCells();
  // Repaints a cell's square as a full pass in order would leave it.
  void RestoreSquare(CellRef cell);
  void CheckAgentPositions() const;
  void MovePassOfFreeAgents(std::int32_t& freeAgents);
  template <bool Paint>
  void RegisterAndPaint();

  Seeder seeder_;
  bool paints_;
  std::int32_t gridColumns_;
  std::int32_t gridRows_;
  std::int32_t fieldWidth_;
  std::int32_t fieldHeight_;
  std::int32_t stepCount_ = 0;
  std::vector<TAgent> agents_;
  TCanvas canvas_;

  std::vector<CellCounts> counts_;
  // 0 open, 255 aggregated.
  std::vector<std::uint8_t> shade_;
  // The next agent registered in the same cell in this step, -1 at the end.
  std::vector<std::int32_t> nextAgent_;
  // Wrapped neighbour of each column and row.
  std::vector<std::int32_t> previousColumn_, nextColumn_, previousRow_, nextRow_;
  // Cells registered in during the last step (each once): the ones whose
  // per-step values the next step clears.
  std::vector<CellRef> occupied_;
  // Cells whose squares were painted out of the full-pass order since the
  // last full pass, besides the occupied ones; the next step repaints them
  // as a full pass would.
  std::vector<CellRef> dirty_;
  // Set when something was painted outside the cells' squares (an agent
  // with a radius other than 1): the next step repaints every cell.
  bool repaintAll_ = false;
  // Set whenever the agents were handed out for change: their positions are
  // checked at the next step, and stuck agents may have been moved.
  bool agentsChanged_ = false;
  std::uint32_t placementSeed_ = 0;
  std::int32_t aggregatedCells_ = 0;
};

}  // namespace dla
