#include "cell_P.h"

#include "TCanvas.h"

namespace dla {

void TCell::Draw(TCanvas& canvas) const {
  canvas.SetPenWidth(0);
  canvas.SetBrushColour(Colour());
  canvas.SetPenColour(Colour());
  const std::int64_t x = positionX_, y = positionY_, s = size_;
  canvas.Rectangle(x - s, y - s, x + s, y + s);
}

}  // namespace dla
