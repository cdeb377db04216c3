// TAgent: one random walker. It holds its values, turns, derives its step
// vector and paints itself; it knows nothing of the lattice or the wrap.
#pragma once

#include <cstdint>

#include "Random.h"
#include "TRandom.h"

namespace dla {

class TCanvas;

class TAgent {
 public:
  // All 32-bit, all zero until placed. Moving is 1 (free) or 0 (stuck).
  // X, Y: pixel coordinates of the centre (y grows downwards).
  // Heading: accumulated, in radians, changed in multiples of 45 and
  // wrapping modulo 2^32. DX, DY: the step vector, each -1, 0 or 1, and
  // never both 0 once computed.
  std::int32_t Moving = 0;
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Radius = 0;
  std::int32_t Heading = 0;
  std::int32_t DX = 0;
  std::int32_t DY = 0;

  // One draw from `random`: RoundHalfEven(u * (b - a + 1) + a), so the
  // result runs from a to b + 1, the two ends half as likely as the inner
  // values. b - a + 1 wraps modulo 2^32. Reads and writes no field.
  static std::int32_t RandomBetween(std::int32_t a, std::int32_t b, TRandom& random) noexcept {
    return random.Between(a, b);
  }

  // Heading += 45 * RandomBetween(-n, n) (wrapping), then DX and DY from the
  // new heading.
  void ChangeHeading(std::int32_t n, TRandom& random) noexcept {
    const auto negated = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(n));
    const auto units = static_cast<std::uint32_t>(RandomBetween(negated, n, random));
    Heading = static_cast<std::int32_t>(static_cast<std::uint32_t>(Heading) + 45u * units);
    const int sector = HeadingSector(Heading);
    DX = SectorSine[sector];
    DY = SectorCosine[sector];
  }

  // DX := RoundHalfEven(sine of h); DY := RoundHalfEven(cosine of h).
  void CalcDX(std::int32_t h) noexcept { DX = RoundedSine(h); }
  void CalcDY(std::int32_t h) noexcept { DY = RoundedCosine(h); }

  // Store the value unchanged.
  void SetX(std::int32_t value) noexcept { X = value; }
  void SetY(std::int32_t value) noexcept { Y = value; }
  void SetRadius(std::int32_t value) noexcept { Radius = value; }
  void SetHeading(std::int32_t value) noexcept { Heading = value; }

  // Red pen of width 1, red brush, ellipse (X-R, Y-R, X+R, Y+R): with
  // Radius 1 the 2 x 2 block from (X-1, Y-1) to (X, Y).
  void Draw(TCanvas& canvas) const;
};

}  // namespace dla
