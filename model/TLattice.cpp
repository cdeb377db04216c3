#include "TLattice.h"

#include <algorithm>

namespace dla {

TLattice::TLattice(std::int32_t columns, std::int32_t rows)
    : columns_(columns),
      rows_(rows),
      state_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0),
      shade_(state_.size(), 0),
      marks_(state_.size(), 0) {}

void TLattice::Aggregate(std::int32_t column, std::int32_t row) noexcept {
  shade_[IndexOf(column, row)] = 255;
  for (const std::int32_t r : {PreviousRow(row), row, NextRow(row)}) {
    for (const std::int32_t c : {PreviousColumn(column), column, NextColumn(column)}) {
      ++marks_[IndexOf(c, r)];
    }
  }
}

void TLattice::Clear() noexcept {
  std::fill(state_.begin(), state_.end(), 0);
  std::fill(shade_.begin(), shade_.end(), std::uint8_t{0});
  std::fill(marks_.begin(), marks_.end(), std::uint8_t{0});
}

}  // namespace dla
