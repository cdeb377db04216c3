// The free agents of a world, in list order, as the step wants them: one
// array per value (structure of arrays), so that eight agents turn and move
// at once where the processor has eight 32-bit lanes (TLanes: AVX2, checked
// at run time, or WebAssembly SIMD; a build with DLA_SCALAR_STEP defined
// never uses them), one at a time otherwise, with the same result to the
// bit.
//
// Slot j holds the j-th free agent in list order: its index in the world's
// list, Heading, Radius, position and the cell it registered in. A position is kept
// as 2 * cell column + (X - 1) % 3 (likewise Y), which holds every position
// that placement, the step and SetAgents allow for a free agent (X = 3c + 1
// or 3c + 2, 0 <= c < columns) and turns the wrap into a comparison of
// cell columns: X = 3 * (p / 2) + 1 + p % 2.
//
// The heading's direction is carried as w, twelfths of a turn in units of
// 2^-58 (one unit is 16/3 units of 2^-64 turns), so that its sector, the
// twelfth it points into, is w >> 58. w is set from HeadingTurn(Heading)
// whenever the heading is set or wraps, less than 7.4 units of 2^-64 turns
// from the exact direction, and each turn of 45 * k radians adds that turn
// rounded to a unit, 2.7 units of 2^-64 turns at most. The step vector read
// off w is right as long as no direction where a rounded sine or cosine
// changes lies within that error (at the multiples of 90 degrees neither
// changes). The nearest heading to such a direction is 849830593, 4.38e8
// units of 2^-64 turns away (found by going through all 2^32 headings:
// bench/SectorMargin.cpp), so w is set again from the heading every 2^20
// moves, when the error is below 2.8e6 units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Random.h"
#include "TRandom.h"
#include "agenten.h"

namespace dla {

class TStepThreads;

class TFreeAgents {
 public:
  static constexpr std::uint32_t SumOverThreshold = 0x80000000u;
  // w (see above) holds twelfths of a turn in units of 2^-TwelfthBits.
  static constexpr int TwelfthBits = 58;

  // The lattice the agents walk on: columns x rows cells, both >= 1.
  TFreeAgents(std::int32_t columns, std::int32_t rows) noexcept : columns_(columns), rows_(rows) {}

  std::size_t Count() const noexcept { return index_.size(); }
  // No agent, room for `agents` without growing.
  void Clear(std::size_t agents);
  // Appends the agent at `index` of the list, free and standing where a free
  // agent may (see TWorld::SetAgents), registered last in `cell`. Only
  // after Clear, before the first Move: until then each agent keeps the DX
  // and DY it came with.
  void Add(std::uint32_t index, const TAgent& agent, std::uint32_t cell);

  // Every agent, in slot order, first clears the cell it registered in last
  // (its State set to 0 unless the cell is aggregated, as TLattice's
  // AggregatedBits tell), then draws once from `random`, turns by
  // 45 * (TRandom::TurnSlotOf(draw) - 2) radians, moves a cell along its new
  // step vector, wraps round the torus and notes its new cell.
  // With `threads` (none: on the caller's alone), each thread moves its
  // share of the agents, starting its draws where the agents before it
  // leave the seed (SeedAfter), and notes the cells they leave and enter by
  // the share of the lattice they lie in; the cells are not cleared until
  // RegisterShared, which must follow before anything else reads them.
  void Move(TRandom& random, std::int32_t* states, const std::uint64_t* aggregated,
            TStepThreads* threads = nullptr);
  // After a Move with `threads`: each thread clears the cells left in its
  // share of the lattice (unless aggregated) and counts the agents in the
  // cells entered there, so that no two threads write one cell. States
  // saturate at 2^31 - 1 alike in any order.
  void RegisterShared(std::int32_t* states, const std::uint64_t* aggregated, TStepThreads& threads);

