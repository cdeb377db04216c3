// The model's only source of chance and its only conversion of reals to
// integers. A whole run is fixed by the seed that the last seeding left, so
// every operation here is defined to the bit.
#pragma once

#include <cstdint>

namespace dla {

// The multiplier of the linear congruential seed update.
inline constexpr std::uint32_t SeedMultiplier = 134775813u;  // 0x08088405

// seed' = seed * 134775813 + 1 (mod 2^32).
constexpr std::uint32_t NextSeed(std::uint32_t seed) noexcept {
  return seed * SeedMultiplier + 1u;
}

// The seed is one 32-bit word per thread. The program runs its model on one
// thread, so for it this is the process-wide seed; the sweep runner gives
// each run a thread of its own, and the runs stay independent.
// While a SeedStream holds the seed, every function here that reads or
// writes it stops the program: such a draw would be lost when the stream
// gives the seed back.
std::uint32_t Seed() noexcept;
void SetSeed(std::uint32_t seed) noexcept;

// For SeedStream only: hands out the thread's seed and marks it lent, and
// takes it back. Lending a lent seed stops the program.
std::uint32_t LendSeed() noexcept;
void ReturnSeed(std::uint32_t seed) noexcept;

// Replaces the seed by the low 32 bits of the finest monotonic clock the
// platform has (nanoseconds); falls back to a millisecond count if that clock
// cannot be read.
void SeedFromClock() noexcept;

// Advances the seed once, then returns seed / 2^32: exact, 0 <= u < 1.
long double UniformReal() noexcept;

// Advances the seed once, then returns (n * seed) >> 32 as unsigned 32-bit
// operands: 0 <= r < n for n >= 1. n <= 0 is taken as its unsigned pattern,
// as the draw has no check (the model only passes n >= 1).
std::int32_t UniformBelow(std::int32_t n) noexcept;

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

// Which twelfth of the full turn the heading h (radians) points into:
// 0 for [0, 30) degrees up to 11 for [330, 360). h times one radian as a
// 128-bit fraction of a turn, modulo 2^128, is the exact direction with an
// error below |h| * 2^-128 turns.
__extension__ typedef unsigned __int128 UInt128;
__extension__ typedef __int128 Int128;
inline int HeadingSector(std::int32_t h) noexcept {
  // floor(2^128 / (2*pi))
  constexpr UInt128 TurnPerRadian =
      (static_cast<UInt128>(0x28be60db9391054aULL) << 64) | 0x7f09d5f47d4d3770ULL;
  const UInt128 turn = static_cast<UInt128>(static_cast<Int128>(h)) * TurnPerRadian;
  const auto top = static_cast<std::uint64_t>(turn >> 64);
  return static_cast<int>((static_cast<UInt128>(top) * 12u) >> 64);
}

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
