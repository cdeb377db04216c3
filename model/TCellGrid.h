// The lattice's cells, addressed Cells[column][row]. Stored row by row, so
// that a row's cells lie next to each other for the neighbourhood sums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cell_P.h"

namespace dla {

class TCellGrid {
 public:
  TCellGrid() = default;
  // columns x rows default cells; both at least 1.
  TCellGrid(std::int32_t columns, std::int32_t rows)
      : columns_(columns), rows_(rows),
        cells_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)) {}

  template <typename Cell>
  class Column {
   public:
    Column(Cell* first, std::int32_t columns) noexcept : first_(first), columns_(columns) {}
    Cell& operator[](std::int32_t row) const noexcept {
      return first_[static_cast<std::ptrdiff_t>(row) * columns_];
    }

   private:
    Cell* first_;
    std::int32_t columns_;
  };

  // 0 <= column < Columns(), then 0 <= row < Rows(); unchecked.
  Column<TCell> operator[](std::int32_t column) noexcept {
    return {cells_.data() + column, columns_};
  }
  Column<const TCell> operator[](std::int32_t column) const noexcept {
    return {cells_.data() + column, columns_};
  }

  std::int32_t Columns() const noexcept { return columns_; }
  std::int32_t Rows() const noexcept { return rows_; }

  // The flat index row * Columns() + column and the cell under it.
  std::size_t IndexOf(std::int32_t column, std::int32_t row) const noexcept {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  TCell& At(std::size_t index) noexcept { return cells_[index]; }
  const TCell& At(std::size_t index) const noexcept { return cells_[index]; }
  std::size_t Count() const noexcept { return cells_.size(); }

 private:
  std::int32_t columns_ = 0;
  std::int32_t rows_ = 0;
  std::vector<TCell> cells_;
};

}  // namespace dla
