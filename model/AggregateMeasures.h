// What the aggregates of a world look like at one moment: how many there are,
// how big, how spread out the largest is and how branched they all are.
//
// An aggregate is a set of aggregated cells joined through neighbours by side
// or corner, the lattice closed into a torus as the step closes it.
#pragma once

#include <array>
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
  // the aggregate unwrapped across the torus's edges, as RadiusOfGyration
  // computes it from its cells' positions. Absent without aggregates or
  // when LargestWraps.
  std::optional<double> Gyration;
  // Box-counting dimension of all aggregated cells: boxes of side s = 1, 2,
  // 4, ... while 4 s <= the smaller lattice side, tiling the lattice from
  // column 0 and row 0 (boxes at the right and bottom edges may be
  // partial); N(s) boxes hold an aggregated cell; the least-squares slope
  // of log N(s) against log(1/s). Absent with fewer than three box sides or
  // without aggregates.
  std::optional<double> Dimension;
  // R^2 of that fit, 0 to 1 (1 when every N(s) is the same: the fit is then
  // exact); present exactly when Dimension is. Both as FitDimension computes
  // them from the N(s).
  std::optional<double> DimensionR2;
};

// Every field is a function of the set of aggregated cells alone, to the
// last bit: whoever computes it, in whatever order the cells are visited
// (MeasureAggregates below from scratch, TAggregates as cells aggregate),
// gets the same doubles, because the gyration and the dimension are
// computed only by the two functions below from exact integers.

// A signed 128-bit integer, for sums of squares that can pass 2^63 (the
// same declaration as Random.h's, so that both headers can be included).
__extension__ typedef __int128 Int128;

// The radius of gyration of `cells` cells (1 to 2^31 - 1) from exact sums
// over their unwrapped positions (x, y), in cells from any origin, each
// coordinate within +-2^31: sumX = sum of x, sumY = sum of y, sumSquares =
// sum of x^2 + y^2. D = cells * sumSquares - sumX^2 - sumY^2, computed as an
// exact integer, is cells^2 times the mean squared distance from the mean
// position, so it depends neither on the origin nor on the order of the
// cells. The result is sqrt(double(D) / double(cells^2)): the conversions,
// the division and the square root each rounded to nearest once, which
// leaves it within two units in the last place of the exact value.
double RadiusOfGyration(std::int64_t cells, std::int64_t sumX, std::int64_t sumY,
                        Int128 sumSquares);

// The box-counting fit of Dimension and DimensionR2 from N(s), each 1 or
// more, for s = 1, 2, 4, ...: sets both with three sides or more, leaves
// both as they are with fewer. Throws std::invalid_argument for more than
// 32 sides (a lattice has at most 30).
void FitDimension(std::span<const std::int64_t> boxCounts, AggregateMeasures& measures);
// The same fit from LogBoxCount of each N(s), for a caller who keeps the
// logarithms of counts that seldom change; the same refusal.
void FitLogBoxCounts(std::span<const double> logBoxCounts, AggregateMeasures& measures);
// The natural logarithm of a box count, as the fit takes it.
double LogBoxCount(std::int64_t count);

// The measures as numbers, in this order: aggregates, largest, mean size,
// gyration, dimension and R^2, NaN for an absent value and for the gyration
// of a largest aggregate that wraps: what a row of a table keeps.
using TMeasureValues = std::array<double, 6>;
TMeasureValues MeasureValues(const AggregateMeasures& measures);

// Measures a columns x rows lattice given row-major (cell (c, r) at
// r * columns + c), a cell aggregated when its byte is not 0. Throws
// std::invalid_argument when columns or rows is below 1, the span's size
// is not columns * rows or it is 2^31 or more.
AggregateMeasures MeasureAggregates(std::span<const std::uint8_t> aggregated, std::int32_t columns,
                                    std::int32_t rows);

// MeasureAggregates of the world's lattice, a cell aggregated where its Shade
// is not 0, read from the world's shades in place.
AggregateMeasures MeasureAggregates(const TWorld& world);

}  // namespace dla
