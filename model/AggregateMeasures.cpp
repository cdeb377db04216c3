#include "AggregateMeasures.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "TWorld.h"
#include "UnwrappedRoot.h"

namespace dla {
namespace {

// A column, row, word or cell number: the lattice has fewer than 2^31
// cells.
using Index = std::int32_t;

constexpr std::size_t At(Index i) { return static_cast<std::size_t>(i); }

constexpr std::int32_t kWordBits = 64;

// The aggregated cells of a lattice, twice over: as bits, cell (c, r) being
// bit c % 64 of Bits[r * WordsPerRow + c / 64] (bits past the last column
// 0), and listed in row-major order by row, row r's columns being
// Columns[RowStarts[r]] up to Columns[RowStarts[r + 1]].
struct AggregatedCells {
  Index WordsPerRow = 0;
  std::vector<std::uint64_t> Bits;
  std::vector<Index> Columns;
  std::vector<std::size_t> RowStarts;
};

// Bit i set when byte i (in memory order) of the 8 at `bytes` is not 0.
std::uint64_t FilledBytes(const std::uint8_t* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t Low7 = 0x7f7f7f7f7f7f7f7fu;
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    // The top bit of each byte set exactly when the byte is not 0, then
    // those 8 bits gathered into the top byte by a multiplication whose
    // partial products do not overlap.
    const std::uint64_t tops = (((word & Low7) + Low7) | word) & ~Low7;
    return ((tops >> 7) * 0x0102040810204080u) >> 56;
  } else {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t{bytes[i] != 0} << i;
    return bits;
  }
}

// A lattice is mostly open, its aggregated cells in clumps: the bits are
// gathered 8 cells at a time without a branch, and only the words that
// hold a set bit are listed.
AggregatedCells ListAggregated(std::span<const std::uint8_t> lattice, Index columns, Index rows) {
  AggregatedCells cells;
  cells.WordsPerRow = (columns + kWordBits - 1) / kWordBits;
  cells.Bits.assign(At(rows) * At(cells.WordsPerRow), 0);
  cells.RowStarts.reserve(At(rows) + 1);
  for (Index r = 0; r < rows; ++r) {
    const std::uint8_t* row = lattice.data() + At(r) * At(columns);
    std::uint64_t* bits = cells.Bits.data() + At(r) * At(cells.WordsPerRow);
    cells.RowStarts.push_back(cells.Columns.size());
    for (Index w = 0; w < cells.WordsPerRow; ++w) {
      const Index first = w * kWordBits, end = std::min(columns, first + kWordBits);
      std::uint64_t word = 0;
      Index c = first;
      for (; c + 8 <= end; c += 8) word |= FilledBytes(row + c) << (c - first);
      if (c < end) {
        std::uint8_t tail[8] = {};
        std::memcpy(tail, row + c, At(end - c));
        word |= FilledBytes(tail) << (c - first);
      }
      bits[w] = word;
      for (; word != 0; word &= word - 1) {
        cells.Columns.push_back(first + std::countr_zero(word));
      }
    }
  }
  cells.RowStarts.push_back(cells.Columns.size());
  return cells;
}

// Union-find over the aggregated cells, numbered 0, 1, ... in row-major
// order, that also knows where each cell lies relative to its set's root in
// the plane the torus unrolls into. Joining two cells of one set whose
// recorded positions disagree with the step between them closes a path
// that winds round the torus: the set wraps.
//
// Sets are joined by size, the larger one's root staying, the first
// argument's on a tie.
class TUnwrappedForest {
 public:
  explicit TUnwrappedForest(std::size_t cells) : nodes_(cells) {}

  using Found = TUnwrappedRoot;

  Found Find(std::int32_t i) noexcept { return FindUnwrapped(nodes_, i); }