  // By slot: the agent's index in the world's list and its cell.
  const std::uint32_t* Indexes() const noexcept { return index_.data(); }
  const std::uint32_t* Cells() const noexcept { return cell_.data(); }
  std::int32_t Column(std::size_t slot) const noexcept { return column_[slot] >> 1; }
  std::int32_t Row(std::size_t slot) const noexcept { return row_[slot] >> 1; }
  // The agent of `slot` as the literal step leaves it (Moving 1).
  TAgent Agent(std::size_t slot) const noexcept {
    // 3 * (p / 2) + 1 + p % 2 (see above).
    TAgent agent{.Moving = 1,
                 .X = column_[slot] + (column_[slot] >> 1) + 1,
                 .Y = row_[slot] + (row_[slot] >> 1) + 1,
                 .Radius = radius_[slot],
                 .Heading = heading_[slot]};
    if (!addedSteps_.empty()) {
      agent.DX = addedSteps_[slot].DX;
      agent.DY = addedSteps_[slot].DY;
    } else {
      // The sector the last move read off w, with its step vector.
      const auto sector = static_cast<int>(turn_[slot] >> TwelfthBits);
      agent.DX = SectorSine[sector];
      agent.DY = SectorCosine[sector];
    }
    return agent;
  }
  // Lists at the start of `slots` (grown as needed, never shrunk) the slots,
  // in increasing order, whose agents may stop after this step's
  // registrations, as `states` (row by row, with TLattice's padding) hold
  // them; returns how many. They are every slot whose 3 x 3 block of cells
  // may hold more than `threshold`, and perhaps others (those on the
  // lattice's edges, those of an incomplete group of eight). An agent that
  // stops stands in a cell that aggregates, or aggregated earlier in the
  // step for an agent of the same cell, whose block is the same. A slot
  // listed with SumOverThreshold added is known to hold more.
  // With `threads`, each lists its share of the slots, the same list.
  std::size_t ListCrowded(const std::int32_t* states, std::uint16_t threshold,
                          std::vector<std::uint32_t>& slots, TStepThreads* threads = nullptr) const;
  // Removes the slots listed, in increasing order, after a Move (agents
  // stop only where they moved); the others keep their order. With
  // `threads`, the arrays are shared out among them.
  void Remove(const std::vector<std::uint32_t>& slots, TStepThreads* threads = nullptr);

 private:
  // Move with threads.
  void MoveShared(TRandom& random, const std::uint64_t* aggregated, TStepThreads& threads);
  // The moves of slots [j, end), drawing from seed; ClearCells: each agent
  // clears the cell it leaves, as Move says (else the caller has).
  template <bool ClearCells>
  void MoveRange(std::size_t j, std::size_t end, std::uint32_t& seed, std::int32_t* states,
                 const std::uint64_t* aggregated) noexcept;
  // The move of slot j alone, drawing from seed.
  template <bool ClearCells>
  void MoveOne(std::size_t j, std::uint32_t& seed, std::int32_t* states, const std::uint64_t* aggregated) noexcept;
  // The moves of whole groups of eight from slot j on, before `end`, as far
  // as no heading wraps; returns the first slot not moved.
  template <bool ClearCells>
  std::size_t MoveEights(std::size_t j, std::size_t end, std::uint32_t& seed, std::int32_t* states,
                         const std::uint64_t* aggregated) noexcept;
  // ListCrowded for slots [first, last) into listed (which it may write
  // up to last - first entries of); returns how many.
  std::size_t ListCrowdedRange(const std::int32_t* states, std::uint16_t threshold, std::size_t first,
                               std::size_t last, std::uint32_t* listed) const;
  // ListCrowded for whole groups of eight in [first, last), into `listed`.
  std::size_t ListCrowdedEights(const std::int32_t* states, std::uint16_t threshold, std::size_t first,
                                std::size_t last, std::uint32_t* listed) const;

  struct TStepVector {
    std::int32_t DX, DY;
  };

  std::int32_t columns_;
  std::int32_t rows_;
  std::vector<std::uint32_t> index_;
  std::vector<std::int32_t> radius_;
  std::vector<std::int32_t> heading_;
  std::vector<std::uint64_t> turn_;
  std::vector<std::int32_t> column_;
  std::vector<std::int32_t> row_;
  std::vector<std::uint32_t> cell_;
  // Remove's scratch: the lanes of each group of eight that stay.
  std::vector<std::uint8_t> keepLanes_;
  // By slot, the step vectors that Add was given; empty from the first Move.
  std::vector<TStepVector> addedSteps_;
  // Moves since every t was last set from its heading.
  std::uint32_t movesSinceExact_ = 0;
  // After a shared Move with n threads: by thread t and share s of the
  // lattice, the cells its agents left and entered there, as stretches of
  // buckets_ (the left ones in its first half, the entered in the second).
  struct TBounds {
    std::size_t First, Last;
  };
  std::size_t BucketList(int t, int share, std::size_t entered) const noexcept {
    return 2 * (static_cast<std::size_t>(t) * static_cast<std::size_t>(bucketThreads_) +
                static_cast<std::size_t>(share)) +
           entered;
  }
  int bucketThreads_ = 0;
  std::vector<std::uint32_t> buckets_;
  std::vector<TBounds> bucketBounds_;
};

}  // namespace dla
