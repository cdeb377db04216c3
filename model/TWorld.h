// The world: the lattice of cells laid over the drawing area, one population
// of agents, the random source they draw from, and the simulation step. The
// world keeps no picture: Render (Render.h) draws one from its state when
// someone looks. Nothing here locks and worlds share nothing, so each may
// run on a thread of its own; a world may also share its step among threads
// of its own (SetThreads), which end their part of each pass before the
// step goes on, so that to its caller the world is as one thread's. Every const member only reads: while nobody
// changes a world, any number of threads may read it at once; a change (a
// step, a setup, SetAgents) must not overlap any read of the same world.
//
// The step's contract. RunStep gives exactly the results, cells and agents
// of the literal step (every cell cleared, then every agent turned, moved and
// registered, then every cell tested), and leaves what Render needs to draw
// the literal step's picture. It is fast because it relies on these
// invariants:
//  1. Moves and registrations run as separate sweeps over the agents: a move
//     reads nothing that a registration writes. The free agents live only in
//     arrays of their own (TFreeAgents), which move them eight at a time
//     where the processor allows, lane i taking the i-th draw, so the draws
//     keep list order.
//  2. An open cell's State is non-zero only if an agent registered in it in
//     the last step, so clearing the cells registered in clears them all
//     (each free agent clears its last cell as it moves; after agents are
//     set by hand or placed again on cells not reset, the next step clears
//     every open cell); only
//     those cells can aggregate, and only where their 3 x 3 block exceeds
//     the threshold, so only the agents of such blocks are tested one by
//     one. NeighbourSum is not kept: it is the sum of the States round a
//     cell.
//  3. Agents stop only where their cell aggregates and never move again, and
//     every stuck agent stands in an aggregated cell (SetAgents and the
//     restoring constructor refuse any other), so a step visits only the
//     free agents and adds one registration per stuck agent to its cell
//     (States saturate alike in any order), a cell at a time; to a cell
//     whose State is known to exceed the threshold not at all: any block that
//     holds it exceeds the threshold anyway, and a read adds what the step
//     held back. A stuck agent is written once, when it stops.
//  4. Which cells aggregate depends only on the States fixed by the
//     registrations, so every block can be summed before any is tested and
//     the order they are tested in does not show. The agents in a cell share
//     its block: where an open cell aggregates, all its free agents stop, as
//     many as its State counts.
// To change a rule: change the literal step in the tests first, then the
// fast step, and run the bit-for-bit comparison and the pinned digests; a
// rule that breaks an invariant above must also change the bookkeeping that
// relies on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Random.h"
#include "StepResult.h"
#include "TFreeAgents.h"
#include "TLattice.h"
#include "TRandom.h"
#include "TStepThreads.h"
#include "TThreadChoice.h"
#include "agenten.h"

namespace dla {

struct TWorldState;

// The largest drawing area a world accepts, in pixels (16384 x 16384): its
// picture then takes 1 GiB at 4 bytes a pixel.
inline constexpr std::int64_t MaxDrawingPixels = std::int64_t{1} << 28;

// The one rule for the drawing areas a world can have: why width x height
// pixels cannot hold one ("the drawing area must be at least 3x3 pixels",
// "the drawing area may hold at most 268435456 pixels"), or an empty text
// when it can.
std::string DrawingAreaFault(std::int64_t width, std::int64_t height);

class TWorld {
 public:
  // What the world's picture shows, by the kind of the last change (see
  // Render): the cells alone after ResetCells; the cells and every agent's
  // dot after placement; after a step, the cells, each agent's cell square
  // and dot in list order, then the squares of the cells that aggregated in
  // that step.
  enum class TChange { CellsReset, AgentsPlaced, Stepped };

