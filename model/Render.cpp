#include "Render.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace dla {

namespace {

// White and black are stored alike in either pixel order.
constexpr std::uint32_t WhitePixel = 0xFFFFFFFFu;
constexpr std::uint32_t BlackPixel = 0xFF000000u;

// The 12 pixels of four cells in a row, by which of them are aggregated
// (bit i for the i-th cell).
struct FourCells {
  std::uint32_t Pixels[16][12];
  constexpr FourCells() : Pixels() {
    for (int key = 0; key < 16; ++key) {
      for (int x = 0; x < 12; ++x) Pixels[key][x] = (key >> (x / 3)) & 1 ? BlackPixel : WhitePixel;
    }
  }
};
constexpr FourCells Patterns;

// The cells painted in order: one line of pixels per cell row, made four
// cells at a time, copied to the rows it covers. A world's shades are 0 or
// 255, white or black.
void PaintCells(const TWorld& world, TCanvas& canvas) {
  const std::int32_t width = canvas.Width(), columns = world.GridColumns(), rows = world.GridRows();
  std::vector<std::uint32_t> line(static_cast<std::size_t>(width) + 12);
  // Columns whose three pixels all lie in the picture; the rest of the
  // width shows the last column.
  const std::int32_t whole = std::min(columns, width / 3);
  for (std::int32_t row = 0; row < rows; ++row) {
    const std::int32_t top = 3 * row;
    const std::int32_t bottom = row == rows - 1 ? canvas.Height() : std::min(top + 3, canvas.Height());
    if (top >= bottom) break;
    const std::uint8_t* shades = world.Shades() + static_cast<std::size_t>(row) * columns;
    std::uint32_t* out = line.data();
    std::int32_t column = 0;
    for (; column + 4 <= whole; column += 4, out += 12) {
      const unsigned key = (shades[column] != 0) | (shades[column + 1] != 0) << 1 |
                           (shades[column + 2] != 0) << 2 | (shades[column + 3] != 0) << 3;
      std::memcpy(out, Patterns.Pixels[key], sizeof Patterns.Pixels[key]);
    }
    for (std::int32_t x = 3 * column; x < width; ++x) {
      line[static_cast<std::size_t>(x)] = shades[std::min(x / 3, columns - 1)] != 0 ? BlackPixel : WhitePixel;
    }
    for (std::int32_t y = top; y < bottom; ++y) std::copy_n(line.data(), width, canvas.Row(y));
  }
}

}  // namespace

void Render(const TWorld& world, TCanvas& canvas) {
  const std::int32_t width = canvas.Width(), height = canvas.Height();
  if (width != world.DrawingWidth() || height != world.DrawingHeight()) {
    throw std::invalid_argument("the canvas is not the size of the world's drawing area");
  }
  const std::uint32_t white = canvas.Stored(TCanvas::White);
  const std::uint32_t black = canvas.Stored(TCanvas::Black);
  const std::uint32_t red = canvas.Stored(TCanvas::Red);
  PaintCells(world, canvas);
  const TWorld::TChange change = world.LastChange();
  if (change == TWorld::TChange::CellsReset) return;

  const bool squares = change == TWorld::TChange::Stepped;
  const std::uint8_t* const shades = world.Shades();
  const std::int32_t columns = world.GridColumns();
  const std::ptrdiff_t stride = canvas.Stride();
  std::uint32_t* const first = canvas.Row(0);
  world.ForEachAgentInListOrder([&](const TAgent& agent) {
    const std::int32_t column = (agent.X - 1) / 3, row = (agent.Y - 1) / 3;
    if (squares) {
      const std::uint32_t pixel = shades[static_cast<std::size_t>(row) * columns + column] != 0 ? black : white;
      const std::int32_t left = 3 * column, top = 3 * row;
      if (left + 4 <= width && top + 4 <= height) {
        std::uint32_t* p = first + top * stride + left;
        for (int dy = 0; dy < 4; ++dy, p += stride) {
          p[0] = pixel; p[1] = pixel; p[2] = pixel; p[3] = pixel;
        }
      } else {
        canvas.FillBox(left, top, left + 4, top + 4, pixel);
      }
    }
    if (agent.Radius != 1) {
      // Only agents placed by hand have another radius: the canvas draws
      // their ellipses.
      agent.Draw(canvas);
      return;
    }
    const std::int32_t left = agent.X - 1, top = agent.Y - 1;
    if (left + 2 <= width && top + 2 <= height) {
      std::uint32_t* p = first + top * stride + left;
      p[0] = red; p[1] = red;
      p[stride] = red; p[stride + 1] = red;
    } else {
      canvas.FillBox(left, top, left + 2, top + 2, red);
    }
  });
  if (!squares) return;
  for (const std::uint32_t index : world.NewAggregates()) {
    const auto left = static_cast<std::int64_t>(3 * (index % static_cast<std::uint32_t>(columns)));
    const auto top = static_cast<std::int64_t>(3 * (index / static_cast<std::uint32_t>(columns)));
    canvas.FillBox(left, top, left + 4, top + 4, black);
  }
}

void Render(const TWorld& world, std::uint32_t* pixels, std::ptrdiff_t stride, PixelOrder order) {
  TCanvas canvas(pixels, world.DrawingWidth(), world.DrawingHeight(), stride, order);
  Render(world, canvas);
}

}  // namespace dla
