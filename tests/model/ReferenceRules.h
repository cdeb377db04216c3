// The rules as the literal step reads them, where the engine computes the
// same another way or not at all: the extended-precision sine and cosine,
// the uniform draw and the bounded one, the agent's turn and step vector, the
// canvas's rectangle and its pixels as colours. The tests hold the engine's
// ways to these.
#pragma once

#include <cstdint>

#include "Random.h"
#include "TCanvas.h"
#include "TRandom.h"
#include "agenten.h"

namespace dla::test {

// Extended-precision sine and cosine, radians.
long double Sine(long double x) noexcept;
long double Cosine(long double x) noexcept;

// Advances once, then seed / 2^32: exact, 0 <= u < 1.
long double UniformReal(TRandom& random) noexcept;

// One draw u; RoundHalfEven(u * (b - a + 1) + a), low 32 bits, with
// b - a + 1 wrapping modulo 2^32 as a signed 32-bit count, so the result runs
// from a to b + 1, the two ends half as likely as the inner values. Integer
// arithmetic only, equal to the extended-precision formula for every
// argument: u * count + a is a multiple of 2^-32 below 2^32 in magnitude,
// which a 64-bit significand holds exactly.
std::int32_t RandomBetween(std::int32_t a, std::int32_t b, TRandom& random) noexcept;

// The twelfth of the full turn the heading h (radians) points into: 0 for
// [0, 30) degrees up to 11 for [330, 360).
constexpr int HeadingSector(std::int32_t h) noexcept {
  const auto top = static_cast<std::uint64_t>(HeadingTurn(h) >> 64);
  return static_cast<int>((static_cast<UInt128>(top) * 12u) >> 64);
}
// RoundHalfEven(Sine(h)) and RoundHalfEven(Cosine(h)) read off the heading's
// sector (SectorSine, SectorCosine).
inline std::int32_t RoundedSine(std::int32_t h) noexcept { return SectorSine[HeadingSector(h)]; }
inline std::int32_t RoundedCosine(std::int32_t h) noexcept { return SectorCosine[HeadingSector(h)]; }

// The agent's turn: Heading += 45 * RandomBetween(-n, n) (wrapping), then DX
// and DY from the new heading.
void ChangeHeading(TAgent& agent, std::int32_t n, TRandom& random) noexcept;

// Paints the pixels x1 <= x < x2, y1 <= y < y2: a ring max(pen width, 1)
// pixels wide inside the box in the pen colour, the rest in the brush
// colour. Column x2 and row y2 stay untouched; whatever lies outside the
// canvas is clipped.
void Rectangle(TCanvas& canvas, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);

// The pixel at (x, y) as a model colour (0x00BBGGRR).
std::uint32_t PixelColour(const TCanvas& canvas, std::int32_t x, std::int32_t y) noexcept;

}  // namespace dla::test