  // The model half of the window's creation: the lattice from a drawing area
  // of drawingWidth x drawingHeight pixels (GridColumns = width / 3 and
  // GridRows = height / 3, to the nearest integer), an empty agent list,
  // CreateCells (which ends with ResetCells). StepCount is 0. Every seeding
  // reseeds the random source from `clock`.
  // Throws std::invalid_argument, DrawingAreaFault's reason and the size,
  // for an area that DrawingAreaFault refuses.
  explicit TWorld(std::int32_t drawingWidth, std::int32_t drawingHeight, SeedClock clock = ClockSeed);

  // The world that `state` describes (TWorldState.h); later seedings (a new
  // setup) read `clock`. Throws std::invalid_argument, naming the first
  // fault, for a state that no run makes: an area the constructor above
  // refuses, not one State and one Shade per cell, a Shade other than 0 or
  // 255, a negative State or StepCount, an agent that SetAgents refuses,
  // new aggregates that are not distinct aggregated cells or that no step
  // made.
  explicit TWorld(const TWorldState& state, SeedClock clock = ClockSeed);
  // Everything this world is: TWorld(State()) steps, draws and measures as
  // this world does from here on.
  TWorldState State() const;

  std::int32_t DrawingWidth() const noexcept { return drawingWidth_; }
  std::int32_t DrawingHeight() const noexcept { return drawingHeight_; }
  std::int32_t GridColumns() const noexcept { return lattice_.Columns(); }
  std::int32_t GridRows() const noexcept { return lattice_.Rows(); }
  // Wrap limits in pixels: 3 * GridColumns and 3 * GridRows.
  std::int32_t FieldWidth() const noexcept { return fieldWidth_; }
  std::int32_t FieldHeight() const noexcept { return fieldHeight_; }
  // Completed steps since the last setup.
  std::int32_t StepCount() const noexcept { return stepCount_; }

  // The random source's state: the next draw follows from it.
  std::uint32_t Seed() const noexcept { return random_.Seed(); }
  // Replaces the random source's state; the next draw follows from `seed`.
  void Reseed(std::uint32_t seed) noexcept { random_.Reseed(seed); }

  // The population, in list order; an agent's position is its index.
  std::size_t AgentCount() const noexcept { return stuck_.size(); }
  std::vector<TAgent> CopyAgents() const;
  // Calls visit(const TAgent&) for every agent in list order, without a
  // copy of the list.
  template <typename Visit>
  void ForEachAgentInListOrder(Visit&& visit) const {
    // Each free agent after the stuck ones before it: both lists are read
    // in order.
    const std::uint32_t* const freeIndexes = free_.Indexes();
    const TAgent* const stuck = stuck_.data();
    const std::size_t freeAgents = free_.Count(), agents = stuck_.size();
    std::size_t k = 0;
    for (std::size_t slot = 0; slot < freeAgents; ++slot, ++k) {
      for (const std::size_t next = freeIndexes[slot]; k < next; ++k) visit(stuck[k]);
      visit(free_.Agent(slot));
    }
    for (; k < agents; ++k) visit(stuck[k]);
  }
  // Replaces the population between steps (tests place agents by hand this
  // way). Refuses, changing nothing, what no run makes: std::out_of_range
  // for an agent whose position maps to no cell (a free agent needs
  // 1 <= X < FieldWidth with X not a multiple of 3, so that it still maps
  // to a cell after any move and wrap, likewise Y; a stuck one
  // 1 <= X <= FieldWidth, likewise Y), std::invalid_argument for a Moving
  // other than 0 or 1 or a stuck agent in an open cell.
  void SetAgents(const std::vector<TAgent>& agents);

  // Every cell's State (registrations counted, saturating at 2^31 - 1) and
  // Shade (0 open, 255 aggregated), row by row: index row * GridColumns() +
  // column. The Shades stay where they are and follow every change.
  std::vector<std::int32_t> CopyStates() const;
  const std::uint8_t* Shades() const noexcept { return lattice_.Shades(); }
  // The cells (indexes as above) that aggregated in the last step, in the
  // order their first agent in list order came to them; empty after a setup.
  const std::vector<std::uint32_t>& NewAggregates() const noexcept { return newAggregates_; }
  // The kind of the last change, for drawing the picture.
  TChange LastChange() const noexcept { return lastChange_; }

