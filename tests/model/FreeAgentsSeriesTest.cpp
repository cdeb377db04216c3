#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "TFreeAgentsSeries.h"

namespace dla {
namespace {

using Points = std::vector<std::pair<std::int32_t, std::int32_t>>;

Points AllOf(const TFreeAgentsSeries& series) {
  Points points;
  series.ForEach([&](std::int32_t step, std::int32_t free) { points.emplace_back(step, free); });
  return points;
}

// Kept exactly, in a byte a point where a run's count changes little from
// one step to the next, and in a few bytes a stretch where it does not.
TEST(FreeAgentsSeries, KeepsEveryPointExactlyAndCompactly) {
  const struct {
    const char* name;
    std::int32_t first;
    std::vector<std::int32_t> values;
    std::size_t maxBytes;
  } cases[] = {
      {"no agent stops", 1, std::vector<std::int32_t>(1000, 10000), 7},
      {"no agent stops for hours", 1, std::vector<std::int32_t>(1'000'000, 10000), 8},
      {"nobody from the start", 1, std::vector<std::int32_t>(200, 0), 4},
      // Stretches of every length up to 20 without change between changes
      // of either sign and size, ending on a stretch and on a change.
      {"stretches of every length", 1, [] {
         std::vector<std::int32_t> v;
         std::int32_t free = 5000;
         for (int length = 0; length <= 20; ++length) {
           v.insert(v.end(), static_cast<std::size_t>(length), free);
           free += length % 2 == 0 ? -1 : 300;
           v.push_back(free);
         }
         v.insert(v.end(), 5, free);
         return v;
       }(), 100},
      {"agents stop", 1, [] {
         std::vector<std::int32_t> v;
         for (int step = 1; step <= 1000; ++step) v.push_back(2000 - 2 * step / 3);
         return v;
       }(), 1003},
      {"the extremes", 41, {0, INT32_MAX, INT32_MIN, 0, -1, INT32_MAX}, 40},
      {"from the last step that can be counted", INT32_MAX, {7}, 2},
  };
  for (const auto& c : cases) {
    TFreeAgentsSeries series(8);
    Points expected;
    for (std::size_t k = 0; k < c.values.size(); ++k) {
      series.Add(c.first + static_cast<std::int32_t>(k), c.values[k]);
      expected.emplace_back(c.first + static_cast<std::int32_t>(k), c.values[k]);
    }
    EXPECT_EQ(AllOf(series), expected) << c.name;
    EXPECT_EQ(series.Values(), c.values) << c.name;
    EXPECT_LE(series.Bytes(), c.maxBytes) << c.name;
    EXPECT_EQ(series.FirstStep(), c.first) << c.name;
    EXPECT_EQ(series.Last(), c.values.back()) << c.name;
  }
}

TEST(FreeAgentsSeries, TakesOnlyTheNextStep) {
  TFreeAgentsSeries series;
  series.Add(5, 100);
  for (const std::int32_t step : {5, 4, 7, INT32_MIN}) {
    EXPECT_THROW(series.Add(step, 1), std::invalid_argument) << step;
  }
  series.Add(6, 99);
  EXPECT_EQ(AllOf(series), (Points{{5, 100}, {6, 99}}));
  series.Clear();
  EXPECT_TRUE(series.Empty());
  series.Add(1, 2000);
  EXPECT_EQ(AllOf(series), (Points{{1, 2000}}));
  EXPECT_EQ(series.Lowest(), 2000);
  EXPECT_EQ(series.Highest(), 2000);
}

// The outline stays bounded however long the series grows, holds only the
// series' own points, in order, and every extreme of every bucket: a
// one-step spike or dip always shows.
TEST(FreeAgentsSeries, OutlineIsBoundedAndKeepsTheExtremes) {
  for (const std::size_t buckets : {std::size_t{2}, std::size_t{7}, std::size_t{1024}}) {
    TFreeAgentsSeries series(buckets);
    const std::size_t even = buckets + buckets % 2;
    for (int step = 1; step <= 20000; ++step) {
      std::int32_t free = 2000 - step / 10;
      if (step == 12345) free = 5000;
      if (step == 777) free = 0;
      series.Add(step, free);
      if (step % 997 != 0 && step != 20000) continue;
      Points outline;
      series.ForEachOutlinePoint([&](std::int32_t s, std::int32_t f) { outline.emplace_back(s, f); });
      ASSERT_LE(outline.size(), 2 * even) << buckets << " at " << step;
      const Points all = AllOf(series);
      std::size_t at = 0;
      for (const auto& point : outline) {
        while (at < all.size() && all[at] != point) ++at;
        ASSERT_LT(at, all.size()) << "a point out of order or not in the series";
      }
      const auto shows = [&](std::int32_t s, std::int32_t f) {
        return std::find(outline.begin(), outline.end(), std::make_pair(s, f)) != outline.end();
      };
      if (step >= 777) {
        EXPECT_TRUE(shows(777, 0)) << buckets << " at " << step;
      }
      if (step >= 12345) {
        EXPECT_TRUE(shows(12345, 5000)) << buckets << " at " << step;
      }
    }
    EXPECT_EQ(series.Lowest(), 0);
    EXPECT_EQ(series.Highest(), 5000);
  }
  TFreeAgentsSeries whole;
  for (int step = 1; step <= 5000; ++step) whole.Add(step, step % 3);
  Points outline;
  whole.ForEachOutlinePoint([&](std::int32_t s, std::int32_t f) { outline.emplace_back(s, f); });
  EXPECT_EQ(outline, AllOf(whole));
}

}  // namespace
}  // namespace dla
