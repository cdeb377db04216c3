// The lattice's cells as the world holds them, addressed Cells[column][row].
// A cell is handed out as a TCell value, built from the world's own compact
// arrays when it is asked for: the step keeps its per-cell counts packed for
// speed, and nothing outside the world may change a cell.
#pragma once

#include <cstdint>

#include "cell_P.h"

namespace dla {

class TWorld;

class TCellGrid {
 public:
  explicit TCellGrid(const TWorld& world) noexcept : world_(&world) {}

  class Column {
   public:
    Column(const TWorld& world, std::int32_t column) noexcept : world_(&world), column_(column) {}
    // 0 <= row < Rows(); unchecked.
    TCell operator[](std::int32_t row) const;

   private:
    const TWorld* world_;
    std::int32_t column_;
  };

  // 0 <= column < Columns(); unchecked.
  Column operator[](std::int32_t column) const noexcept { return {*world_, column}; }

  std::int32_t Columns() const noexcept;
  std::int32_t Rows() const noexcept;

 private:
  const TWorld* world_;
};

}  // namespace dla
