// TAgent: one random walker. It holds its values and paints itself; the
// world turns and moves it, and it knows nothing of the lattice or the wrap.
#pragma once

#include <cstdint>

#include "TCanvas.h"

namespace dla {

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

  // Store the value unchanged.
  void SetX(std::int32_t value) noexcept { X = value; }
  void SetY(std::int32_t value) noexcept { Y = value; }
  void SetRadius(std::int32_t value) noexcept { Radius = value; }
  void SetHeading(std::int32_t value) noexcept { Heading = value; }

  // Red pen of width 1, red brush, ellipse (X-R, Y-R, X+R, Y+R): with
  // Radius 1 the 2 x 2 block from (X-1, Y-1) to (X, Y).
  void Draw(TCanvas& canvas) const {
    canvas.SetPenColour(TCanvas::Red);
    canvas.SetPenWidth(1);
    canvas.SetBrushColour(TCanvas::Red);
    const std::int64_t x = X, y = Y, r = Radius;
    canvas.Ellipse(x - r, y - r, x + r, y + r);
  }
};

}  // namespace dla
