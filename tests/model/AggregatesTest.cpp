#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#include "AggregateMeasures.h"
#include "SameMeasures.h"
#include "TAggregates.h"
#include "TWorld.h"

namespace dla {
namespace {

constexpr std::uint16_t NoThreshold = 65535;  // -1 as the window reads it

std::span<const std::uint8_t> ShadesOf(const TWorld& world) {
  return {world.Shades(), static_cast<std::size_t>(world.GridColumns()) *
                              static_cast<std::size_t>(world.GridRows())};
}

// Seeded runs stepped to their end or a step limit, one setup after
// another on one world (each setup seeded anew), the incremental measures
// compared with a measurement from scratch after every step. Halfway
// through each setup's steps the measures are rebuilt from the lattice, as
// for a world loaded from a file, and the run carries on with the rebuilt
// ones.
TEST(Aggregates, EqualTheMeasuresFromScratchAtEveryStep) {
  const struct {
    const char* name;
    std::int32_t width, height, agents;
    std::vector<std::uint16_t> thresholds;
    std::int32_t setups, maxSteps;
    // Whether the largest aggregate wraps round the torus after some step.
    bool wraps;
  } cases[] = {
      // clang-format off
      // 3 x 3 cells: every block is the whole lattice, so all the cells
      // that agents reach in the first step aggregate at once or never.
      {"smallest lattice", 9, 9, 9, {NoThreshold, 0, 1, 2, 3, 4, 5, 6, 7, 8}, 20, 60, true},
      {"one column", 3, 240, 30, {0, 2, 4, 6, 8}, 10, 300, true},
      {"two columns", 6, 240, 40, {0, 3, 6}, 10, 300, true},
      {"one row", 240, 3, 30, {0, 2, 4, 6, 8}, 10, 300, true},
      {"two rows", 240, 6, 40, {0, 3, 6}, 10, 300, true},
      // Crowded small tori: the largest aggregate comes to wrap round.
      {"crowded torus", 36, 36, 90, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 12, 400, true},
      {"crowded narrow torus", 12, 93, 100, {2, 4, 6, 8}, 12, 400, true},
      // Partial boxes at the right and bottom edges, several box sides.
      {"odd sides", 100, 47, 150, {NoThreshold, 0, 3, 6, 8}, 6, 2000, false},
      {"default run", 404, 404, 2000, {6}, 2, 4000, false},
      {"sparse wide lattice", 900, 150, 600, {3, 5}, 1, 1500, false},
      {"largest drawing", 1500, 1500, 10000, {3}, 1, 60, false},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::int64_t wrappedSteps = 0;
    for (const std::uint16_t threshold : c.thresholds) {
      SCOPED_TRACE(testing::Message() << c.name << ", threshold " << threshold);
      std::uint32_t seed = 1000u * static_cast<std::uint32_t>(c.width) + threshold;
      TWorld world(c.width, c.height, [&seed] { return seed++; });
      const std::int32_t columns = world.GridColumns(), rows = world.GridRows();
      // Rebuilt in turns, each over what the other kept before.
      TAggregates kept(columns, rows), spare(columns, rows);
      std::int64_t aggregatedSteps = 0;
      for (std::int32_t setup = 0; setup < c.setups; ++setup) {
        world.NewSetup(c.agents);
        kept.Clear();
        ASSERT_TRUE(test::SameMeasures(kept.Measures(), MeasureAggregates(world)));
        bool anyFree = true;
        for (std::int32_t step = 1; anyFree && step <= c.maxSteps; ++step) {
          anyFree = world.RunStep(threshold).AnyFree;
          kept.Add(world.NewAggregates());
          ASSERT_EQ(kept.Cells(), world.AggregatedCells())
              << "setup " << setup << ", step " << step;
          ASSERT_TRUE(test::SameMeasures(kept.Measures(), MeasureAggregates(world)))
              << "setup " << setup << ", step " << step;
          aggregatedSteps += !world.NewAggregates().empty();
          wrappedSteps += kept.Measures().LargestWraps;
          if (step == c.maxSteps / 2) {
            spare.Rebuild(ShadesOf(world));
            ASSERT_TRUE(test::SameMeasures(spare.Measures(), kept.Measures()))
                << "rebuilt at step " << step;
            std::swap(kept, spare);
          }
        }
      }
      // The comparison means something only where cells aggregate.
      if (threshold != NoThreshold) {
        EXPECT_GT(aggregatedSteps, 0);
      }
    }
    if (c.wraps) {
      EXPECT_GT(wrappedSteps, 0) << c.name;
    }
  }
}

TEST(Aggregates, RefusesCellsAndLatticesThatDoNotFit) {
  EXPECT_THROW(TAggregates(0, 5), std::invalid_argument);
  EXPECT_THROW(TAggregates(5, 0), std::invalid_argument);
  EXPECT_THROW(TAggregates(65536, 32768), std::invalid_argument);
  TAggregates kept(4, 3);
  const std::vector<std::uint32_t> first = {5, 6};
  kept.Add(first);
  const struct {
    const char* name;
    std::vector<std::uint32_t> cells;
  } refused[] = {{"off the lattice", {12}}, {"added before", {6}}, {"twice in one call", {7, 7}}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    EXPECT_THROW(kept.Add(r.cells), std::invalid_argument);
  }
  const std::vector<std::uint8_t> wrongSize(11, 1);
  EXPECT_THROW(kept.Rebuild(wrongSize), std::invalid_argument);
  // The refused rebuild changed nothing; the cells before a refused one
  // stay added.
  EXPECT_EQ(kept.Cells(), 3);
  std::vector<std::uint8_t> lattice(12, 0);
  lattice[5] = lattice[6] = lattice[7] = 1;
  EXPECT_TRUE(test::SameMeasures(kept.Measures(), MeasureAggregates(lattice, 4, 3)));
}

}  // namespace
}  // namespace dla
