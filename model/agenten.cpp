#include "agenten.h"

#include "TCanvas.h"

namespace dla {

namespace {

// Two's-complement arithmetic on 32-bit values without signed overflow.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t WrapMul(std::int32_t a, std::int32_t b) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace

std::int32_t TAgent::RandomBetween(std::int32_t a, std::int32_t b) {
  const long double u = UniformReal();
  const std::int32_t count = WrapAdd(WrapAdd(b, WrapMul(a, -1)), 1);
  const long double v = u * static_cast<long double>(count) + static_cast<long double>(a);
  return Low32(RoundHalfEven(v));
}

void TAgent::ChangeHeading(std::int32_t n) {
  const std::int32_t k = RandomBetween(WrapMul(n, -1), n);
  Heading = WrapAdd(Heading, WrapMul(45, k));
  CalcDX(Heading);
  CalcDY(Heading);
}

void TAgent::Draw(TCanvas& canvas) const {
  canvas.SetPenColour(TCanvas::Red);
  canvas.SetPenWidth(1);
  canvas.SetBrushColour(TCanvas::Red);
  const std::int64_t x = X, y = Y, r = Radius;
  canvas.Ellipse(x - r, y - r, x + r, y + r);
}

}  // namespace dla
