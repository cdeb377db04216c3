// The lattice's cells as the world holds them, addressed Cells[column][row],
// each read as a TCellView. Reading a cell allocates nothing; the first read
// after the world changed sorts the last step's registrations by cell, once
// (O(cells + agents), into storage the world keeps).
#pragma once

#include <cstdint>

#include "TCellView.h"

namespace dla {

class TWorld;

class TCellGrid {
 public:
  explicit TCellGrid(const TWorld& world) noexcept : world_(&world) {}

  class Column {
   public:
    Column(const TWorld& world, std::int32_t column) noexcept : world_(&world), column_(column) {}
    // 0 <= row < Rows(); unchecked.
    TCellView operator[](std::int32_t row) const;

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