  // b lies at a + (stepX, stepY) in the unrolled plane.
  void Join(std::int32_t a, std::int32_t b, std::int32_t stepX, std::int32_t stepY) {
    const Found rootA = Find(a), rootB = Find(b);
    // Where b's root lies relative to a's root, reached through a.
    const std::int32_t offsetX = rootA.X + stepX - rootB.X;
    const std::int32_t offsetY = rootA.Y + stepY - rootB.Y;
    if (rootA.Root == rootB.Root) {
      if (offsetX != 0 || offsetY != 0) wraps_[At(rootA.Root)] = true;
      return;
    }
    std::int32_t keep = rootA.Root, attach = rootB.Root, sign = 1;
    if (Size(keep) < Size(attach)) {
      std::swap(keep, attach);
      sign = -1;
    }
    nodes_[At(keep)].Parent -= Size(attach);
    nodes_[At(attach)] = {keep, sign * offsetX, sign * offsetY};
    wraps_[At(keep)] = wraps_[At(keep)] || wraps_[At(attach)];
  }

  bool IsRoot(std::int32_t i) const { return nodes_[At(i)].Parent < 0; }
  // Meaningful for a root.
  std::int32_t Size(std::int32_t root) const { return -nodes_[At(root)].Parent; }
  bool Wraps(std::int32_t root) const { return wraps_[At(root)]; }

 private:
  struct Node {
    // The parent's number, or minus the set's size at a root.
    std::int32_t Parent = -1;
    // Position minus the parent's.
    std::int32_t X = 0;
    std::int32_t Y = 0;
  };

  std::vector<Node> nodes_;
  std::vector<bool> wraps_ = std::vector<bool>(nodes_.size(), false);
};

// Steps are -1 to 1, so one correction wraps, also on a lattice one cell
// wide.
constexpr Index Wrap(Index at, Index size) {
  return at < 0 ? at + size : at >= size ? at - size : at;
}

void JoinTouching(std::span<const std::uint8_t> lattice, Index columns, Index rows,
                  const AggregatedCells& list, TUnwrappedForest& forest) {
  // The numbers of the aggregated cells of this row and the next by
  // column; meaningful only where the lattice has an aggregated cell.
  std::vector<std::int32_t> thisRow(At(columns)), nextRow(At(columns));
  const auto number = [&](Index r, std::vector<std::int32_t>& row) {
    for (std::size_t k = list.RowStarts[At(r)]; k < list.RowStarts[At(r) + 1]; ++k) {
      row[At(list.Columns[k])] = static_cast<std::int32_t>(k);
    }
  };
  number(0, thisRow);
  // Every pair of touching cells once: the four neighbours ahead of a cell
  // in row-major order, steps taken in the unrolled plane. Kept as steps,
  // not as index pairs, so that on a lattice one or two cells wide a cell
  // touching itself or its neighbour across the edge still counts.
  for (Index r = 0; r < rows; ++r) {
    const Index next = Wrap(r + 1, rows);
    number(next, nextRow);
    const std::uint8_t* here = lattice.data() + At(r * columns);
    const std::uint8_t* below = lattice.data() + At(next * columns);
    for (std::size_t k = list.RowStarts[At(r)]; k < list.RowStarts[At(r) + 1]; ++k) {
      const auto cell = static_cast<std::int32_t>(k);
      const Index c = list.Columns[k];
      const Index left = Wrap(c - 1, columns), right = Wrap(c + 1, columns);
      if (here[right] != 0) forest.Join(cell, thisRow[At(right)], 1, 0);
      if (below[left] != 0) forest.Join(cell, nextRow[At(left)], -1, 1);
      if (below[c] != 0) forest.Join(cell, nextRow[At(c)], 0, 1);
      if (below[right] != 0) forest.Join(cell, nextRow[At(right)], 1, 1);
    }
    std::swap(thisRow, nextRow);
  }
}

// Box counts N(s) for s = 1, 2, 4, ... while 4 s <= min(columns, rows),
// from the bits. The boxes of side s are folded into a copy of the bits:
// row r then ORs the lattice's rows r s to r s + s - 1, and the bit of a
// box's first column (or, for s above 64, bit 0 of its first word) ORs the
// box's columns. The rows past the bottom edge and the bits past the right
// edge are 0, so partial edge boxes come out as the tiling has them.
std::vector<std::int64_t> BoxCounts(const AggregatedCells& cells, Index columns, Index rows) {
  std::vector<std::int64_t> counts;
  const Index smaller = std::min(columns, rows);
  if (4 > smaller) return counts;
  counts.push_back(static_cast<std::int64_t>(cells.Columns.size()));
  const Index words = cells.WordsPerRow;
  std::vector<std::uint64_t> level = cells.Bits;
  std::uint64_t* const bits = level.data();
  Index levelRows = rows;
  for (Index side = 2; 4 * side <= smaller; side *= 2) {
    const Index half = side / 2;
    // Row r of the new level ORs rows 2 r and 2 r + 1 of the last, which
    // lie at or after it: folding in place reads each before it is written.
    const Index lastRows = levelRows;
    levelRows = (levelRows + 1) / 2;
    for (Index r = 0; r < levelRows; ++r) {
      std::uint64_t* const to = bits + At(r * words);
      const std::uint64_t* const upper = bits + At(2 * r * words);
      if (2 * r + 1 < lastRows) {
        for (Index w = 0; w < words; ++w) to[w] = upper[w] | upper[words + w];
      } else {
        for (Index w = 0; w < words; ++w) to[w] = upper[w];
      }
    }
    // Then the columns: the bit at a multiple of side takes in the one
    // half a side further, within the word or in the next words.
    std::uint64_t boxes = 0;
    Index wordStep = 1;
    if (side <= kWordBits) {
      for (Index b = 0; b < kWordBits; b += side) boxes |= std::uint64_t{1} << b;
    } else {
      boxes = 1;
      wordStep = side / kWordBits;
    }
    std::int64_t count = 0;
    for (Index r = 0; r < levelRows; ++r) {
      std::uint64_t* const row = bits + At(r * words);
      for (Index w = 0; w < words; w += wordStep) {
        if (side <= kWordBits) {
          row[w] |= row[w] >> half;
        } else if (w + half / kWordBits < words) {
          row[w] |= row[w + half / kWordBits];
        }
        count += std::popcount(row[w] & boxes);
      }
    }
    counts.push_back(count);
  }
  return counts;
}

constexpr std::size_t MaxBoxSides = 32;

}  // namespace

