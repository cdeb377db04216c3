#include "agenten.h"

#include "TCanvas.h"

namespace dla {

std::int32_t TAgent::RandomBetween(std::int32_t a, std::int32_t b) {
  SeedStream draws;
  return draws.Between(a, b);
}

void TAgent::ChangeHeading(std::int32_t n) {
  SeedStream draws;
  ChangeHeading(n, draws);
}

void TAgent::Draw(TCanvas& canvas) const {
  canvas.SetPenColour(TCanvas::Red);
  canvas.SetPenWidth(1);
  canvas.SetBrushColour(TCanvas::Red);
  const std::int64_t x = X, y = Y, r = Radius;
  canvas.Ellipse(x - r, y - r, x + r, y + r);
}

}  // namespace dla
