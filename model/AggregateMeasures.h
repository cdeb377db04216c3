// What the aggregates of a world look like at one moment: how many there are,
// how big, how spread out the largest is and how branched they all are.
//
// An aggregate is a set of aggregated cells joined through neighbours by side
// or corner, the lattice closed into a torus as the step closes it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dla {

class TWorld;

struct AggregateMeasures {
  struct SizeCount {
    // Cells in an aggregate, 1 or more.
    std::int32_t Size = 0;
    // Aggregates of that size, 1 or more.
    std::int32_t Count = 0;
    friend bool operator==(const SizeCount&, const SizeCount&) = default;
  };

  // Number of aggregates, 0 or more.
  std::int32_t Aggregates = 0;
  // Cells in the largest aggregate; 0 without aggregates.
  std::int32_t Largest = 0;
  // Aggregated cells / Aggregates; absent without aggregates.
  std::optional<double> MeanSize;
  // Every size that occurs, by increasing size.
  std::vector<SizeCount> Sizes;
  // The largest aggregate reaches itself again across an edge of the torus
  // (a closed path through it winds round the torus), so it has no
  // unwrapped shape and no gyration. Of aggregates of equal size the
  // largest is the one whose first cell in row-major order comes first.
  bool LargestWraps = false;
  // Radius of gyration of the largest aggregate in cells (lattice pitches):
  // the root mean square distance of its cells' centres from their mean,
  // the aggregate unwrapped across the torus's edges. Absent without
  // aggregates or when LargestWraps.
  std::optional<double> Gyration;
  // Box-counting dimension of all aggregated cells: boxes of side s = 1, 2,
  // 4, ... while 4 s <= the smaller lattice side, tiling the lattice from
  // column 0 and row 0 (boxes at the right and bottom edges may be
  // partial); N(s) boxes hold an aggregated cell; the least-squares slope
  // of log N(s) against log(1/s). Absent with fewer than three box sides or
  // without aggregates.
  std::optional<double> Dimension;
  // R^2 of that fit, 0 to 1 (1 when every N(s) is the same: the fit is then
  // exact); present exactly when Dimension is.
  std::optional<double> DimensionR2;
};

// Measures a columns x rows lattice given row-major (cell (c, r) at
// r * columns + c), a cell aggregated when its byte is not 0. Throws
// std::invalid_argument when columns or rows is below 1, the span's size
// is not columns * rows or it is 2^31 or more.
AggregateMeasures MeasureAggregates(std::span<const std::uint8_t> aggregated, std::int32_t columns,
                                    std::int32_t rows);

// The world's lattice as MeasureAggregates takes it: 1 for a cell whose Shade
// is not 0.
std::vector<std::uint8_t> AggregatedLattice(const TWorld& world);

// MeasureAggregates(AggregatedLattice(world), ...), read from the world's
// shades in place.
AggregateMeasures MeasureAggregates(const TWorld& world);

}  // namespace dla
