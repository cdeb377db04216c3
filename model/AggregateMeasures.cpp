#include "AggregateMeasures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include "TWorld.h"

namespace dla {
namespace {

// A lattice index, row * columns + column; the lattice has fewer than 2^31
// cells.
using Index = std::int32_t;

constexpr std::size_t At(Index i) { return static_cast<std::size_t>(i); }

// The aggregated cells of a lattice in row-major order, by row: row r's are
// Cells[RowStarts[r]] up to Cells[RowStarts[r + 1]].
struct AggregatedCells {
  std::vector<Index> Cells;
  std::vector<std::size_t> RowStarts;
};

// Most of a lattice is open and its aggregated cells lie in clumps, so the
// scan reads 8 cells at a time and skips those that are all open.
AggregatedCells ListAggregated(std::span<const std::uint8_t> lattice, Index columns, Index rows) {
  AggregatedCells list;
  list.RowStarts.reserve(At(rows) + 1);
  const std::uint8_t* cell = lattice.data();
  for (Index r = 0; r < rows; ++r) {
    list.RowStarts.push_back(list.Cells.size());
    const Index rowStart = r * columns;
    Index c = 0;
    if constexpr (std::endian::native == std::endian::little) {
      constexpr std::uint64_t Low7 = 0x7f7f7f7f7f7f7f7fu;
      for (; c + 8 <= columns; c += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, cell + rowStart + c, sizeof word);
        // The top bit of each byte set exactly when the byte is not 0.
        std::uint64_t filled = (((word & Low7) + Low7) | word) & ~Low7;
        for (; filled != 0; filled &= filled - 1) {
          list.Cells.push_back(rowStart + c + std::countr_zero(filled) / 8);
        }
      }
    }
    for (; c < columns; ++c) {
      if (cell[At(rowStart + c)] != 0) list.Cells.push_back(rowStart + c);
    }
  }
  list.RowStarts.push_back(list.Cells.size());
  return list;
}

// Union-find over lattice indices, joined by size: the larger set's root
// stays, the first argument's on a tie. Which cell ends up a root matters,
// not only which cells share a set: the gyration is summed from positions
// relative to the largest aggregate's root.
class TForest {
 public:
  explicit TForest(std::size_t cells) : parent_(std::make_unique_for_overwrite<Index[]>(cells)) {}

  void Add(Index i) { parent_[At(i)] = -1; }

  Index Find(Index i) {
    // Path halving: every other node on the way skips to its grandparent.
    while (parent_[At(i)] >= 0) {
      const Index up = parent_[At(i)];
      const Index upper = parent_[At(up)];
      if (upper < 0) return up;
      parent_[At(i)] = upper;
      i = upper;
    }
    return i;
  }

  void Join(Index a, Index b) {
    Index keep = Find(a), attach = Find(b);
    if (keep == attach) return;
    if (Size(keep) < Size(attach)) std::swap(keep, attach);
    parent_[At(keep)] += parent_[At(attach)];
    parent_[At(attach)] = keep;
  }

  bool IsRoot(Index i) const { return parent_[At(i)] < 0; }
  // Meaningful for a root.
  std::int32_t Size(Index root) const { return -parent_[At(root)]; }

