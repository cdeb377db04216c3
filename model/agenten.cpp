#include "agenten.h"

#include "TCanvas.h"

namespace dla {

void TAgent::Draw(TCanvas& canvas) const {
  canvas.SetPenColour(TCanvas::Red);
  canvas.SetPenWidth(1);
  canvas.SetBrushColour(TCanvas::Red);
  const std::int64_t x = X, y = Y, r = Radius;
  canvas.Ellipse(x - r, y - r, x + r, y + r);
}

}  // namespace dla