  // Reseeds; every cell open with State 0. Throws std::logic_error,
  // changing nothing, while an agent is stuck: it would stand in an open
  // cell (a new setup discards the agents first).
  void ResetCells();
  // Appends count new agents (none if count <= 0), then PlaceAgents.
  // Throws std::length_error past 2^31 - 1 agents.
  void CreateAgents(std::int32_t count);
  // Reseeds; gives every agent, in list order, a random cell centre (column
  // draw, row draw) and heading 45 * (draw below 8), Radius 1, Moving 1.
  void PlaceAgents();
  // A new setup: StepCount 0, the population discarded, ResetCells,
  // CreateAgents(count).
  void NewSetup(std::int32_t count);

  // One step with the given threshold: cells cleared, every free agent
  // turned, moved and wrapped, every agent registered in its cell, open
  // cells that hold an agent and whose neighbourhood sum exceeds the
  // threshold aggregated (their agents stopped), StepCount advanced.
  // Throws std::overflow_error, before changing anything, when StepCount is
  // already 2^31 - 1.
  StepResult RunStep(std::uint16_t threshold);

  // The threads a step shares its passes among: 1 (the default) steps on
  // the caller's thread alone; n in [2, 256] also on n - 1 threads of the
  // world's own, for steps with at least minimumFreeAgents free agents on a
  // lattice of at least minimumCells cells. Sharing pays only where the
  // lattice is far larger than a processor's cache, so that a step waits
  // on memory (measured: a 6000 x 6000 drawing area, 4 million cells, from
  // 5,000 agents on; on 3000 x 3000, a million cells, a shared step took
  // longer at any number of agents); elsewhere the step is made on the
  // caller's thread. Even there, unless `always`, the steps that may share
  // do so only while timing says it is faster on this machine
  // (TThreadChoice). The result is the same to the bit for every n.
  // Throws std::invalid_argument, changing nothing, for n outside [1, 256],
  // std::system_error when threads cannot be started (a copy of the world
  // starts its own at its first step that shares out, which may throw
  // that too).
  static constexpr std::size_t DefaultMinimumFreeAgents = 4096;
  static constexpr std::size_t DefaultMinimumCells = std::size_t{1} << 21;
  void SetThreads(int n, std::size_t minimumFreeAgents = DefaultMinimumFreeAgents,
                  std::size_t minimumCells = DefaultMinimumCells, bool always = false);
  int Threads() const noexcept;

  // The seed that the last PlaceAgents seeding left, before its first draw:
  // the number that repeats the run.
  std::uint32_t PlacementSeed() const noexcept { return placementSeed_; }
  // Cells aggregated since the last setup.
  std::int32_t AggregatedCells() const noexcept { return aggregatedCells_; }
  // Agents whose Moving is 0.
  std::int32_t StuckAgents() const noexcept { return stuckAgents_; }

 private:
  // The stuck agents that stand in one aggregated cell and register there
  // once a step for ever: `agents` of them in `cell`. An old cell's State
  // counts their registrations up to step `since`; a young cell's counts
  // them all, and `since` is the step from which it may be old.
  struct TStuckCell {
    std::uint32_t cell;
    std::int32_t agents;
    std::int32_t since;
  };

  // Reseeds and places `agents` (the population, perhaps grown) as
  // PlaceAgents says.
  void Place(std::vector<TAgent> agents);
  // The population from `agents`, which SetAgents has checked: free_,
  // stuck_ and young_ where they stand.
  void SortOut(std::vector<TAgent> agents);
  // The steps: the free agents move (free_), register and test their cells;
  // the stuck agents' registrations are added cell by cell.
  void RegisterFree(std::uint16_t threshold, TStepThreads* threads);
  void TestFree(std::uint16_t threshold, TStepThreads* threads);
  // The registrations that old_ holds back, added to the States.
  void CatchUpOldCells() noexcept;

