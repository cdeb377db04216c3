#include "AggregateMeasures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
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

// Union-find over the aggregated cells, numbered 0, 1, ... in row-major
// order, that also knows where each cell lies relative to its set's root in
// the plane the torus unrolls into. Joining two cells of one set whose
// recorded positions disagree with the step between them closes a path
// that winds round the torus: the set wraps.
//
// Sets are joined by size, the larger one's root staying, the first
// argument's on a tie. Which cell ends up a root matters, not only which
// cells share a set: the gyration is summed from positions relative to the
// largest aggregate's root.
class TUnwrappedForest {
 public:
  explicit TUnwrappedForest(std::size_t cells) : nodes_(cells) {}

  struct Found {
    std::int32_t Root;
    // The cell's position minus the root's.
    std::int32_t X, Y;
  };

  Found Find(std::int32_t i) {
    Found found{i, 0, 0};
    // Path halving: every other node on the way skips to its grandparent,
    // its offset taking the skipped step along.
    for (;;) {
      Node& node = nodes_[At(found.Root)];
      if (node.Parent < 0) return found;
      const Node& parent = nodes_[At(node.Parent)];
      if (parent.Parent < 0) {
        found.X += node.X;
        found.Y += node.Y;
        found.Root = node.Parent;
        return found;
      }
      node = {parent.Parent, node.X + parent.X, node.Y + parent.Y};
      found.X += node.X;
      found.Y += node.Y;
      found.Root = node.Parent;
    }
  }

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
      row[At(list.Cells[k] - r * columns)] = static_cast<std::int32_t>(k);
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
      const Index c = list.Cells[k] - r * columns;
      const Index left = Wrap(c - 1, columns), right = Wrap(c + 1, columns);
      if (here[right] != 0) forest.Join(cell, thisRow[At(right)], 1, 0);
      if (below[left] != 0) forest.Join(cell, nextRow[At(left)], -1, 1);
      if (below[c] != 0) forest.Join(cell, nextRow[At(c)], 0, 1);
      if (below[right] != 0) forest.Join(cell, nextRow[At(right)], 1, 1);
    }
    std::swap(thisRow, nextRow);
  }
}

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

  const auto count = static_cast<std::int32_t>(list.Cells.size());
  TUnwrappedForest forest(list.Cells.size());
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
    // Positions relative to the root, exact integer sums for the mean,
    // then squared deviations in row-major order.
    std::vector<std::int32_t> xs, ys;
    xs.reserve(At(largest));
    ys.reserve(At(largest));
    std::int64_t sumX = 0, sumY = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      const auto [root, x, y] = forest.Find(k);
      if (root != largestRoot) continue;
      xs.push_back(x);
      ys.push_back(y);
      sumX += x;
      sumY += y;
    }
    const double size = largest;
    const double meanX = static_cast<double>(sumX) / size,
                 meanY = static_cast<double>(sumY) / size;
    double squares = 0;
    for (std::size_t j = 0; j < xs.size(); ++j) {
      const double x = xs[j] - meanX, y = ys[j] - meanY;
      squares += x * x + y * y;
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
