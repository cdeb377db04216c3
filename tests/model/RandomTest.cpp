#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Random.h"
#include "ReferenceRules.h"
#include "SeedHelpers.h"
#include "TRandom.h"

namespace dla {
namespace {

TEST(Random, SeedUpdatesFromZero) {
  TRandom random(0);
  const std::vector<std::uint32_t> expected = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u};
  for (const std::uint32_t value : expected) {
    test::UniformReal(random);
    EXPECT_EQ(random.Seed(), value);
  }
}

TEST(Random, UniformBelowEightFromZero) {
  TRandom random(0);
  for (const std::int32_t value : {0, 0, 6, 1, 2}) EXPECT_EQ(random.UniformBelow(8), value);
}

TEST(Random, UniformRealIsTheSeedOverTwoToThe32) {
  TRandom random(0);
  EXPECT_EQ(test::UniformReal(random), std::ldexp(1.0L, -32));
  // 649090867 updates to 0: u is exactly 0 and every UniformBelow is 0.
  random.Reseed(649090867u);
  EXPECT_EQ(test::UniformReal(random), 0.0L);
  for (const std::int32_t n : {1, 8, 135, 1 << 30}) {
    random.Reseed(649090867u);
    EXPECT_EQ(random.UniformBelow(n), 0) << n;
  }
}

TEST(Random, UniformBelowOneStillAdvances) {
  TRandom random(0);
  EXPECT_EQ(random.UniformBelow(1), 0);
  EXPECT_EQ(random.Seed(), 1u);
}

TEST(Random, UniformBelowTakesTheTopBits) {
  // The draw scales the new seed into [0, n): the smallest seed gives 0, the
  // largest n - 1, and the middle splits the range in half.
  const struct {
    std::uint32_t next;
    std::int32_t n, expected;
  } cases[] = {{0u, 2, 0},           {0u, 65536, 0},           {0xFFFFFFFFu, 2, 1},
               {0xFFFFFFFFu, 7, 6},  {0xFFFFFFFFu, 135, 134},  {0xFFFFFFFFu, 65536, 65535},
               {0x80000000u, 2, 1},  {0x80000000u, 7, 3},      {0x80000000u, 500, 250},
               {0x7FFFFFFFu, 2, 0},  {0x7FFFFFFFu, 7, 3},      {0x7FFFFFFFu, 500, 249}};
  for (const auto& c : cases) {
    TRandom random(test::SeedBefore(c.next));
    EXPECT_EQ(random.UniformBelow(c.n), c.expected) << std::hex << c.next << std::dec << " below " << c.n;
    EXPECT_EQ(random.Seed(), c.next);
  }
}

TEST(Random, TurnSlotIsTheStepsDraw) {
  // Every seed where the turn changes (u = 1/10, 3/10, ... 9/10), the tie
  // u = 1/2 and its neighbours, the ends, and a long sample.
  std::vector<std::uint32_t> nexts = {0u, 1u, 0xFFFFFFFFu};
  for (std::uint64_t j = 1; j <= 5; ++j) {
    const std::uint64_t edge = ((2 * j - 1) * 0x80000000ull + 4) / 5;  // ceil
    for (std::uint64_t d = edge - 2; d <= edge + 2; ++d) nexts.push_back(static_cast<std::uint32_t>(d));
  }
  for (std::uint32_t d = 0x7FFFFFFEu; d <= 0x80000002u; ++d) nexts.push_back(d);
  std::uint32_t s = 5;
  for (int i = 0; i < 100000; ++i) nexts.push_back(s = NextSeed(s) * 2654435761u);
  for (const std::uint32_t next : nexts) {
    TRandom between(test::SeedBefore(next));
    ASSERT_EQ(TRandom::TurnSlotOf(next), test::RandomBetween(-2, 2, between) + 2) << next;
    ASSERT_EQ(between.Seed(), next);
  }
}

TEST(Random, HeadingTurnsAddUpModulo2To128) {
  // A heading changed by d, with and without wrapping past the 32-bit range.
  const struct {
    std::int32_t h, d;
    int wraps;  // +1: the sum wrapped upwards, -1 downwards
  } cases[] = {{0, 0, 0},           {90, -90, 0},           {-7, 135, 0},
               {849830593, 45, 0},  {2147483610, 45, 1},    {2147483647, 1, 1},
               {-2147483641, -90, -1}, {-2147483647 - 1, -1, -1}, {2147483647, -2147483647 - 1, 0}};
  for (const auto& c : cases) {
    const auto sum =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(c.h) + static_cast<std::uint32_t>(c.d));
    const UInt128 wrap = static_cast<UInt128>(static_cast<Int128>(c.wraps)) * (TurnPerRadian << 32);
    const UInt128 carried = HeadingTurn(c.h) + HeadingTurn(c.d) - wrap;
    EXPECT_TRUE(HeadingTurn(sum) == carried) << c.h << " + " << c.d;
  }
}

