// The measures of a lattice's aggregates (AggregateMeasures.h), kept up to
// date as cells aggregate, so that they can be read after every step for
// next to nothing. After any sequence of Add calls, Measures() equals
// MeasureAggregates of the columns x rows lattice whose aggregated cells are
// those added, every field bit for bit, whatever order they came in.
//
// Cells are only ever added: in a world a cell stays aggregated until
// ResetCells (a new setup) opens every cell, so a world and its TAggregates
// keep in step when each step's NewAggregates() are added, Clear follows
// every ResetCells and NewSetup (not PlaceAgents, which keeps the cells),
// and Rebuild follows a world made from a state (a checkpoint), whose
// NewAggregates() are among its shades already.
//
// Memory, so that the largest lattice (about 3e7 cells) costs little
// until cells aggregate: 0.13 bytes per lattice cell from the start (the
// tiles' directory, 4 bytes per 64 cells, and the boxes' bits, 16 bytes
// per 256 cells); 256 bytes for each tile of 64 cells (8 x 8, narrower on a
// narrow lattice) once a cell in it aggregates; 12 bytes per aggregated
// cell; 32 bytes per aggregate of two cells or more, for the most there
// have been at once; 4 bytes per size up to the largest aggregate's. The
// arrays grow by doubling, so up to twice that. Bytes() tells.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "AggregateMeasures.h"
#include "UnwrappedRoot.h"

namespace dla {

class TAggregates {
 public:
  // A columns x rows lattice (a torus, as the world's) without aggregated
  // cells. Throws std::invalid_argument, as MeasureAggregates does, when
  // columns or rows is below 1 or the lattice has 2^31 cells or more.
  TAggregates(std::int32_t columns, std::int32_t rows);

  std::int32_t Columns() const noexcept { return columns_; }
  std::int32_t Rows() const noexcept { return rows_; }
  // Cells added since construction or the last Clear.
  std::int32_t Cells() const noexcept { return static_cast<std::int32_t>(nodes_.size()); }

  // Adds the cells, by index (row * Columns() + column), in turn: after a
  // step, the world's NewAggregates(). Throws std::invalid_argument for a
  // cell off the lattice or one already added; the cells before it stay
  // added.
  void Add(std::span<const std::uint32_t> cells);
  // No cell aggregated, as after the world's ResetCells.
  void Clear();
  // Clear, then every cell whose byte is not 0, as MeasureAggregates reads a
  // lattice: for a world made from a state, Rebuild({world.Shades(), cells}).
  // Throws std::invalid_argument, changing nothing, unless the span holds
  // Columns() * Rows() bytes.
  void Rebuild(std::span<const std::uint8_t> aggregated);

  // Worked out again only after cells were added (in time proportional to
  // the number of distinct aggregate sizes), and valid until the next
  // change. Like the world, not for two threads at once.
  const AggregateMeasures& Measures() const;

  // Bytes held, this object included.
  std::size_t Bytes() const noexcept;

 private:
  // An aggregated cell in the union-find forest, numbered in the order the
  // cells were added.
  struct Node {
    // The parent's number; at a root, RootCode of its aggregate.
    std::int32_t Parent;
    // Position minus the parent's in the plane the torus unrolls into; at a
    // root, which lies at 0 from itself, the aggregate's size and its least
    // cell index (its first cell in row-major order).
    std::int32_t X;
    std::int32_t Y;
  };
  // The exact sums RadiusOfGyration takes over an aggregate of two cells or
  // more that does not wrap, positions relative to its root; a single
  // cell's are 0 and not kept.
  struct alignas(32) Sums {
    Int128 Squares;
    std::int64_t X;
    std::int64_t Y;
  };
  using Found = TUnwrappedRoot;
  // The boxes of sides 2, 4, 8 and 16 within one 16 x 16 block of the
  // lattice, as bits (set for a box that holds an aggregated cell), so that
  // adding a cell reads them together: side 2 bit 8 (r / 2 % 8) + c / 2 %
  // 8, side 4 bit 4 (r / 4 % 4) + c / 4 % 4, side 8 bit 2 (r / 8 % 2) + c /
  // 8 % 2 of Larger and side 16 bit 4 of Larger (c and r the cell's column
  // and row).
  struct alignas(16) BoxBlock {
    std::uint64_t Side2;
    std::uint16_t Side4;
    std::uint8_t Larger;
  };
  // The boxes of one side s = 2^level past 16: box (c / s, r / s) is bit
  // Across * (r / s) + c / s from word First of largeBoxBits_.
  struct BoxLevel {
    std::size_t First;
    std::int64_t Across;
  };
  static constexpr std::size_t BlockLevels = 4;
  static constexpr std::size_t MaxBoxLevels = 31;

