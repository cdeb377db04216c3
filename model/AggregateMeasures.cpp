#include "AggregateMeasures.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "TWorld.h"

namespace dla {
namespace {

// Union-find over the cells that also knows where each cell lies relative
// to its set's root in the plane the torus unrolls into. Joining two cells
// of one set whose recorded relative positions disagree with the step
// between them closes a path that winds round the torus: the set wraps.
class TUnwrappedForest {
 public:
  explicit TUnwrappedForest(std::size_t cells) : nodes_(cells), wraps_(cells, 0) {
    for (std::size_t i = 0; i < cells; ++i) nodes_[i].Parent = static_cast<std::int32_t>(i);
  }

  // The root of i's set; afterwards OffsetX(i), OffsetY(i) is i's position
  // minus the root's (0, 0 for the root itself).
  std::int32_t Find(std::int32_t i) {
    std::int32_t root = i, x = 0, y = 0;
    while (At(root).Parent != root) {
      x += At(root).X;
      y += At(root).Y;
      root = At(root).Parent;
    }
    // Hang every node of the path straight onto the root; (x, y) is kept as
    // the position of the node at hand relative to the root.
    for (std::int32_t node = i; node != root;) {
      Node& n = At(node);
      const Node was = n;
      n = {root, x, y, n.Size};
      x -= was.X;
      y -= was.Y;
      node = was.Parent;
    }
    return root;
  }

  // b lies at a + (stepX, stepY) in the unrolled plane.
  void Join(std::int32_t a, std::int32_t b, std::int32_t stepX, std::int32_t stepY) {
    const std::int32_t rootA = Find(a);
    const std::int32_t rootB = Find(b);
    // Where b's root lies relative to a's root, reached through a.
    const std::int32_t offsetX = OffsetX(a) + stepX - OffsetX(b);
    const std::int32_t offsetY = OffsetY(a) + stepY - OffsetY(b);
    if (rootA == rootB) {
      if (offsetX != 0 || offsetY != 0) wraps_[Index(rootA)] = 1;
      return;
    }
    std::int32_t keep = rootA, attach = rootB, sign = 1;
    if (At(rootA).Size < At(rootB).Size) {
      std::swap(keep, attach);
      sign = -1;
    }
    At(attach).Parent = keep;
    At(attach).X = sign * offsetX;
    At(attach).Y = sign * offsetY;
    At(keep).Size += At(attach).Size;
    wraps_[Index(keep)] |= wraps_[Index(attach)];
  }

  // Meaningful for a root.
  std::int32_t Size(std::int32_t root) const { return At(root).Size; }
  bool Wraps(std::int32_t root) const { return wraps_[Index(root)] != 0; }
  // Relative to the parent; to the root right after Find(i).
  std::int32_t OffsetX(std::int32_t i) const { return At(i).X; }
  std::int32_t OffsetY(std::int32_t i) const { return At(i).Y; }

 private:
  struct Node {
    std::int32_t Parent = 0;
    // Position minus the parent's.
    std::int32_t X = 0;
    std::int32_t Y = 0;
    // Cells in the set, for a root.
    std::int32_t Size = 1;
  };

  static std::size_t Index(std::int32_t i) { return static_cast<std::size_t>(i); }
  Node& At(std::int32_t i) { return nodes_[Index(i)]; }
  const Node& At(std::int32_t i) const { return nodes_[Index(i)]; }