TEST(Random, RoundHalfEven) {
  const struct {
    long double x;
    std::int64_t expected;
  } cases[] = {{0.5L, 0},  {1.5L, 2},   {2.5L, 2},       {-0.5L, 0},         {-1.5L, -2},
               {-2.5L, -2}, {404.0L / 3, 135}, {-1.0L / 3, 0}, {2.4999999L, 2},
               {3e18L, 3000000000000000000LL}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.x), c.expected) << static_cast<double>(c.x);
}

TEST(Random, RoundHalfEvenRefusesWhatHasNoInteger) {
  for (const long double x : {std::numeric_limits<long double>::quiet_NaN(),
                              std::numeric_limits<long double>::infinity(), 1e19L, -1e19L}) {
    EXPECT_THROW(RoundHalfEven(x), std::range_error);
  }
  EXPECT_EQ(RoundHalfEven(-9223372036854775808.0L), std::numeric_limits<std::int64_t>::min());
}

TEST(Random, Low32KeepsTheLowBits) {
  EXPECT_EQ(Low32(0x1'0000'0005LL), 5);
  EXPECT_EQ(Low32(0xFFFF'FFFFLL), -1);
  EXPECT_EQ(Low32(-1), -1);
}

TEST(Random, RoundedSineAndCosineMatchTheFunctions) {
  // Headings near multiples of 45, the extremes, and a long pseudo-random
  // sample over the whole 32-bit range.
  std::vector<std::int32_t> headings;
  for (std::int32_t k = -2000; k <= 2000; ++k) headings.push_back(45 * k);
  for (std::int32_t h = -100000; h <= 100000; ++h) headings.push_back(h);
  headings.push_back(std::numeric_limits<std::int32_t>::min());
  headings.push_back(std::numeric_limits<std::int32_t>::max());
  headings.push_back(2147483610);
  // The heading closest to a sector boundary, and its neighbours.
  for (std::int32_t h = 849830590; h <= 849830596; ++h) headings.push_back(h);
  headings.push_back(-2147483641);
  std::uint32_t s = 99;
  for (int i = 0; i < 300000; ++i) {
    s = NextSeed(s);
    headings.push_back(static_cast<std::int32_t>(s));
  }
  for (const std::int32_t h : headings) {
    ASSERT_EQ(test::RoundedSine(h), Low32(RoundHalfEven(test::Sine(h)))) << h;
    ASSERT_EQ(test::RoundedCosine(h), Low32(RoundHalfEven(test::Cosine(h)))) << h;
  }
}

TEST(Random, ClockSeedReadsAFineClockAndFixedSeedRepeats) {
  const std::uint32_t first = ClockSeed();
  std::this_thread::sleep_for(std::chrono::microseconds(50));
  EXPECT_NE(ClockSeed(), first);
  const SeedClock fixed = FixedSeed(4242);
  EXPECT_EQ(fixed(), 4242u);
  EXPECT_EQ(fixed(), 4242u);
}

}  // namespace
}  // namespace dla
