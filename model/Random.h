// The model's only source of chance and its only conversion of reals to
// integers. A whole run is fixed by the seed that the last seeding left, so
// every operation here is defined to the bit.
#pragma once

#include <cstdint>
#include <functional>

namespace dla {

// The multiplier of the linear congruential seed update.
inline constexpr std::uint32_t SeedMultiplier = 134775813u;  // 0x08088405

// seed' = seed * 134775813 + 1 (mod 2^32).
constexpr std::uint32_t NextSeed(std::uint32_t seed) noexcept {
  return seed * SeedMultiplier + 1u;
}

// The seed after `draws` updates, NextSeed applied that many times, in
// O(log draws) steps: the update is an affine map, squared for every bit of
// draws. A range of the agents starts its draws from here without making
// those of the agents before it.
constexpr std::uint32_t SeedAfter(std::uint32_t seed, std::uint64_t draws) noexcept {
  // x -> a x + c is the update 2^k times over.
  std::uint32_t a = SeedMultiplier, c = 1u;
  for (; draws != 0; draws >>= 1) {
    if ((draws & 1u) != 0) seed = a * seed + c;
    c = (a + 1u) * c;
    a *= a;
  }
  return seed;
}

// Where a seeding takes its seed from: the program reads a clock, a run that
// is to repeat gives a fixed value. Called once per seeding, on the thread
// of the world that seeds.
using SeedClock = std::function<std::uint32_t()>;

// The low 32 bits of the finest monotonic clock the platform has
// (nanoseconds); a millisecond count if that clock cannot be read. Compiled
// to WebAssembly, where a browser's clock is too coarse to tell pages opened
// together apart, 32 bits of the browser's cryptographic random values
// (crypto.getRandomValues) instead.
std::uint32_t ClockSeed() noexcept;

// A clock that always reads `seed`: every seeding leaves the same seed, so
// a world repeats its run.
SeedClock FixedSeed(std::uint32_t seed);

// Nearest integer, ties to even. Callers keep the low 32 bits.
// Throws std::range_error for NaN or a value outside the 64-bit range, where
// the conversion has no integer to give.
std::int64_t RoundHalfEven(long double x);

// The low 32 bits of a 64-bit integer as a signed 32-bit value, without the
// implementation-defined narrowing.
constexpr std::int32_t Low32(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// Headings as fractions of a turn: h times one radian as a 128-bit fraction
// of a turn, modulo 2^128, is the exact direction with an error below
// |h| * 2^-128 turns. The map is additive modulo 2^128, so a heading changed
// by d has the turn HeadingTurn(h) + HeadingTurn(d), less TurnPerRadian << 32
// where the 32-bit sum wrapped upwards (2^32 too small) and plus it where it
// wrapped downwards: a walker can carry its turn along instead of reducing
// its heading again at every step.
__extension__ typedef unsigned __int128 UInt128;
__extension__ typedef __int128 Int128;
// floor(2^128 / (2*pi))
inline constexpr UInt128 TurnPerRadian =
    (static_cast<UInt128>(0x28be60db9391054aULL) << 64) | 0x7f09d5f47d4d3770ULL;
constexpr UInt128 HeadingTurn(std::int32_t h) noexcept {
  return static_cast<UInt128>(static_cast<Int128>(h)) * TurnPerRadian;
}
// RoundHalfEven of the sine and of the cosine of every heading (radians)
// that points into the twelfth s of the full turn ([30 s, 30 (s + 1))
// degrees): each -1, 0 or 1. The 32-bit integer closest to a point where a
// sine or cosine is exactly +-0.5 is 849830593, 1.5e-10 rad away (found by
// going through all of them), far beyond the error of reading the twelfth
// off HeadingTurn, so the tables agree with the functions for every heading;
// the tests check them against each other.
inline constexpr std::int8_t SectorSine[12] = {0, 1, 1, 1, 1, 0, 0, -1, -1, -1, -1, 0};
inline constexpr std::int8_t SectorCosine[12] = {1, 1, 0, 0, -1, -1, -1, -1, 0, 0, 1, 1};

}  // namespace dla
