#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "ReferenceRules.h"
#include "TCanvas.h"

namespace dla {
namespace {

using Pixels = std::set<std::pair<std::int32_t, std::int32_t>>;

Pixels PixelsOf(const TCanvas& canvas, std::uint32_t colour) {
  Pixels out;
  for (std::int32_t y = 0; y < canvas.Height(); ++y) {
    for (std::int32_t x = 0; x < canvas.Width(); ++x) {
      if (test::PixelColour(canvas, x, y) == colour) out.insert({x, y});
    }
  }
  return out;
}

Pixels Block(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  Pixels out;
  for (std::int32_t y = y1; y <= y2; ++y) {
    for (std::int32_t x = x1; x <= x2; ++x) out.insert({x, y});
  }
  return out;
}

TEST(Canvas, StartsWhiteWithABlackPenAndAWhiteBrush) {
  const TCanvas canvas(5, 3);
  EXPECT_EQ(PixelsOf(canvas, TCanvas::White).size(), 15u);
  EXPECT_EQ(canvas.PenColour(), TCanvas::Black);
  EXPECT_EQ(canvas.PenWidth(), 1);
  EXPECT_EQ(canvas.BrushColour(), TCanvas::White);
  EXPECT_EQ(canvas.Stride(), canvas.Width());
  EXPECT_THROW(TCanvas(0, 5), std::invalid_argument);
}

TEST(Canvas, StoresPixelsInQtsRgb32Layout) {
  TCanvas canvas(4, 4);
  canvas.SetPenColour(0x00332211);  // blue 0x33, green 0x22, red 0x11
  canvas.SetBrushColour(0x00332211);
  test::Rectangle(canvas, 0, 0, 1, 1);
  EXPECT_EQ(canvas.Bits()[0], 0xFF112233u);
  EXPECT_EQ(test::PixelColour(canvas, 0, 0), 0x00332211u);

  // On a caller's buffer in a web canvas's order: the bytes R, G, B, A, and
  // nothing written past the width.
  std::uint32_t buffer[8] = {};
  TCanvas view(buffer, 2, 2, 4, PixelOrder::Rgba8888);
  view.SetPenColour(0x00332211);
  view.SetBrushColour(0x00332211);
  test::Rectangle(view, 0, 0, 9, 9);
  unsigned char bytes[4];
  std::memcpy(bytes, buffer, 4);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{0x11, 0x22, 0x33, 0xFF}));
  EXPECT_EQ(test::PixelColour(view, 1, 1), 0x00332211u);
  EXPECT_EQ(buffer[2] | buffer[3] | buffer[6] | buffer[7], 0u);
  EXPECT_THROW(TCanvas(buffer, 5, 2, 4, PixelOrder::Argb32), std::invalid_argument);
}

TEST(Canvas, ShapesLeaveOutTheRightColumnAndBottomRow) {
  const struct {
    const char* name;
    bool ellipse;
    std::int32_t x1, y1, x2, y2;
    Pixels expected;
  } cases[] = {
      {"rectangle", false, 0, 0, 4, 4, Block(0, 0, 3, 3)},
      {"ellipse 2x2", true, 1, 1, 3, 3, Block(1, 1, 2, 2)},
      {"last column", false, 6, 2, 10, 6, Block(6, 2, 7, 5)},
      {"clipped at the origin", false, -3, -3, 1, 1, Block(0, 0, 0, 0)},
      {"outside", false, 20, 20, 24, 24, {}},
      {"empty box", false, 3, 3, 3, 5, {}},
  };
  for (const auto& c : cases) {
    TCanvas canvas(8, 8);
    canvas.SetPenColour(TCanvas::Red);
    canvas.SetBrushColour(TCanvas::Red);
    if (c.ellipse) {
      canvas.Ellipse(c.x1, c.y1, c.x2, c.y2);
    } else {
      test::Rectangle(canvas, c.x1, c.y1, c.x2, c.y2);
    }
    EXPECT_EQ(PixelsOf(canvas, TCanvas::Red), c.expected) << c.name;
  }
}

TEST(Canvas, PenRingAndBrushInside) {
  TCanvas canvas(8, 8);
  canvas.SetPenColour(TCanvas::Black);
  canvas.SetBrushColour(TCanvas::Red);
  for (const std::int32_t width : {0, 1}) {
    canvas.SetPenWidth(width);
    test::Rectangle(canvas, 1, 1, 6, 6);
    EXPECT_EQ(PixelsOf(canvas, TCanvas::Red), Block(2, 2, 4, 4)) << width;
    EXPECT_EQ(PixelsOf(canvas, TCanvas::Black).size(), 16u) << width;
  }
  canvas.SetPenWidth(1);
  canvas.SetPenWidth(-1);
  EXPECT_EQ(canvas.PenWidth(), 1);
}

TEST(Canvas, SharedColumnShowsTheCellPaintedLast) {
  // Squares of neighbouring cells share the pixel column 3.
  for (const bool blackFirst : {true, false}) {
    TCanvas canvas(8, 8);
    const auto square = [&canvas](std::int32_t left, std::uint32_t colour) {
      canvas.SetPenColour(colour);
      canvas.SetBrushColour(colour);
      test::Rectangle(canvas, left, 0, left + 4, 4);
    };
    if (blackFirst) {
      square(0, TCanvas::Black);
      square(3, TCanvas::White);
    } else {
      square(3, TCanvas::White);
      square(0, TCanvas::Black);
    }
    const std::uint32_t expected = blackFirst ? TCanvas::White : TCanvas::Black;
    for (std::int32_t y = 0; y < 4; ++y) EXPECT_EQ(test::PixelColour(canvas, 3, y), expected);
  }
}

TEST(Canvas, LargerEllipseStaysInItsBox) {
  TCanvas canvas(20, 20);
  canvas.SetPenColour(TCanvas::Black);
  canvas.SetBrushColour(TCanvas::Red);
  canvas.Ellipse(2, 4, 12, 10);
  const Pixels inside = PixelsOf(canvas, TCanvas::Red);
  const Pixels ring = PixelsOf(canvas, TCanvas::Black);
  EXPECT_FALSE(inside.empty());
  EXPECT_FALSE(ring.empty());
  for (const auto& [x, y] : ring) {
    EXPECT_TRUE(x >= 2 && x < 12 && y >= 4 && y < 10) << x << "," << y;
  }
  EXPECT_EQ(test::PixelColour(canvas, 2, 4), TCanvas::White);  // the box's corner is outside
  EXPECT_EQ(test::PixelColour(canvas, 7, 7), TCanvas::Red);
}

}  // namespace
}  // namespace dla
