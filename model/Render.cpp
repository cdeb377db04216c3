#include "Render.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace dla {

namespace {

// The cells painted in order: one line of pixels per cell row, copied to the
// rows it covers. A cell's grey, 255 - shade, is the same in either pixel
// order.
void PaintCells(const TWorld& world, TCanvas& canvas) {
  const std::int32_t width = canvas.Width(), columns = world.GridColumns(), rows = world.GridRows();
  std::vector<std::uint32_t> greys(static_cast<std::size_t>(columns));
  std::vector<std::uint32_t> line(static_cast<std::size_t>(width));
  // Columns whose three pixels all lie in the picture; the rest of the
  // width shows the last column.
  const std::int32_t whole = std::min(columns, width / 3);
  for (std::int32_t row = 0; row < rows; ++row) {
    const std::int32_t top = 3 * row;
    const std::int32_t bottom = row == rows - 1 ? canvas.Height() : std::min(top + 3, canvas.Height());
    if (top >= bottom) break;
    const std::uint8_t* shades = world.Shades() + static_cast<std::size_t>(row) * columns;
    for (std::int32_t column = 0; column < columns; ++column) {
      greys[static_cast<std::size_t>(column)] = 0xFF000000u | (255u - shades[column]) * 0x010101u;
    }
    std::uint32_t* out = line.data();
    for (std::int32_t column = 0; column < whole; ++column, out += 3) {
      const std::uint32_t pixel = greys[static_cast<std::size_t>(column)];
      out[0] = pixel; out[1] = pixel; out[2] = pixel;
    }
    for (std::int32_t x = 3 * whole; x < width; ++x) {
      line[static_cast<std::size_t>(x)] = greys[static_cast<std::size_t>(std::min(x / 3, columns - 1))];
    }
    for (std::int32_t y = top; y < bottom; ++y) std::copy(line.begin(), line.end(), canvas.Row(y));
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
  const auto columns = static_cast<std::size_t>(world.GridColumns());
  const std::ptrdiff_t stride = canvas.Stride();
  std::uint32_t* const first = canvas.Row(0);
  for (const TAgent& agent : world.Agents()) {
    const std::int32_t column = (agent.X - 1) / 3, row = (agent.Y - 1) / 3;
    if (squares) {
      const std::uint32_t pixel =
          shades[static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(column)] != 0 ? black : white;
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
      continue;
    }
    const std::int32_t left = agent.X - 1, top = agent.Y - 1;
    if (left + 2 <= width && top + 2 <= height) {
      std::uint32_t* p = first + top * stride + left;
      p[0] = red; p[1] = red;
      p[stride] = red; p[stride + 1] = red;
    } else {
      canvas.FillBox(left, top, left + 2, top + 2, red);
    }
  }
  if (!squares) return;
  for (const std::uint32_t index : world.NewAggregates()) {
    const auto left = static_cast<std::int64_t>(3 * (index % columns));
    const auto top = static_cast<std::int64_t>(3 * (index / columns));
    canvas.FillBox(left, top, left + 4, top + 4, black);
  }
}

void Render(const TWorld& world, std::uint32_t* pixels, std::ptrdiff_t stride, PixelOrder order) {
  TCanvas canvas(pixels, world.DrawingWidth(), world.DrawingHeight(), stride, order);
  Render(world, canvas);
}

}  // namespace dla