 private:
  // For a cell of the forest: its parent, or minus its set's size at a root.
  std::unique_ptr<Index[]> parent_;
};

// A cell's neighbours by side or corner: steps in the plane the torus
// unrolls into. The first four are those ahead of it in row-major order.
constexpr std::int32_t kSteps[8][2] = {{1, 0},  {-1, 1}, {0, 1},  {1, 1},
                                       {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};

// Steps are -1 to 1, so one correction wraps, also on a lattice one cell
// wide.
constexpr Index Wrap(Index at, Index size) {
  return at < 0 ? at + size : at >= size ? at - size : at;
}

void JoinTouching(std::span<const std::uint8_t> lattice, Index columns, Index rows,
                  const AggregatedCells& list, TForest& forest) {
  for (const Index cell : list.Cells) forest.Add(cell);
  // Every pair of touching cells once: the neighbours ahead, taken as
  // steps rather than index pairs so that on a lattice one or two cells
  // wide a cell touching itself or its neighbour across the edge counts.
  for (Index r = 0; r < rows; ++r) {
    const Index below = Wrap(r + 1, rows) * columns;
    for (std::size_t k = list.RowStarts[At(r)]; k < list.RowStarts[At(r) + 1]; ++k) {
      const Index cell = list.Cells[k];
      const Index c = cell - r * columns;
      const Index left = Wrap(c - 1, columns), right = Wrap(c + 1, columns);
      const Index ahead[4] = {r * columns + right, below + left, below + c, below + right};
      for (const Index other : ahead) {
        if (lattice[At(other)] != 0) forest.Join(cell, other);
      }
    }
  }
}

// Positions of an aggregate's cells in the unrolled plane relative to one
// of them, found by a walk through the aggregate. Meaningful only when the
// aggregate does not wrap: then every path between two cells adds up to the
// same step, and the positions are those the union-find's offsets would
// give.
class TUnrolled {
 public:
  TUnrolled(std::span<const std::uint8_t> lattice, Index columns, Index rows, Index origin)
      : reached_(lattice.size(), 0),
        x_(std::make_unique_for_overwrite<std::int32_t[]>(lattice.size())),
        y_(std::make_unique_for_overwrite<std::int32_t[]>(lattice.size())) {
    struct Visit {
      Index Cell, Column, Row;
    };
    std::vector<Visit> next{{origin, origin % columns, origin / columns}};
    Reach(origin, 0, 0);
    while (!next.empty()) {
      const Visit at = next.back();
      next.pop_back();
      const std::int32_t x = x_[At(at.Cell)], y = y_[At(at.Cell)];
      for (const auto& [stepX, stepY] : kSteps) {
        const Index c = Wrap(at.Column + stepX, columns), r = Wrap(at.Row + stepY, rows);
        const Index other = r * columns + c;
        if (lattice[At(other)] == 0) continue;
        if (!Reached(other)) {
          Reach(other, x + stepX, y + stepY);
          next.push_back({other, c, r});
        } else if (x_[At(other)] != x + stepX || y_[At(other)] != y + stepY) {
          // Two paths to one cell that differ by a turn round the torus.
          wraps_ = true;
          return;
        }
      }
    }
  }

  bool Wraps() const { return wraps_; }
  bool Reached(Index cell) const { return reached_[At(cell)] != 0; }
  // Meaningful for a reached cell.
  std::int32_t X(Index cell) const { return x_[At(cell)]; }
  std::int32_t Y(Index cell) const { return y_[At(cell)]; }

 private:
  void Reach(Index cell, std::int32_t x, std::int32_t y) {
    reached_[At(cell)] = 1;
    x_[At(cell)] = x;
    y_[At(cell)] = y;
  }

  std::vector<std::uint8_t> reached_;
  std::unique_ptr<std::int32_t[]> x_;
  std::unique_ptr<std::int32_t[]> y_;
  bool wraps_ = false;
};

// Box counts N(s) for s = 1, 2, 4, ... while 4 s <= min(columns, rows).
// The boxes of side 2 are marked from the cells, each larger side ORs 2 x 2
// boxes of the one below; ceil(ceil(n / s) / 2) = ceil(n / 2s), so partial
// edge boxes come out as the tiling has them.
std::vector<std::int64_t> BoxCounts(const AggregatedCells& list, Index columns, Index rows) {
  std::vector<std::int64_t> counts;
  const Index smaller = std::min(columns, rows);
  if (4 > smaller) return counts;
  counts.push_back(static_cast<std::int64_t>(list.Cells.size()));
  Index levelColumns = (columns + 1) / 2, levelRows = (rows + 1) / 2;
  std::vector<std::uint8_t> level(At(levelColumns) * At(levelRows), 0), coarse;
  for (Index r = 0; r < rows; ++r) {
    const std::size_t to = At(r / 2) * At(levelColumns);
    for (std::size_t k = list.RowStarts[At(r)]; k < list.RowStarts[At(r) + 1]; ++k) {
      level[to + At((list.Cells[k] - r * columns) / 2)] = 1;
    }
  }
  for (std::int64_t side = 2; 4 * side <= smaller; side *= 2) {
    if (side > 2) {
      const Index coarseColumns = (levelColumns + 1) / 2, coarseRows = (levelRows + 1) / 2;
      coarse.assign(At(coarseColumns) * At(coarseRows), 0);
      for (Index r = 0; r < levelRows; ++r) {
        const std::size_t from = At(r) * At(levelColumns);
        const std::size_t to = At(r / 2) * At(coarseColumns);
        for (Index c = 0; c < levelColumns; ++c) coarse[to + At(c / 2)] |= level[from + At(c)];
      }
      std::swap(level, coarse);
      level.resize(At(coarseColumns) * At(coarseRows));
      levelColumns = coarseColumns;
      levelRows = coarseRows;
    }
    counts.push_back(std::count(level.begin(), level.end(), std::uint8_t{1}));
  }
  return counts;
}

void FitDimension(const std::vector<std::int64_t>& counts, AggregateMeasures& measures) {
  if (counts.size() < 3) return;
  const double n = static_cast<double>(counts.size());
  double meanX = 0, meanY = 0;
  std::vector<double> xs, ys;
  for (std::size_t j = 0; j < counts.size(); ++j) {
    // x = log(1 / s) with s = 2^j.
    xs.push_back(-static_cast<double>(j) * std::log(2.0));
    ys.push_back(std::log(static_cast<double>(counts[j])));
    meanX += xs.back();
    meanY += ys.back();
  }
  meanX /= n;
  meanY /= n;
  double sxx = 0, sxy = 0, syy = 0;
  for (std::size_t j = 0; j < xs.size(); ++j) {
    sxx += (xs[j] - meanX) * (xs[j] - meanX);
    sxy += (xs[j] - meanX) * (ys[j] - meanY);
    syy += (ys[j] - meanY) * (ys[j] - meanY);
  }
  const double slope = sxy / sxx;
  double residual = 0;
  for (std::size_t j = 0; j < xs.size(); ++j) {
    const double e = ys[j] - (meanY + slope * (xs[j] - meanX));
    residual += e * e;
  }
  measures.Dimension = slope;
  measures.DimensionR2 = syy == 0 ? 1.0 : std::clamp(1.0 - residual / syy, 0.0, 1.0);
}

}  // namespace

AggregateMeasures MeasureAggregates(std::span<const std::uint8_t> aggregated, std::int32_t columns,
                                    std::int32_t rows) {
  if (columns < 1 || rows < 1 ||
      aggregated.size() != static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) ||
      aggregated.size() > static_cast<std::size_t>(std::numeric_limits<Index>::max())) {
    throw std::invalid_argument("MeasureAggregates: the lattice is not columns x rows cells");
  }
  const AggregatedCells list = ListAggregated(aggregated, columns, rows);
  AggregateMeasures measures;
  if (list.Cells.empty()) return measures;

