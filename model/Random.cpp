#include "Random.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace dla {

namespace {

thread_local std::uint32_t currentSeed = 0;
thread_local bool seedLent = false;

[[noreturn]] void SeedUsedWhileLent() noexcept {
  std::fputs("the random seed was used while a SeedStream held it\n", stderr);
  std::abort();
}

// Every direct use of the seed goes through here first.
void CheckNotLent() noexcept {
  if (seedLent) [[unlikely]] SeedUsedWhileLent();
}

}  // namespace

std::uint32_t Seed() noexcept {
  CheckNotLent();
  return currentSeed;
}

void SetSeed(std::uint32_t seed) noexcept {
  CheckNotLent();
  currentSeed = seed;
}

std::uint32_t LendSeed() noexcept {
  CheckNotLent();
  seedLent = true;
  return currentSeed;
}

void ReturnSeed(std::uint32_t seed) noexcept {
  currentSeed = seed;
  seedLent = false;
}

void SeedFromClock() noexcept {
  CheckNotLent();
  using namespace std::chrono;
  // steady_clock is the finest counter the platform offers here (ns); a
  // clock that reports nothing (0) counts as unreadable.
  const auto fine = steady_clock::now().time_since_epoch();
  const auto ticks = duration_cast<nanoseconds>(fine).count();
  if (ticks != 0) {
    currentSeed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks));
    return;
  }
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  currentSeed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

long double UniformReal() noexcept {
  CheckNotLent();
  currentSeed = NextSeed(currentSeed);
  return std::ldexp(static_cast<long double>(currentSeed), -32);
}

std::int32_t UniformBelow(std::int32_t n) noexcept {
  CheckNotLent();
  currentSeed = NextSeed(currentSeed);
  const std::uint64_t product =
      static_cast<std::uint64_t>(static_cast<std::uint32_t>(n)) * currentSeed;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(product >> 32));
}

std::int64_t RoundHalfEven(long double x) {
  // 2^63 is the first value with no 64-bit signed integer.
  constexpr long double Limit = 9223372036854775808.0L;
  if (std::isnan(x) || x >= Limit || x < -Limit) {
    throw std::range_error("Invalid floating point operation");
  }
  // The default rounding mode, which nothing in this program changes, is to
  // nearest with ties to even.
  return static_cast<std::int64_t>(std::nearbyint(x));
}

long double Sine(long double x) noexcept { return std::sin(x); }
long double Cosine(long double x) noexcept { return std::cos(x); }

}  // namespace dla
