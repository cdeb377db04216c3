// How close any 32-bit heading comes to a direction where a rounded sine or
// cosine changes (a twelfth of the turn k/12 with k = 1, 2, 4, 5, 7, 8, 10,
// 11; at the multiples of 90 degrees both stay the same on either side),
// over all 2^32 headings, each as HeadingTurn's top 64 bits. TFreeAgents
// carries its turns with an error that must stay below this margin. About
// 10 s on one core.
#include <cstdint>
#include <cstdio>

#include "Random.h"

int main() {
  constexpr bool Changes[13] = {false, true, true, false, true, true, false,
                                true,  true, false, true, true, false};
  dla::UInt128 nearest = ~dla::UInt128{0};  // in units of 2^-64 / 12 turns
  std::int64_t at = 0;
  for (std::int64_t h = INT32_MIN; h <= INT32_MAX; ++h) {
    const auto top = static_cast<std::uint64_t>(dla::HeadingTurn(static_cast<std::int32_t>(h)) >> 64);
    const dla::UInt128 twelfths = static_cast<dla::UInt128>(top) * 12u;
    const auto sector = static_cast<int>(twelfths >> 64);
    const auto above = static_cast<std::uint64_t>(twelfths);
    const dla::UInt128 below = (dla::UInt128{1} << 64) - above;
    if (Changes[sector] && above < nearest) nearest = above, at = h;
    if (Changes[sector + 1] && below < nearest) nearest = below, at = h;
  }
  const double units = static_cast<double>(nearest) / 12.0;
  std::printf("nearest heading %lld: %.4g units of 2^-64 turns (%.4g rad)\n", static_cast<long long>(at),
              units, units * 6.283185307179586 / 18446744073709551616.0);
}
