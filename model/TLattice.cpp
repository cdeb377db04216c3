#include "TLattice.h"

#include <algorithm>

namespace dla {

TLattice::TLattice(std::int32_t columns, std::int32_t rows)
    : columns_(columns),
      rows_(rows),
      state_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0),
      shade_(state_.size(), 0),
      nearby_(state_.size(), 0) {}

std::int64_t TLattice::BlockSum(std::int32_t column, std::int32_t row) const noexcept {
  const std::int32_t columns[3] = {PreviousColumn(column), column, NextColumn(column)};
  const std::int32_t rows[3] = {PreviousRow(row), row, NextRow(row)};
  std::int64_t sum = 0;
  for (const std::int32_t r : rows) {
    const std::int32_t* line = state_.data() + IndexOf(0, r);
    sum += std::int64_t{line[columns[0]]} + line[columns[1]] + line[columns[2]];
  }
  return sum;
}

void TLattice::Aggregate(std::int32_t column, std::int32_t row) noexcept {
  shade_[IndexOf(column, row)] = 255;
  for (const std::int32_t r : {PreviousRow(row), row, NextRow(row)}) {
    for (const std::int32_t c : {PreviousColumn(column), column, NextColumn(column)}) {
      ++nearby_[IndexOf(c, r)];
    }
  }
}

void TLattice::Clear() noexcept {
  std::fill(state_.begin(), state_.end(), 0);
  std::fill(shade_.begin(), shade_.end(), std::uint8_t{0});
  std::fill(nearby_.begin(), nearby_.end(), std::uint8_t{0});
}

}  // namespace dla
