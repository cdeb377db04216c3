#include "cell_P.h"

#include "ReferenceRules.h"

namespace dla::test {

void TCell::Draw(TCanvas& canvas) const {
  canvas.SetPenWidth(0);
  canvas.SetBrushColour(Colour());
  canvas.SetPenColour(Colour());
  const std::int64_t x = positionX_, y = positionY_, s = size_;
  Rectangle(canvas, x - s, y - s, x + s, y + s);
}

}  // namespace dla::test
