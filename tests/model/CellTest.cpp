#include <gtest/gtest.h>

#include "ReferenceRules.h"
#include "TCanvas.h"
#include "cell_P.h"

namespace dla {
namespace {

using test::TCell;

// The box of pixels painted in a colour other than white.
struct Box {
  std::int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool operator==(const Box&) const = default;
};

Box PaintedBox(const TCanvas& canvas, std::uint32_t colour) {
  Box box;
  for (std::int32_t y = 0; y < canvas.Height(); ++y) {
    for (std::int32_t x = 0; x < canvas.Width(); ++x) {
      if (test::PixelColour(canvas, x, y) != colour) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    }
  }
  return box;
}

TEST(Cell, NewCellIsEmptyAndOpen) {
  const TCell cell(32, 11, 2);
  EXPECT_EQ(cell.State(), 0);
  EXPECT_EQ(cell.NeighbourSum, 0);
  EXPECT_EQ(cell.Shade, 0);
  EXPECT_TRUE(cell.AgentIndexes.empty());
  EXPECT_EQ(cell.Colour(), TCanvas::White);
}

TEST(Cell, DrawCoversFourByFourPixelsFromTheCorner) {
  const struct {
    std::int32_t column, row;
    Box box;
  } cases[] = {{0, 0, {0, 0, 3, 3}}, {10, 3, {30, 9, 33, 12}}, {134, 134, {402, 402, 403, 403}}};
  for (const auto& c : cases) {
    TCanvas canvas(404, 404);
    TCell cell(3 * c.column + 2, 3 * c.row + 2, 2);
    cell.Shade = 255;
    cell.Draw(canvas);
    EXPECT_EQ(PaintedBox(canvas, TCanvas::Black), c.box) << c.column << "," << c.row;
    EXPECT_EQ(canvas.PenWidth(), 0);
  }
}

TEST(Cell, ShadeDecidesTheGreyFromItsLowByte) {
  TCell cell(2, 2, 2);
  for (const auto& [shade, grey] : {std::pair{0, 255u}, {255, 0u}, {256 + 55, 200u}, {-1, 0u}}) {
    cell.Shade = shade;
    EXPECT_EQ(cell.Colour(), grey * 0x010101u) << shade;
  }
}

TEST(Cell, SetStateChangesNothingElse) {
  TCell cell(5, 8, 2);
  cell.AgentIndexes = {4, 9};
  cell.Shade = 255;
  cell.NeighbourSum = 11;
  cell.SetState(7);
  EXPECT_EQ(cell.State(), 7);
  EXPECT_EQ(cell.AgentIndexes, (std::vector<std::int32_t>{4, 9}));
  EXPECT_EQ(cell.Shade, 255);
  EXPECT_EQ(cell.NeighbourSum, 11);
  EXPECT_EQ(cell.PositionX(), 5);
  EXPECT_EQ(cell.PositionY(), 8);
  EXPECT_EQ(cell.Size(), 2);
}

}  // namespace
}  // namespace dla
