#include "Random.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

#ifdef __EMSCRIPTEN__
#include <sys/random.h>
#endif

namespace dla {

std::uint32_t ClockSeed() noexcept {
#ifdef __EMSCRIPTEN__
  // A browser coarsens its clocks (performance.now(), counted from the
  // page's load, in steps of 100 us or more), so pages opened together would
  // seed alike; emscripten's getentropy() reads crypto.getRandomValues().
  std::uint32_t entropy = 0;
  if (getentropy(&entropy, sizeof entropy) == 0) return entropy;
#endif
  using namespace std::chrono;
  // steady_clock is the finest counter the platform offers here (ns); a
  // clock that reports nothing (0) counts as unreadable.
  const auto ticks = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
  if (ticks != 0) return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks));
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

SeedClock FixedSeed(std::uint32_t seed) {
  return [seed] { return seed; };
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

}  // namespace dla
