#include "TCanvas.h"

#include <algorithm>
#include <stdexcept>

namespace dla {

TCanvas::TCanvas(std::int32_t width, std::int32_t height)
    : width_(width), height_(height), stride_(width) {
  if (width < 1 || height < 1) {
    throw std::invalid_argument("the drawing area needs at least one pixel each way");
  }
  storage_.assign(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height),
                  ToPixel(White));
  bits_ = storage_.data();
}

TCanvas::TCanvas(std::uint32_t* pixels, std::int32_t width, std::int32_t height, std::ptrdiff_t stride,
                 PixelOrder order)
    : width_(width), height_(height), stride_(stride), order_(order), bits_(pixels) {
  if (width < 1 || height < 1 || stride < width || pixels == nullptr) {
    throw std::invalid_argument("the drawing area needs at least one pixel each way");
  }
}

void TCanvas::FillBox(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                      std::uint32_t pixel) {
  x1 = std::max<std::int64_t>(x1, 0);
  x2 = std::min<std::int64_t>(x2, width_);
  if (x1 >= x2) return;
  const std::int64_t bottom = std::min<std::int64_t>(y2, height_);
  for (std::int64_t y = std::max<std::int64_t>(y1, 0); y < bottom; ++y) {
    std::uint32_t* row = Row(static_cast<std::int32_t>(y));
    std::fill(row + x1, row + x2, pixel);
  }
}

void TCanvas::Ellipse(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
  if (x1 >= x2 || y1 >= y2) return;
  const std::uint32_t pen = Stored(penColour_);
  const std::uint32_t brush = Stored(brushColour_);
  // Box in continuous coordinates [x1, x2) x [y1, y2); pixel (x, y) has its
  // centre at (x + 0.5, y + 0.5).
  const long double cx = (static_cast<long double>(x1) + static_cast<long double>(x2)) / 2;
  const long double cy = (static_cast<long double>(y1) + static_cast<long double>(y2)) / 2;
  const long double a = (static_cast<long double>(x2) - static_cast<long double>(x1)) / 2;
  const long double b = (static_cast<long double>(y2) - static_cast<long double>(y1)) / 2;
  const auto inside = [&](std::int64_t x, std::int64_t y) {
    if (x < x1 || x >= x2 || y < y1 || y >= y2) return false;
    const long double dx = (static_cast<long double>(x) + 0.5L - cx) / a;
    const long double dy = (static_cast<long double>(y) + 0.5L - cy) / b;
    return dx * dx + dy * dy <= 1.0L;
  };
  const std::int64_t top = std::max<std::int64_t>(y1, 0);
  const std::int64_t bottom = std::min<std::int64_t>(y2, height_);
  const std::int64_t left = std::max<std::int64_t>(x1, 0);
  const std::int64_t right = std::min<std::int64_t>(x2, width_);
  for (std::int64_t y = top; y < bottom; ++y) {
    std::uint32_t* row = Row(static_cast<std::int32_t>(y));
    for (std::int64_t x = left; x < right; ++x) {
      if (!inside(x, y)) continue;
      const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      row[x] = edge ? pen : brush;
    }
  }
}

}  // namespace dla