void FitDimension(std::span<const std::int64_t> counts, AggregateMeasures& measures) {
  if (counts.size() < 3) return;
  if (counts.size() > MaxBoxSides) {
    throw std::invalid_argument("FitDimension: more than 32 box sides");
  }
  std::array<double, MaxBoxSides> logs;
  for (std::size_t j = 0; j < counts.size(); ++j) logs[j] = LogBoxCount(counts[j]);
  FitLogBoxCounts({logs.data(), counts.size()}, measures);
}

double LogBoxCount(std::int64_t count) { return std::log(static_cast<double>(count)); }

void FitLogBoxCounts(std::span<const double> ys, AggregateMeasures& measures) {
  if (ys.size() < 3) return;
  if (ys.size() > MaxBoxSides) {
    throw std::invalid_argument("FitLogBoxCounts: more than 32 box sides");
  }
  const double n = static_cast<double>(ys.size());
  double meanX = 0, meanY = 0;
  std::array<double, MaxBoxSides> xs;
  for (std::size_t j = 0; j < ys.size(); ++j) {
    // x = log(1 / s) with s = 2^j.
    xs[j] = -static_cast<double>(j) * std::log(2.0);
    meanX += xs[j];
    meanY += ys[j];
  }
  meanX /= n;
  meanY /= n;
  double sxx = 0, sxy = 0, syy = 0;
  for (std::size_t j = 0; j < ys.size(); ++j) {
    sxx += (xs[j] - meanX) * (xs[j] - meanX);
    sxy += (xs[j] - meanX) * (ys[j] - meanY);
    syy += (ys[j] - meanY) * (ys[j] - meanY);
  }
  const double slope = sxy / sxx;
  double residual = 0;
  for (std::size_t j = 0; j < ys.size(); ++j) {
    const double e = ys[j] - (meanY + slope * (xs[j] - meanX));
    residual += e * e;
  }
  measures.Dimension = slope;
  measures.DimensionR2 = syy == 0 ? 1.0 : std::clamp(1.0 - residual / syy, 0.0, 1.0);
}