  // A root's Parent: below 0, telling whether the aggregate wraps and which
  // Sums it has (sums 0 for none, else its index + 1).
  static constexpr std::int32_t RootCode(std::int32_t sums, bool wraps) noexcept {
    return -1 - (sums * 2 + (wraps ? 1 : 0));
  }
  bool Wraps(std::int32_t root) const noexcept {
    return ((-1 - nodes_[static_cast<std::size_t>(root)].Parent) & 1) != 0;
  }
  // Index in sums_, or -1.
  std::int32_t SumsOf(std::int32_t root) const noexcept {
    return (-1 - nodes_[static_cast<std::size_t>(root)].Parent) / 2 - 1;
  }

  void AddCell(std::uint32_t cell);
  // b lies at a + (stepX, stepY).
  void Join(std::int32_t a, std::int32_t b, std::int32_t stepX, std::int32_t stepY);
  Found Find(std::int32_t node) noexcept;
  // A new Sums, all 0, and its index.
  std::int32_t NewSums();
  // The root's aggregate reaches itself across an edge.
  void SetWraps(std::int32_t root);
  // The root as the largest aggregate if it now is, by the tie rule.
  void Rank(std::int32_t root) noexcept;
  // The number of a size's aggregates changed by +1 or -1.
  void CountSize(std::int32_t size, std::int32_t change);
  // One aggregate of that size, which there is, a cell larger.
  void GrowSize(std::int32_t size);
  // The tables of sizes reaching the size.
  void FitSizes(std::int32_t size);
  // The bits of sizeBits_[word] flipped, its bit in sizeWords_ kept.
  void FlipSizes(std::size_t word, std::uint64_t bits) noexcept;
  // The node at a cell + 1, 0 while the cell is open; makes room for its
  // tile.
  std::uint32_t& Slot(std::int32_t column, std::int32_t row);
  std::size_t TileOf(std::int32_t column, std::int32_t row) const noexcept;
  std::size_t SlotIn(std::uint32_t tile, std::int32_t column, std::int32_t row) const noexcept;

  // What adding a cell reads first, together.
  std::int32_t columns_;
  std::int32_t rows_;
  // The lattice in tiles of 2^tileShiftX_ x 2^tileShiftY_ cells (64 slots),
  // row-major, tilesAcross_ to a row: the number of a tile's block of slots
  // in slots_, 0 until a cell in it aggregates; block 0 stays all 0, so
  // that an open cell reads as one wherever it lies.
  std::int32_t tileShiftX_ = 0;
  std::int32_t tileShiftY_ = 0;
  std::int32_t tilesAcross_ = 0;
  std::int32_t aggregateCount_ = 0;
  // The largest aggregate's root (-1 without aggregates), size and first
  // cell.
  std::int32_t largest_ = -1;
  std::int32_t largestSize_ = 0;
  std::int32_t largestFirst_ = 0;
  // Box sides after 1 that count, 0 to 29.
  std::int32_t boxLevels_ = 0;
  mutable bool stale_ = false;
  // The largest aggregate is another or has changed since the last reading.
  mutable bool largestChanged_ = false;
  std::vector<std::uint32_t> tiles_;
  std::vector<std::uint32_t> slots_;
  // Aggregates by size, and the sizes that occur as bits (bit s % 64 of
  // word s / 64), whose words that are not 0 are bits again, so that the
  // sizes are listed in order in time proportional to their number.
  std::vector<std::int32_t> countBySize_;
  std::vector<std::uint64_t> sizeBits_;
  std::vector<std::uint64_t> sizeWords_;
  std::vector<Node> nodes_;
  std::vector<Sums> sums_;
  // Indexes in sums_ of the Sums no aggregate has.
  std::vector<std::int32_t> unusedSums_;
  // The box counts: blocksAcross_ blocks to a row, then the larger sides.
  std::int32_t blocksAcross_ = 0;
  std::vector<BoxBlock> boxBlocks_;
  std::vector<BoxLevel> largeBoxLevels_;
  std::vector<std::uint64_t> largeBoxBits_;
  // N(2^(level + 1)) by level; N(1) is Cells().
  std::array<std::int64_t, MaxBoxLevels> boxCounts_{};

  // N(s) and their LogBoxCount as last read.
  mutable std::vector<std::int64_t> loggedCounts_;
  mutable std::vector<double> logBoxCounts_;
  // Measures() as of the last change unless stale_.
  mutable AggregateMeasures measures_;
};

}  // namespace dla
