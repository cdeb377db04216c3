// The lattice's per-cell values, held in compact arrays row by row (index =
// row * Columns() + column) so that the step's random accesses stay within a
// few small arrays, and the torus neighbours of every column and row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dla {

class TLattice {
 public:
  static constexpr std::size_t StatePadding = 3;

  // columns x rows cells, all open with State 0; both at least 1.
  TLattice(std::int32_t columns, std::int32_t rows);

  std::int32_t Columns() const noexcept { return columns_; }
  std::int32_t Rows() const noexcept { return rows_; }
  std::size_t CellCount() const noexcept { return shade_.size(); }
  std::size_t IndexOf(std::int32_t column, std::int32_t row) const noexcept {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  // Torus neighbours: column - 1, column + 1, row - 1 and row + 1, wrapped.
  std::int32_t PreviousColumn(std::int32_t column) const noexcept {
    return column == 0 ? columns_ - 1 : column - 1;
  }
  std::int32_t NextColumn(std::int32_t column) const noexcept {
    return column == columns_ - 1 ? 0 : column + 1;
  }
  std::int32_t PreviousRow(std::int32_t row) const noexcept { return row == 0 ? rows_ - 1 : row - 1; }
  std::int32_t NextRow(std::int32_t row) const noexcept { return row == rows_ - 1 ? 0 : row + 1; }

  // Registrations counted in each cell (its State), saturating at
  // 2^31 - 1; the step adds and clears them through these. StatePadding
  // more counts follow the last cell, always 0, so that four counts can be
  // read from any cell at once.
  std::int32_t* States() noexcept { return state_.data(); }
  const std::int32_t* States() const noexcept { return state_.data(); }
  // 0 open, 255 aggregated (its Shade).
  const std::uint8_t* Shades() const noexcept { return shade_.data(); }
  // Sum of State over the 3 x 3 block round the cell, the lattice closed
  // into a torus, a cell counted again where the lattice is narrower than 3.
  std::int64_t BlockSum(std::int32_t column, std::int32_t row) const noexcept {
    const std::int32_t left = PreviousColumn(column), right = NextColumn(column);
    std::int64_t sum = 0;
    for (const std::int32_t r : {PreviousRow(row), row, NextRow(row)}) {
      const std::int32_t* line = state_.data() + IndexOf(0, r);
      sum += std::int64_t{line[left]} + line[column] + line[right];
    }
    return sum;
  }
  // The Shades as one bit a cell (bit index % 64 of word index / 64 set for
  // an aggregated cell): small enough to stay in the nearest cache on any
  // lattice.
  const std::uint64_t* AggregatedBits() const noexcept { return aggregated_.data(); }
  static bool IsAggregated(const std::uint64_t* bits, std::size_t index) noexcept {
    return ((bits[index / 64] >> (index % 64)) & 1u) != 0;
  }
  // Shade 255: the cell at `index` is aggregated.
  void Aggregate(std::size_t index) noexcept {
    shade_[index] = 255;
    aggregated_[index / 64] |= std::uint64_t{1} << (index % 64);
  }
  // Every cell open with State 0.
  void Clear() noexcept;

 private:
  std::int32_t columns_;
  std::int32_t rows_;
  std::vector<std::int32_t> state_;
  std::vector<std::uint8_t> shade_;
  std::vector<std::uint64_t> aggregated_;
};

}  // namespace dla
