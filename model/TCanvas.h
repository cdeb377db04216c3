// The drawing image: a 32-bit pixel buffer of the drawing area's size with a
// pen and a brush, on which cells and agents paint themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dla {

// Colours come in as 0x00BBGGRR (red in the lowest byte; the top byte is
// ignored). Pixels are stored as 0xFFRRGGBB, the layout of Qt's
// QImage::Format_RGB32 / Format_ARGB32 on every platform, so a window shows
// the buffer without converting it.
class TCanvas {
 public:
  // Rows and columns past the right and bottom edge that exist in memory but
  // are never shown. They let the step paint a cell square of the last
  // column or row, which reaches one pixel past a 3*n-1 wide area, without
  // clipping each write.
  static constexpr std::int32_t Apron = 4;

  static constexpr std::uint32_t White = 0x00FFFFFF;
  static constexpr std::uint32_t Black = 0x00000000;
  static constexpr std::uint32_t Red = 0x000000FF;

  // A white canvas of width x height pixels, black pen of width 1, white
  // brush. Throws std::invalid_argument unless both are at least 1.
  TCanvas(std::int32_t width, std::int32_t height);
  // An empty canvas, 0 x 0 pixels and no storage: what a world that does
  // not paint hands out. Nothing may be drawn on it.
  TCanvas() noexcept = default;

  std::int32_t Width() const noexcept { return width_; }
  std::int32_t Height() const noexcept { return height_; }
  // Pixels from one row to the next; at least Width() + Apron.
  std::ptrdiff_t Stride() const noexcept { return stride_; }
  // The top-left pixel; Height() rows of Width() pixels, Stride() apart.
  const std::uint32_t* Bits() const noexcept { return pixels_.data(); }

  // The pixel at (x, y), 0 <= x < Width(), 0 <= y < Height(), as stored
  // (0xFFRRGGBB) and as a model colour (0x00BBGGRR).
  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const noexcept {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
                   static_cast<std::size_t>(x)];
  }
  std::uint32_t PixelColour(std::int32_t x, std::int32_t y) const noexcept {
    return ToColour(Pixel(x, y));
  }

  void SetPenColour(std::uint32_t colour) noexcept { penColour_ = colour; }
  // A negative width is ignored; 0 and 1 both draw one-pixel lines.
  void SetPenWidth(std::int32_t width) noexcept {
    if (width >= 0) penWidth_ = width;
  }
  void SetBrushColour(std::uint32_t colour) noexcept { brushColour_ = colour; }
  std::uint32_t PenColour() const noexcept { return penColour_; }
  std::int32_t PenWidth() const noexcept { return penWidth_; }
  std::uint32_t BrushColour() const noexcept { return brushColour_; }

  // Paints the pixels x1 <= x < x2, y1 <= y < y2: a ring max(pen width, 1)
  // pixels wide inside the box in the pen colour, the rest in the brush
  // colour. Column x2 and row y2 stay untouched; whatever lies outside the
  // canvas is clipped.
  void Rectangle(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);
  // The ellipse inscribed in the same box: the pixels whose centres lie in
  // it, those with a 4-neighbour outside it in the pen colour, the others in
  // the brush colour. A 2 x 2 box is covered entirely.
  void Ellipse(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);

  // Fills the whole canvas with one model colour.
  void Fill(std::uint32_t colour);

  // Unclipped fills for the step, in stored (0xFFRRGGBB) colours. The caller
  // guarantees 0 <= left, 0 <= top and that the block ends within Width() +
  // Apron and Height() + Apron.
  std::uint32_t* Row(std::int32_t y) noexcept {
    return pixels_.data() + static_cast<std::ptrdiff_t>(y) * stride_;
  }
  void FillSquare4(std::int32_t left, std::int32_t top, std::uint32_t pixel) noexcept {
    for (std::int32_t dy = 0; dy < 4; ++dy) {
      std::uint32_t* p = Row(top + dy) + left;
      p[0] = pixel; p[1] = pixel; p[2] = pixel; p[3] = pixel;
    }
  }
  void FillBlock2(std::int32_t left, std::int32_t top, std::uint32_t pixel) noexcept {
    std::uint32_t* p = Row(top) + left;
    p[0] = pixel; p[1] = pixel;
    p += stride_;
    p[0] = pixel; p[1] = pixel;
  }

  // 0x00BBGGRR <-> 0xFFRRGGBB.
  static constexpr std::uint32_t ToPixel(std::uint32_t colour) noexcept {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
  }
  static constexpr std::uint32_t ToColour(std::uint32_t pixel) noexcept {
    return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
  }

 private:
  // Paints x1 <= x < x2 of row y, clipped to the canvas.
  void FillSpan(std::int64_t y, std::int64_t x1, std::int64_t x2, std::uint32_t pixel);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::ptrdiff_t stride_ = 0;
  std::vector<std::uint32_t> pixels_;
  std::uint32_t penColour_ = Black;
  std::int32_t penWidth_ = 1;
  std::uint32_t brushColour_ = White;
};

}  // namespace dla
