#include "TPicture.h"

#include <algorithm>

namespace dla {

TPicture::TPicture(std::int32_t width, std::int32_t height, bool paints)
    : paints_(paints),
      canvas_(paints ? TCanvas(width, height) : TCanvas()),
      pixels_(paints ? canvas_.Row(0) : nullptr),
      stride_(canvas_.Stride()) {}

void TPicture::Clear() {
  if (!paints_) return;
  canvas_.Fill(TCanvas::White);
  squareCount_ = 0;
  dotCount_ = 0;
  repaintAll_ = false;
}

void TPicture::PaintPlaced(const TAgent& agent, std::size_t index) {
  const std::ptrdiff_t offset = (agent.Y - 1) * stride_ + (agent.X - 1);
  canvas_.FillBlock2(agent.X - 1, agent.Y - 1, Red);
  if (dotCount_ == dots_.size()) dots_.resize(2 * dotCount_ + 16);
  dots_[dotCount_++] = Dot{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(index)};
}

void TPicture::ListSquare(std::int32_t column, std::int32_t row) {
  if (squareCount_ == squares_.size()) squares_.resize(2 * squareCount_ + 16);
  squares_[squareCount_++] = Square{column, row};
}

TPicture::Brush TPicture::StartSweep(std::size_t agents) {
  if (squares_.size() < squareCount_ + agents) squares_.resize(squareCount_ + agents);
  if (dots_.size() < dotCount_ + agents) dots_.resize(dotCount_ + agents);
  Brush brush;
  brush.canvas_ = &canvas_;
  brush.pixels_ = pixels_;
  brush.stride_ = stride_;
  brush.squares_ = squares_.data() + squareCount_;
  brush.dots_ = dots_.data() + dotCount_;
  return brush;
}

void TPicture::FinishSweep(const Brush& brush) noexcept {
  squareCount_ = static_cast<std::size_t>(brush.squares_ - squares_.data());
  dotCount_ = static_cast<std::size_t>(brush.dots_ - dots_.data());
  repaintAll_ = repaintAll_ || brush.repaintAll_;
}

void TPicture::RestoreSquare(const TLattice& lattice, Square square) {
  const std::int32_t right = std::min(square.Column + 1, lattice.Columns() - 1);
  const std::int32_t below = std::min(square.Row + 1, lattice.Rows() - 1);
  const std::uint8_t* shades = lattice.Shades();
  const std::uint32_t own = ShadePixel(shades[lattice.IndexOf(square.Column, square.Row)]);
  const std::uint32_t east = ShadePixel(shades[lattice.IndexOf(right, square.Row)]);
  const std::uint32_t south = ShadePixel(shades[lattice.IndexOf(square.Column, below)]);
  const std::uint32_t southEast = ShadePixel(shades[lattice.IndexOf(right, below)]);
  std::uint32_t* p = pixels_ + 3 * square.Row * stride_ + 3 * square.Column;
  for (std::int32_t dy = 0; dy < 3; ++dy, p += stride_) {
    p[0] = own; p[1] = own; p[2] = own; p[3] = east;
  }
  p[0] = south; p[1] = south; p[2] = south; p[3] = southEast;
}

void TPicture::PaintBase(const TLattice& lattice) {
  const std::int32_t width = canvas_.Width();
  std::vector<std::uint32_t> line(static_cast<std::size_t>(width));
  for (std::int32_t y = 0; y < canvas_.Height(); ++y) {
    if (y % 3 == 0 && y / 3 < lattice.Rows()) {
      const std::uint8_t* shades = lattice.Shades() + lattice.IndexOf(0, y / 3);
      for (std::int32_t x = 0; x < width; ++x) {
        line[static_cast<std::size_t>(x)] = ShadePixel(shades[std::min(x / 3, lattice.Columns() - 1)]);
      }
    }
    std::copy(line.begin(), line.end(), canvas_.Row(y));
  }
}

void TPicture::RestoreBase(const TLattice& lattice) {
  if (!paints_) return;
  if (repaintAll_) {
    PaintBase(lattice);
    repaintAll_ = false;
  } else {
    const std::uint8_t* shades = lattice.Shades();
    for (std::size_t i = 0; i < dotCount_; ++i) {
      const Dot dot = dots_[i];
      const std::uint32_t base = ShadePixel(shades[dot.Cell]);
      std::uint32_t* p = pixels_ + dot.Offset;
      p[0] = base; p[1] = base;
      p[stride_] = base; p[stride_ + 1] = base;
    }
    for (std::size_t i = 0; i < squareCount_; ++i) RestoreSquare(lattice, squares_[i]);
  }
  dotCount_ = 0;
  squareCount_ = 0;
}

void TPicture::PaintAggregated(std::int32_t column, std::int32_t row) {
  canvas_.FillSquare4(3 * column, 3 * row, TCanvas::ToPixel(TCanvas::Black));
}

}  // namespace dla