  std::vector<Node> nodes_;
  std::vector<std::uint8_t> wraps_;
};

struct CellAt {
  std::int32_t Column;
  std::int32_t Row;
};

// Box counts N(s) for s = 1, 2, 4, ... while 4 s <= min(columns, rows).
// The boxes of side 2 are marked from the cells, each larger side ORs 2 x 2
// boxes of the one below; ceil(ceil(n / s) / 2) = ceil(n / 2s), so partial
// edge boxes come out as the tiling has them.
std::vector<std::int64_t> BoxCounts(const std::vector<CellAt>& cells, std::int32_t columns,
                                    std::int32_t rows) {
  std::vector<std::int64_t> counts;
  const std::int32_t smaller = std::min(columns, rows);
  if (4 > smaller) return counts;
  counts.push_back(static_cast<std::int64_t>(cells.size()));
  std::int32_t levelColumns = (columns + 1) / 2, levelRows = (rows + 1) / 2;
  std::vector<std::uint8_t> level(
      static_cast<std::size_t>(levelColumns) * static_cast<std::size_t>(levelRows), 0);
  for (const auto& [c, r] : cells) {
    level[static_cast<std::size_t>(r / 2) * static_cast<std::size_t>(levelColumns) +
          static_cast<std::size_t>(c / 2)] = 1;
  }
  for (std::int64_t side = 2; 4 * side <= smaller; side *= 2) {
    if (side > 2) {
      const std::int32_t coarseColumns = (levelColumns + 1) / 2, coarseRows = (levelRows + 1) / 2;
      std::vector<std::uint8_t> coarse(
          static_cast<std::size_t>(coarseColumns) * static_cast<std::size_t>(coarseRows), 0);
      for (std::int32_t r = 0; r < levelRows; ++r) {
        const std::size_t from =
            static_cast<std::size_t>(r) * static_cast<std::size_t>(levelColumns);
        const std::size_t to =
            static_cast<std::size_t>(r / 2) * static_cast<std::size_t>(coarseColumns);
        for (std::int32_t c = 0; c < levelColumns; ++c) {
          coarse[to + static_cast<std::size_t>(c / 2)] |= level[from + static_cast<std::size_t>(c)];
        }
      }
      level = std::move(coarse);
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
      aggregated.size() != static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)) {
    throw std::invalid_argument("MeasureAggregates: the lattice is not columns x rows cells");
  }
  // The aggregated cells in row-major order, numbered 0, 1, ... in the
  // forest, so that only they are visited again: a lattice is mostly open.
  std::vector<CellAt> cells;
  std::vector<std::int32_t> number(aggregated.size(), -1);
  for (std::int32_t r = 0, i = 0; r < rows; ++r) {
    for (std::int32_t c = 0; c < columns; ++c, ++i) {
      if (aggregated[static_cast<std::size_t>(i)] == 0) continue;
      number[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(cells.size());
      cells.push_back({c, r});
    }
  }
  AggregateMeasures measures;
  if (cells.empty()) return measures;
  const auto count = static_cast<std::int32_t>(cells.size());

  TUnwrappedForest forest(cells.size());
  // Every pair of touching cells once: the four neighbours ahead of a cell
  // in row-major order, steps taken in the unrolled plane. Kept as steps,
  // not as index pairs, so that on a lattice one or two cells wide a cell
  // touching itself or its neighbour across the edge still counts.
  constexpr std::int32_t kAhead[4][2] = {{1, 0}, {-1, 1}, {0, 1}, {1, 1}};
  for (std::int32_t k = 0; k < count; ++k) {
    const auto [c, r] = cells[static_cast<std::size_t>(k)];
    for (const auto& [stepX, stepY] : kAhead) {
      // Steps are -1 to 1, so one correction wraps, also on a lattice one
      // cell wide.
      std::int32_t nc = c + stepX, nr = r + stepY;
      if (nc < 0) {
        nc += columns;
      } else if (nc >= columns) {
        nc -= columns;
      }
      if (nr >= rows) nr -= rows;
      const std::int32_t other =
          number[static_cast<std::size_t>(nr) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(nc)];
      if (other >= 0) forest.Join(k, other, stepX, stepY);
    }
  }

  std::vector<std::int32_t> sizes;
  std::int32_t largestRoot = -1;
  std::vector<std::uint8_t> seen(cells.size(), 0);
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t root = forest.Find(k);
    if (seen[static_cast<std::size_t>(root)] != 0) continue;
    seen[static_cast<std::size_t>(root)] = 1;
    sizes.push_back(forest.Size(root));
    // Roots come in the order of their sets' first cells, so a later set
    // of equal size does not displace an earlier one.
    if (largestRoot < 0 || forest.Size(root) > forest.Size(largestRoot)) largestRoot = root;
  }

  measures.Aggregates = static_cast<std::int32_t>(sizes.size());
  measures.Largest = forest.Size(largestRoot);
  measures.MeanSize = static_cast<double>(count) / static_cast<double>(sizes.size());
  std::sort(sizes.begin(), sizes.end());
  for (const std::int32_t size : sizes) {
    if (measures.Sizes.empty() || measures.Sizes.back().Size != size)
      measures.Sizes.push_back({size, 0});
    ++measures.Sizes.back().Count;
  }

  measures.LargestWraps = forest.Wraps(largestRoot);
  if (!measures.LargestWraps) {
    // Every cell was found once above, so each offset is relative to its
    // root now. Exact integer sums for the mean, then squared deviations.
    std::int64_t sumX = 0, sumY = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      if (forest.Find(k) == largestRoot) {
        sumX += forest.OffsetX(k);
        sumY += forest.OffsetY(k);
      }
    }
    const double largest = measures.Largest;
    const double meanX = static_cast<double>(sumX) / largest,
                 meanY = static_cast<double>(sumY) / largest;
    double squares = 0;
    for (std::int32_t k = 0; k < count; ++k) {
      if (forest.Find(k) == largestRoot) {
        const double x = forest.OffsetX(k) - meanX, y = forest.OffsetY(k) - meanY;
        squares += x * x + y * y;
      }
    }
    measures.Gyration = std::sqrt(squares / largest);
  }

  FitDimension(BoxCounts(cells, columns, rows), measures);
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
  return MeasureAggregates(AggregatedLattice(world), world.GridColumns(), world.GridRows());
}

}  // namespace dla
