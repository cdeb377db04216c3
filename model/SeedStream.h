// Draws from the thread's seed (Random.h) through a copy that a hot loop can
// keep in a register. The stream takes the seed when it is made and gives it
// back when it ends; in between, every other use of the thread's seed stops
// the program, so a draw added beside the stream cannot be silently lost.
#pragma once

#include <cstdint>

#include "Random.h"

namespace dla {

class SeedStream {
 public:
  SeedStream() noexcept : seed_(LendSeed()) {}
  ~SeedStream() { ReturnSeed(seed_); }
  SeedStream(const SeedStream&) = delete;
  SeedStream& operator=(const SeedStream&) = delete;

  // RoundHalfEven(u * (b - a + 1) + a) for one draw u = seed / 2^32, with
  // b - a + 1 wrapping modulo 2^32 as a signed 32-bit count; the low 32 bits.
  // Integer arithmetic only, equal to the extended-precision formula for
  // every argument: u * count + a is a multiple of 2^-32 below 2^32 in
  // magnitude, which a 64-bit significand holds exactly.
  std::int32_t Between(std::int32_t a, std::int32_t b) noexcept {
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

 private:
  std::uint32_t seed_;
};

}  // namespace dla
