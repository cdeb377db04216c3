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

  // Advances once, then (n * seed) >> 32 with both taken as unsigned 32-bit
  // operands: 0 <= r < n for n >= 1. n <= 0 is taken as its unsigned
  // pattern, as the draw has no check (the model only passes n >= 1).
  constexpr std::int32_t UniformBelow(std::int32_t n) noexcept {
    seed_ = NextSeed(seed_);
    const std::uint64_t product = static_cast<std::uint64_t>(static_cast<std::uint32_t>(n)) * seed_;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32));
  }

  // A walker's turn, 0 ... 5 for -2 ... 3 (times 45 radians), from the draw
  // that updated the seed to `seed`: RoundHalfEven(5u - 2) + 2 with
  // u = seed / 2^32. The nearest integer to 5u - 2 is floor(5u + 1/2) - 2
  // except at the one tie, u = 1/2, which rounds to the even 2 (turn 0)
  // instead of up.
  static constexpr std::int32_t TurnSlotOf(std::uint32_t seed) noexcept {
    const std::uint64_t half = 0x80000000u;
    return static_cast<std::int32_t>(((std::uint64_t{seed} * 5u + half) >> 32) - (seed == half));
  }

 private:
  std::uint32_t seed_;
};

}  // namespace dla
