#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "AggregateMeasures.h"
#include "CellGrid.h"
#include "SameMeasures.h"
#include "TAggregates.h"
#include "TWorld.h"

namespace dla {
namespace {

using Cells = std::vector<std::pair<std::int32_t, std::int32_t>>;  // (column, row)

Cells Row(std::int32_t row, std::int32_t fromColumn, std::int32_t length, std::int32_t columns) {
  Cells cells;
  for (std::int32_t i = 0; i < length; ++i) cells.emplace_back((fromColumn + i) % columns, row);
  return cells;
}

Cells Diagonal(std::int32_t column, std::int32_t row, std::int32_t length, std::int32_t side) {
  Cells cells;
  for (std::int32_t i = 0; i < length; ++i)
    cells.emplace_back((column + i) % side, (row + i) % side);
  return cells;
}

Cells Square(std::int32_t column, std::int32_t row, std::int32_t side) {
  Cells cells;
  for (std::int32_t r = row; r < row + side; ++r) {
    for (std::int32_t c = column; c < column + side; ++c) cells.emplace_back(c, r);
  }
  return cells;
}

// The border of a side x side square from (column, row), wrapped on a
// lattice of the given side.
Cells Ring(std::int32_t column, std::int32_t row, std::int32_t side, std::int32_t lattice) {
  Cells cells;
  for (const auto& [c, r] : Square(0, 0, side)) {
    if (c == 0 || r == 0 || c == side - 1 || r == side - 1) {
      cells.emplace_back((column + c) % lattice, (row + r) % lattice);
    }
  }
  return cells;
}

// Pascal's triangle mod 2: C(r, c) is odd exactly when c's bits are r's.
Cells Sierpinski(std::int32_t side) {
  Cells cells;
  for (const auto& [c, r] : Square(0, 0, side)) {
    if ((c & r) == c) cells.emplace_back(c, r);
  }
  return cells;
}

Cells Join(Cells a, const Cells& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(AggregateMeasures, ShapesWithKnownAnswers) {
  using Size = AggregateMeasures::SizeCount;
  const std::optional<double> none;
  const struct {
    const char* name;
    std::int32_t columns, rows;
    Cells cells;
    std::int32_t aggregates, largest;
    std::vector<Size> sizes;
    bool wraps;
    std::optional<double> gyration, dimension, r2;
  } cases[] = {
      // clang-format off
      {"empty lattice", 32, 32, {}, 0, 0, {}, false, none, none, none},
      // One box at every side: a point has dimension 0 and the fit is exact.
      {"single cell", 16, 16, {{5, 7}}, 1, 1, {{1, 1}}, false, 0.0, 0.0, 1.0},
      // s = 1, 2, 4, 8 on a square aligned with the boxes: N = 64, 16, 4, 1.
      {"filled square", 32, 32, Square(8, 16, 8), 1, 64, {{64, 1}}, false, std::sqrt(63.0 / 6), 2.0, 1.0},
      // N = 16, 8, 4, 2.
      {"straight line", 32, 32, Row(5, 0, 16, 32), 1, 16, {{16, 1}}, false, std::sqrt(255.0 / 12), 1.0, 1.0},
      // N = 8, 4, 2, 2: the edge splits the boxes of side 4 and 8.
      {"line across the left and right edges", 32, 32, Row(10, 28, 8, 32), 1, 8, {{8, 1}}, false,
       std::sqrt(63.0 / 12), 0.7, 49.0 / 55},
      // N = 4, 2, 2, 2.
      {"diagonal across the corner", 32, 32, Diagonal(30, 30, 4, 32), 1, 4, {{4, 1}}, false,
       std::sqrt(2.5), 0.3, 0.6},
      {"two cells touching by a corner", 16, 16, {{3, 3}, {4, 4}}, 1, 2, {{2, 1}}, false,
       std::sqrt(0.5), 0.0, 1.0},
      {"two cells touching by the other corner", 16, 16, {{4, 3}, {3, 4}}, 1, 2, {{2, 1}}, false,
       std::sqrt(0.5), 0.0, 1.0},
      // Two apart: separate. Of two aggregates of three, the diagonal one has
      // the earlier first cell, though its cells lie to the right.
      {"equal aggregates, the first in row-major order is the largest", 32, 15,
       Join(Join(Diagonal(20, 2, 3, 32), Row(10, 0, 3, 32)), {{5, 5}, {7, 7}}), 4, 3, {{1, 2}, {3, 2}},
       false, std::sqrt(16.0 / 12), none, none},
      // A closed path round a hole, crossing two edges, winds round nothing.
      {"ring across the corner", 15, 15, Ring(12, 12, 6, 15), 1, 20, {{20, 1}}, false,
       std::sqrt(8.5), none, none},
      {"row round the torus", 32, 32, Row(7, 0, 32, 32), 1, 32, {{32, 1}}, true, none, 1.0, 1.0},
      {"diagonal round the torus", 15, 15, Diagonal(3, 0, 15, 15), 1, 15, {{15, 1}}, true, none, none, none},
      // One column: the cell's left and right neighbours are itself.
      {"cell touching itself on a one-column lattice", 1, 4, {{0, 2}}, 1, 1, {{1, 1}}, true, none, none, none},
      // 3^(9 - j) boxes of side 2^j; its last row and first column are full.
      // Large enough for box sides of 64 and more, counted word by word.
      {"Sierpinski triangle", 512, 512, Sierpinski(512), 1, 19683, {{19683, 1}}, true, none,
       std::log(3.0) / std::log(2.0), 1.0},
      // Box sides 1, 2, 4: both cells' boxes stay apart only if the edge
      // boxes of side 2 and 4 (partial on a 17-wide lattice) are counted.
      {"cells in partial edge boxes", 17, 17, {{0, 0}, {16, 16}}, 1, 2, {{2, 1}}, false,
       std::sqrt(0.5), 0.0, 1.0},
      {"too small for three box sides", 15, 40, {{3, 3}}, 1, 1, {{1, 1}}, false, 0.0, none, none},
      {"just large enough", 16, 40, {{3, 3}}, 1, 1, {{1, 1}}, false, 0.0, 0.0, 1.0},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> lattice(static_cast<std::size_t>(c.columns * c.rows), 0);
    for (const auto& [column, row] : c.cells)
      lattice[static_cast<std::size_t>(row * c.columns + column)] = 1;
    const AggregateMeasures m = MeasureAggregates(lattice, c.columns, c.rows);
    // Kept as the cells come, in either order, the same to the last bit.
    for (const bool reversed : {false, true}) {
      TAggregates kept(c.columns, c.rows);
      std::vector<std::uint32_t> order;
      for (const auto& [column, row] : c.cells)
        order.push_back(static_cast<std::uint32_t>(row * c.columns + column));
      if (reversed) std::reverse(order.begin(), order.end());
      kept.Add(order);
      EXPECT_TRUE(test::SameMeasures(kept.Measures(), m)) << (reversed ? "reversed" : "in order");
    }
    EXPECT_EQ(m.Aggregates, c.aggregates);
    EXPECT_EQ(m.Largest, c.largest);
    EXPECT_EQ(m.Sizes, c.sizes);
    if (c.aggregates == 0) {
      EXPECT_FALSE(m.MeanSize.has_value());
    } else {
      ASSERT_TRUE(m.MeanSize.has_value());
      EXPECT_DOUBLE_EQ(*m.MeanSize, static_cast<double>(c.cells.size()) / c.aggregates);
    }
    EXPECT_EQ(m.LargestWraps, c.wraps);
    const std::pair<const char*, std::pair<std::optional<double>, std::optional<double>>> values[] =
        {{"gyration", {m.Gyration, c.gyration}},
         {"dimension", {m.Dimension, c.dimension}},
         {"r2", {m.DimensionR2, c.r2}}};
    for (const auto& [what, actualExpected] : values) {
      const auto& [actual, expected] = actualExpected;
      ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
      if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-12) << what;
      }
    }
    // The gyration is the correctly rounded mean square, then its square
    // root, each rounded once: sqrt(63.0 / 6) exactly, not to within 1e-12.
    if (c.gyration) {
      EXPECT_EQ(*m.Gyration, *c.gyration);
    }
  }
}

TEST(AggregateMeasures, RefusesALatticeOfTheWrongSize) {
  const std::vector<std::uint8_t> lattice(12, 0);
  EXPECT_THROW(MeasureAggregates(lattice, 4, 4), std::invalid_argument);
  EXPECT_THROW(MeasureAggregates(lattice, 0, 12), std::invalid_argument);
  EXPECT_NO_THROW(MeasureAggregates(lattice, 4, 3));
}

TEST(AggregateMeasures, ReadsTheWorldColumnByRow) {
  // A lattice wider than high, so that a transposed read shows.
  TWorld world(300, 150, FixedSeed(5));
  world.CreateAgents(1500);
  for (int i = 0; i < 40; ++i) world.RunStep(4);
  ASSERT_GT(world.AggregatedCells(), 0);
  // The measures of the world are those of its cells, read row by row.
  const test::CellGrid grid(world);
  std::vector<std::uint8_t> lattice(100u * 50u);
  for (std::int32_t r = 0; r < 50; ++r) {
    for (std::int32_t c = 0; c < 100; ++c) lattice[static_cast<std::size_t>(r * 100 + c)] = grid.Cell(c, r).Shade != 0;
  }
  const AggregateMeasures fromWorld = MeasureAggregates(world), fromCells = MeasureAggregates(lattice, 100, 50);
  EXPECT_EQ(fromWorld.Sizes, fromCells.Sizes);
  EXPECT_EQ(fromWorld.LargestWraps, fromCells.LargestWraps);
  EXPECT_EQ(fromWorld.Gyration, fromCells.Gyration);
  EXPECT_EQ(fromWorld.Dimension, fromCells.Dimension);
  std::int32_t cells = 0;
  for (const auto& size : MeasureAggregates(world).Sizes) cells += size.Size * size.Count;
  EXPECT_EQ(cells, world.AggregatedCells());
}

}  // namespace
}  // namespace dla
