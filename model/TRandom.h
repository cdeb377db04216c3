// The model's random source: a 32-bit linear congruential generator. Each
// world owns one, so worlds on one thread or on several step independently.
// A plain value: copying it forks the sequence, which lets a hot loop keep
// the state in a register and store it back once.
#pragma once

#include <cstdint>

#include "Random.h"

namespace dla {

class TRandom {
 public:
  explicit constexpr TRandom(std::uint32_t seed = 0) noexcept : seed_(seed) {}

  // The state that the next draw updates.
  constexpr std::uint32_t Seed() const noexcept { return seed_; }
  // Replaces the state: the draws that follow are those of that seed.
  constexpr void Reseed(std::uint32_t seed) noexcept { seed_ = seed; }

  // Advances once, then seed / 2^32: exact, 0 <= u < 1.
  long double UniformReal() noexcept;

  // Advances once, then (n * seed) >> 32 with both taken as unsigned 32-bit
  // operands: 0 <= r < n for n >= 1. n <= 0 is taken as its unsigned
  // pattern, as the draw has no check (the model only passes n >= 1).
  constexpr std::int32_t UniformBelow(std::int32_t n) noexcept {
    seed_ = NextSeed(seed_);
    const std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(n)) * seed_;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32));
  }

  // One draw u; RoundHalfEven(u * (b - a + 1) + a), low 32 bits, with
  // b - a + 1 wrapping modulo 2^32 as a signed 32-bit count. Integer
  // arithmetic only, equal to the extended-precision formula for every
  // argument: u * count + a is a multiple of 2^-32 below 2^32 in magnitude,
  // which a 64-bit significand holds exactly.
  constexpr std::int32_t Between(std::int32_t a, std::int32_t b) noexcept {
    seed_ = NextSeed(seed_);
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(b) -
                                                 static_cast<std::uint32_t>(a) + 1u);
    // The value times 2^32, exactly.
    const Int128 scaled = static_cast<Int128>(seed_) * count + static_cast<Int128>(a) * (Int128{1} << 32);
    std::int64_t units = static_cast<std::int64_t>(scaled >> 32);
    const auto rest = static_cast<std::uint32_t>(scaled);
    units += (rest > 0x80000000u) | ((rest == 0x80000000u) & (units & 1));
    return Low32(units);
  }

  // Between(-2, 2) + 2, the same draw: a walker's turn as 0 ... 5 (see
  // TurnSlotOf).
  constexpr std::int32_t TurnSlot() noexcept {
    seed_ = NextSeed(seed_);
    return TurnSlotOf(seed_);
  }

  // The turn slot of the draw that updated the seed to `seed`. The nearest
  // integer to 5u - 2 is floor(5u + 1/2) - 2 except at the one tie, u = 1/2,
  // which rounds to the even 2 (turn 0) instead of up.
  static constexpr std::int32_t TurnSlotOf(std::uint32_t seed) noexcept {
    const std::uint64_t half = 0x80000000u;
    return static_cast<std::int32_t>(((std::uint64_t{seed} * 5u + half) >> 32) - (seed == half));
  }

 private:
  std::uint32_t seed_;
};

}  // namespace dla
