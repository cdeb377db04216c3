// The drawing image: a 32-bit pixel buffer of the drawing area's size with a
// pen and a brush, on which agents paint themselves. It owns its pixels, or
// draws into a buffer that its caller owns (a window's image, a web page's
// pixels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dla {

// How a pixel is stored in its 32-bit word; every pixel is opaque (alpha 255).
enum class PixelOrder {
  // 0xFFRRGGBB: Qt's QImage::Format_RGB32 / Format_ARGB32 on every platform.
  Argb32,
  // 0xFFBBGGRR: the bytes R, G, B, A in memory on a little-endian machine,
  // a web canvas's ImageData.
  Rgba8888,
};

// Colours come in as 0x00BBGGRR (red in the lowest byte; the top byte is
// ignored) and are stored in the canvas's pixel order, Argb32 unless asked
// otherwise, so a window shows the buffer without converting it.
class TCanvas {
 public:
  static constexpr std::uint32_t White = 0x00FFFFFF;
  static constexpr std::uint32_t Black = 0x00000000;
  static constexpr std::uint32_t Red = 0x000000FF;

  // A white canvas of width x height pixels (Argb32), black
  // pen of width 1, white brush. Throws std::invalid_argument unless both
  // are at least 1.
  TCanvas(std::int32_t width, std::int32_t height);
  // A canvas on the caller's buffer of height rows of `stride` pixels,
  // width <= stride, left as it is; no apron. The buffer must outlive the
  // canvas. Throws std::invalid_argument unless width and height are at
  // least 1 and stride >= width.
  TCanvas(std::uint32_t* pixels, std::int32_t width, std::int32_t height, std::ptrdiff_t stride,
          PixelOrder order);
  // An empty canvas, 0 x 0 pixels and no storage. Nothing may be drawn on it.
  TCanvas() noexcept = default;
  // Moving keeps the pixels where they are; a copy would have to re-point a
  // view, and nothing needs one.
  TCanvas(TCanvas&&) noexcept = default;
  TCanvas& operator=(TCanvas&&) noexcept = default;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  std::int32_t Width() const noexcept { return width_; }
  std::int32_t Height() const noexcept { return height_; }
  // Pixels from one row to the next, at least Width().
  std::ptrdiff_t Stride() const noexcept { return stride_; }
  PixelOrder Order() const noexcept { return order_; }
  // The top-left pixel; Height() rows of Width() pixels, Stride() apart.
  const std::uint32_t* Bits() const noexcept { return bits_; }

  // The pixel at (x, y), 0 <= x < Width(), 0 <= y < Height(), as stored.
  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const noexcept {
    return bits_[static_cast<std::ptrdiff_t>(y) * stride_ + x];
  }
  // A model colour as this canvas stores it.
  std::uint32_t Stored(std::uint32_t colour) const noexcept {
    return order_ == PixelOrder::Argb32 ? ToPixel(colour) : 0xFF000000u | colour;
  }

  void SetPenColour(std::uint32_t colour) noexcept { penColour_ = colour; }
  // A negative width is ignored. The ellipse's edge is one pixel wide
  // whatever the width.
  void SetPenWidth(std::int32_t width) noexcept {
    if (width >= 0) penWidth_ = width;
  }
  void SetBrushColour(std::uint32_t colour) noexcept { brushColour_ = colour; }
  std::uint32_t PenColour() const noexcept { return penColour_; }
  std::int32_t PenWidth() const noexcept { return penWidth_; }
  std::uint32_t BrushColour() const noexcept { return brushColour_; }

  // The ellipse inscribed in the box of the pixels x1 <= x < x2,
  // y1 <= y < y2: the pixels whose centres lie in it, those with a
  // 4-neighbour outside it in the pen colour, the others in the brush
  // colour. A 2 x 2 box is covered entirely; whatever lies outside the
  // canvas is clipped.
  void Ellipse(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);

  // The first pixel of row y, 0 <= y < Height(), for writing stored pixels
  // directly.
  std::uint32_t* Row(std::int32_t y) noexcept { return bits_ + static_cast<std::ptrdiff_t>(y) * stride_; }
  // Paints the pixels x1 <= x < x2, y1 <= y < y2 with a stored pixel, clipped
  // to the canvas.
  void FillBox(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, std::uint32_t pixel);

  // 0x00BBGGRR -> 0xFFRRGGBB.
  static constexpr std::uint32_t ToPixel(std::uint32_t colour) noexcept {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
  }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::ptrdiff_t stride_ = 0;
  PixelOrder order_ = PixelOrder::Argb32;
  // Empty for a canvas on the caller's buffer.
  std::vector<std::uint32_t> storage_;
  std::uint32_t* bits_ = nullptr;
  std::uint32_t penColour_ = Black;
  std::int32_t penWidth_ = 1;
  std::uint32_t brushColour_ = White;
};

}  // namespace dla
