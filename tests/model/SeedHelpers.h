// Seeds chosen so that the next draw sees a given value.
#pragma once

#include <cstdint>
#include <vector>

#include "ReferenceRules.h"
#include "TRandom.h"
#include "agenten.h"

namespace dla::test {

// The seed whose update gives `next`.
constexpr std::uint32_t SeedBefore(std::uint32_t next) {
  std::uint32_t inverse = SeedMultiplier;  // Newton's iteration for 1/M mod 2^32
  for (int i = 0; i < 5; ++i) inverse *= 2u - SeedMultiplier * inverse;
  return (next - 1u) * inverse;
}
static_assert(NextSeed(SeedBefore(0x80000000u)) == 0x80000000u);

// A seed whose next UniformReal gives a turn of `units` (-2 ... 3) in
// ChangeHeading(2): u in the middle of that outcome's interval.
constexpr std::uint32_t SeedForTurn(int units) {
  const double u = (units + 2) / 5.0;  // 0.0, 0.2, ... 1.0: the interval's centre
  const double centre = units == 3 ? 0.95 : units == -2 ? 0.05 : u;
  return SeedBefore(static_cast<std::uint32_t>(centre * 4294967296.0));
}

// Free agents that the next step, drawing from `seed`, moves onto the given
// cells, `count` onto each, if they are the only free agents: each stands a
// cell above (wrapping on a lattice of `rows` rows) and faces the heading
// that its draw turns to 0, straight down.
struct Arrival { std::int32_t column, row, count; };
inline std::vector<TAgent> ArrivingAt(std::uint32_t seed, std::int32_t rows, const std::vector<Arrival>& arrivals) {
  TRandom draws(seed);
  std::vector<TAgent> agents;
  for (const Arrival& a : arrivals) {
    for (std::int32_t i = 0; i < a.count; ++i) {
      TAgent probe;  // takes the same draw as the agent will
      ChangeHeading(probe, 2, draws);
      agents.push_back({.Moving = 1, .X = 3 * a.column + 2, .Y = 3 * (a.row == 0 ? rows - 1 : a.row - 1) + 2,
                        .Radius = 1, .Heading = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(probe.Heading))});
    }
  }
  return agents;
}

}  // namespace dla::test