double RadiusOfGyration(std::int64_t cells, std::int64_t sumX, std::int64_t sumY,
                        Int128 sumSquares) {
  const Int128 spread = Int128{cells} * sumSquares - Int128{sumX} * sumX - Int128{sumY} * sumY;
  // Converted through 64 bits where they fit, which rounds alike and costs
  // less. cells^2 always fits.
  const bool small = spread <= std::numeric_limits<std::int64_t>::max();
  const double mean =
      small ? static_cast<double>(static_cast<std::int64_t>(spread)) : static_cast<double>(spread);
  return std::sqrt(mean / static_cast<double>(cells * cells));
}

AggregateMeasures MeasureAggregates(std::span<const std::uint8_t> aggregated, std::int32_t columns,
                                    std::int32_t rows) {
  if (columns < 1 || rows < 1 ||
      aggregated.size() != static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) ||
      aggregated.size() > static_cast<std::size_t>(std::numeric_limits<Index>::max())) {
    throw std::invalid_argument("MeasureAggregates: the lattice is not columns x rows cells");
  }
  const AggregatedCells list = ListAggregated(aggregated, columns, rows);
  AggregateMeasures measures;
  if (list.Columns.empty()) return measures;

  const auto count = static_cast<std::int32_t>(list.Columns.size());
  TUnwrappedForest forest(list.Columns.size());
  JoinTouching(aggregated, columns, rows, list, forest);

  std::vector<std::int32_t> sizes;
  std::int32_t largest = 0;
  for (std::int32_t k = 0; k < count; ++k) {
    if (!forest.IsRoot(k)) continue;
    sizes.push_back(forest.Size(k));
    largest = std::max(largest, forest.Size(k));
  }
  // Of sets of equal size, the one whose first cell comes first.
  std::int32_t largestRoot = -1;
  for (std::int32_t k = 0; largestRoot < 0; ++k) {
    const std::int32_t root = forest.Find(k).Root;
    if (forest.Size(root) == largest) largestRoot = root;
  }

  measures.Aggregates = static_cast<std::int32_t>(sizes.size());
  measures.Largest = largest;
  measures.MeanSize = static_cast<double>(count) / static_cast<double>(sizes.size());
  std::sort(sizes.begin(), sizes.end());
  for (const std::int32_t size : sizes) {
    if (measures.Sizes.empty() || measures.Sizes.back().Size != size)
      measures.Sizes.push_back({size, 0});
    ++measures.Sizes.back().Count;
  }

  measures.LargestWraps = forest.Wraps(largestRoot);
  if (!measures.LargestWraps) {
    // Positions relative to the root: the sums are exact, so neither the
    // root nor the order of the cells shows in the result.
    std::int64_t sumX = 0, sumY = 0;
    Int128 squares = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      const auto [root, x, y] = forest.Find(k);
      if (root != largestRoot) continue;
      sumX += x;
      sumY += y;
      squares += std::int64_t{x} * x + std::int64_t{y} * y;
    }
    measures.Gyration = RadiusOfGyration(largest, sumX, sumY, squares);
  }

  FitDimension(BoxCounts(list, columns, rows), measures);
  return measures;
}

AggregateMeasures MeasureAggregates(const TWorld& world) {
  // A cell is aggregated when its Shade is not 0, as MeasureAggregates reads
  // a byte: the shades serve as the lattice without a copy.
  const std::int32_t columns = world.GridColumns(), rows = world.GridRows();
  return MeasureAggregates(
      {world.Shades(), static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)},
      columns, rows);
}

TMeasureValues MeasureValues(const AggregateMeasures& measures) {
  constexpr double absent = std::numeric_limits<double>::quiet_NaN();
  return {static_cast<double>(measures.Aggregates),
          static_cast<double>(measures.Largest),
          measures.MeanSize.value_or(absent),
          measures.LargestWraps ? absent : measures.Gyration.value_or(absent),
          measures.Dimension.value_or(absent),
          measures.DimensionR2.value_or(absent)};
}

}  // namespace dla
