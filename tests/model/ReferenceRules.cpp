#include "ReferenceRules.h"

#include <algorithm>
#include <cmath>

namespace dla::test {

long double Sine(long double x) noexcept { return std::sin(x); }
long double Cosine(long double x) noexcept { return std::cos(x); }

long double UniformReal(TRandom& random) noexcept {
  random.Reseed(NextSeed(random.Seed()));
  return std::ldexp(static_cast<long double>(random.Seed()), -32);
}

std::int32_t RandomBetween(std::int32_t a, std::int32_t b, TRandom& random) noexcept {
  random.Reseed(NextSeed(random.Seed()));
  const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(b) - static_cast<std::uint32_t>(a) + 1u);
  // The value times 2^32, exactly.
  const Int128 scaled = static_cast<Int128>(random.Seed()) * count + static_cast<Int128>(a) * (Int128{1} << 32);
  std::int64_t units = static_cast<std::int64_t>(scaled >> 32);
  const auto rest = static_cast<std::uint32_t>(scaled);
  units += (rest > 0x80000000u) | ((rest == 0x80000000u) & (units & 1));
  return Low32(units);
}

void ChangeHeading(TAgent& agent, std::int32_t n, TRandom& random) noexcept {
  const auto negated = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(n));
  const auto units = static_cast<std::uint32_t>(RandomBetween(negated, n, random));
  agent.Heading = static_cast<std::int32_t>(static_cast<std::uint32_t>(agent.Heading) + 45u * units);
  agent.DX = RoundedSine(agent.Heading);
  agent.DY = RoundedCosine(agent.Heading);
}

void Rectangle(TCanvas& canvas, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
  if (x1 >= x2 || y1 >= y2) return;
  const std::int64_t ring = std::max<std::int32_t>(canvas.PenWidth(), 1);
  const std::uint32_t pen = canvas.Stored(canvas.PenColour());
  const std::uint32_t brush = canvas.Stored(canvas.BrushColour());
  const std::int64_t bottom = std::min<std::int64_t>(y2, canvas.Height());
  for (std::int64_t y = std::max<std::int64_t>(y1, 0); y < bottom; ++y) {
    if (y < y1 + ring || y >= y2 - ring) {
      canvas.FillBox(x1, y, x2, y + 1, pen);
      continue;
    }
    const std::int64_t innerLeft = std::min(x1 + ring, x2);
    const std::int64_t innerRight = std::max(x2 - ring, innerLeft);
    canvas.FillBox(x1, y, innerLeft, y + 1, pen);
    canvas.FillBox(innerLeft, y, innerRight, y + 1, brush);
    canvas.FillBox(innerRight, y, x2, y + 1, pen);
  }
}

std::uint32_t PixelColour(const TCanvas& canvas, std::int32_t x, std::int32_t y) noexcept {
  const std::uint32_t pixel = canvas.Pixel(x, y);
  if (canvas.Order() == PixelOrder::Rgba8888) return pixel & 0x00FFFFFFu;
  return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}

}  // namespace dla::test