  SeedClock clock_;
  TRandom random_;
  // The step's threads: how many, and their pool. A copy of the world
  // keeps the number and starts a pool of its own at its first step that
  // shares out, so that copies may step at the same time.
  struct TThreads {
    int Count = 1;
    std::size_t MinimumFreeAgents = DefaultMinimumFreeAgents;
    std::size_t MinimumCells = DefaultMinimumCells;
    bool Always = false;
    TThreadChoice Choice;
    std::unique_ptr<TStepThreads> Pool;
    TThreads() = default;
    TThreads(const TThreads& other)
        : Count(other.Count),
          MinimumFreeAgents(other.MinimumFreeAgents),
          MinimumCells(other.MinimumCells),
          Always(other.Always) {}
    TThreads& operator=(const TThreads& other) {
      if (this != &other) {
        Count = other.Count;
        MinimumFreeAgents = other.MinimumFreeAgents;
        MinimumCells = other.MinimumCells;
        Always = other.Always;
        Choice.Restart();
        Pool.reset();
      }
      return *this;
    }
    TThreads(TThreads&&) noexcept = default;
    TThreads& operator=(TThreads&&) noexcept = default;
    ~TThreads() = default;
  };
  TThreads threads_;
  std::int32_t drawingWidth_;
  std::int32_t drawingHeight_;
  std::int32_t fieldWidth_;
  std::int32_t fieldHeight_;
  std::int32_t stepCount_ = 0;
  // Its States lack what old_ holds back.
  TLattice lattice_;
  // The free agents (Moving 1) in list order, with the cells they registered
  // in during the last step, whose States the next step clears.
  TFreeAgents free_;
  // By list index (so that the population is read in order), each stuck
  // agent as it stopped, written once; a free agent's entry is empty (all 0)
  // and never read: free_ holds it. stuckAgents_ counts the stuck ones.
  std::vector<TAgent> stuck_;
  std::int32_t stuckAgents_ = 0;
  // The cells of the stuck agents, each cell once, all aggregated: their
  // States are never cleared and each gains its agents' registrations every
  // step without a visit to the agents: added every step to the cells of
  // young_ from youngFirst_ on, whose States may not exceed the threshold
  // yet, and held back for those of old_, whose States already exceed it
  // (they exceeded lowestOld_ - 1 when they came there), so that every
  // block that holds one exceeds it too, whatever is added. A young cell
  // goes old once it is due: the cells come in the order they are due, but
  // for those whose agents go over the threshold sooner, which wait for
  // the ones before them, so the step takes out cells from the front only
  // and no cell's State is checked before it.
  std::vector<TStuckCell> young_;
  std::size_t youngFirst_ = 0;
  std::vector<TStuckCell> old_;
  std::int64_t lowestOld_ = 0;
  // By cell: 1 + the place in young_ of the cell's entry while SortOut
  // gathers the stuck agents that stand there; 0 otherwise.
  std::vector<std::uint32_t> youngPlace_;
  // Set when agents are set by hand, or placed after anything but
  // ResetCells: the cells that agents registered in may hold none now, so
  // the next step clears every open cell first.
  bool clearOpenCells_ = false;
  // Slots of free_ whose agents may stop in this step's test, and those
  // that it stopped.
  std::vector<std::uint32_t> crowded_;
  std::vector<std::uint32_t> stopped_;
  // Cells aggregated in the last step.
  std::vector<std::uint32_t> newAggregates_;
  TChange lastChange_ = TChange::CellsReset;
  std::uint32_t placementSeed_ = 0;
  std::int32_t aggregatedCells_ = 0;
};

}  // namespace dla
