#include "TLattice.h"

#include <algorithm>

namespace dla {

TLattice::TLattice(std::int32_t columns, std::int32_t rows)
    : columns_(columns),
      rows_(rows),
      state_(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) + StatePadding, 0),
      shade_(state_.size() - StatePadding, 0),
      aggregated_(shade_.size() / 64 + 1, 0) {}

void TLattice::Clear() noexcept {
  std::fill(state_.begin(), state_.end(), 0);
  std::fill(shade_.begin(), shade_.end(), std::uint8_t{0});
  std::fill(aggregated_.begin(), aggregated_.end(), std::uint64_t{0});
}

}  // namespace dla
