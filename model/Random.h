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

// Where a seeding takes its seed from: the program reads a clock, a run that
// is to repeat gives a fixed value. Called once per seeding, on the thread
// of the world that seeds.
using SeedClock = std::function<std::uint32_t()>;

// The low 32 bits of the finest monotonic clock the platform has
// (nanoseconds); a millisecond count if that clock cannot be read.
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

// Extended-precision sine and cosine, radians.
long double Sine(long double x) noexcept;
long double Cosine(long double x) noexcept;

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
// Which twelfth of the full turn a turn (as from HeadingTurn) points into: 0
// for [0, 30) degrees up to 11 for [330, 360).
constexpr int TurnSector(UInt128 turn) noexcept {
  const auto top = static_cast<std::uint64_t>(turn >> 64);
  return static_cast<int>((static_cast<UInt128>(top) * 12u) >> 64);
}
// The twelfth of the full turn the heading h (radians) points into.
constexpr int HeadingSector(std::int32_t h) noexcept { return TurnSector(HeadingTurn(h)); }

// RoundHalfEven(Sine(h)) and RoundHalfEven(Cosine(h)) for an integer heading
// h in radians, each -1, 0 or 1, read off the heading's sector instead of
// evaluating the functions. The 32-bit integer closest to a point where a
// sine or cosine is exactly +-0.5 is 849830593, 1.5e-10 rad away (found by
// going through all of them), far beyond the error of either way, so both
// agree for every heading; the tests check them against each other.
inline constexpr std::int8_t SectorSine[12] = {0, 1, 1, 1, 1, 0, 0, -1, -1, -1, -1, 0};
inline constexpr std::int8_t SectorCosine[12] = {1, 1, 0, 0, -1, -1, -1, -1, 0, 0, 1, 1};
inline std::int32_t RoundedSine(std::int32_t h) noexcept { return SectorSine[HeadingSector(h)]; }
inline std::int32_t RoundedCosine(std::int32_t h) noexcept {
  return SectorCosine[HeadingSector(h)];
}

}  // namespace dla