  TForest forest(aggregated.size());
  JoinTouching(aggregated, columns, rows, list, forest);

  std::vector<std::int32_t> sizes;
  std::int32_t largest = 0;
  for (const Index cell : list.Cells) {
    if (!forest.IsRoot(cell)) continue;
    sizes.push_back(forest.Size(cell));
    largest = std::max(largest, forest.Size(cell));
  }
  // Of sets of equal size, the one whose first cell comes first.
  Index largestRoot = -1;
  for (const Index cell : list.Cells) {
    largestRoot = forest.Find(cell);
    if (forest.Size(largestRoot) == largest) break;
  }

  const auto count = static_cast<double>(list.Cells.size());
  measures.Aggregates = static_cast<std::int32_t>(sizes.size());
  measures.Largest = largest;
  measures.MeanSize = count / static_cast<double>(sizes.size());
  std::sort(sizes.begin(), sizes.end());
  for (const std::int32_t size : sizes) {
    if (measures.Sizes.empty() || measures.Sizes.back().Size != size)
      measures.Sizes.push_back({size, 0});
    ++measures.Sizes.back().Count;
  }

  const TUnrolled unrolled(aggregated, columns, rows, largestRoot);
  measures.LargestWraps = unrolled.Wraps();
  if (!measures.LargestWraps) {
    // Exact integer sums for the mean, then squared deviations in
    // row-major order.
    std::int64_t sumX = 0, sumY = 0;
    for (const Index cell : list.Cells) {
      if (unrolled.Reached(cell)) {
        sumX += unrolled.X(cell);
        sumY += unrolled.Y(cell);
      }
    }
    const double size = measures.Largest;
    const double meanX = static_cast<double>(sumX) / size,
                 meanY = static_cast<double>(sumY) / size;
    double squares = 0;
    for (const Index cell : list.Cells) {
      if (unrolled.Reached(cell)) {
        const double x = unrolled.X(cell) - meanX, y = unrolled.Y(cell) - meanY;
        squares += x * x + y * y;
      }
    }
    measures.Gyration = std::sqrt(squares / size);
  }

  FitDimension(BoxCounts(list, columns, rows), measures);
  return measures;
}

std::vector<std::uint8_t> AggregatedLattice(const TWorld& world) {
  const std::int32_t columns = world.GridColumns(), rows = world.GridRows();
  std::vector<std::uint8_t> lattice(static_cast<std::size_t>(columns) *
                                    static_cast<std::size_t>(rows));
  const std::uint8_t* shades = world.Shades();
  for (std::uint8_t& cell : lattice) cell = *shades++ != 0 ? 1 : 0;
  return lattice;
}

AggregateMeasures MeasureAggregates(const TWorld& world) {
  // A cell is aggregated when its Shade is not 0, as MeasureAggregates reads
  // a byte: the shades serve as the lattice without a copy.
  const std::int32_t columns = world.GridColumns(), rows = world.GridRows();
  return MeasureAggregates(
      {world.Shades(), static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)},
      columns, rows);
}

}  // namespace dla
