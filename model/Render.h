// Drawing a world's picture on demand. The step keeps no picture; the
// picture after any change follows from the world's state alone, so a
// window draws it when it shows a frame, a movie when it takes one, and a
// run that nobody looks at never pays for it.
//
// The picture is what the literal rules leave on the drawing image: every
// cell painted in order (pixel (x, y) shows the cell of column
// min(x / 3, columns - 1) and row min(y / 3, rows - 1), white if open,
// black if aggregated); then, by the world's last change (TWorld::TChange):
//  - after ResetCells, nothing more;
//  - after placement, every agent's red dot in list order;
//  - after a step, every agent in list order: its cell's 4 x 4 square in
//    the cell's shade, then its dot; then the black square of every cell
//    that aggregated in the step.
// Squares of cells that aggregated in the step are drawn black where the
// literal step drew them white: the step's last squares cover each of them
// whole, so the pixels are the same. A dot is the agent's ellipse (Radius 1:
// the 2 x 2 block from (X - 1, Y - 1)). After SetAgents the agents are
// drawn where they now stand.
#pragma once

#include <cstddef>
#include <cstdint>

#include "TCanvas.h"
#include "TWorld.h"

namespace dla {

// Draws the world's picture over the whole canvas, whose size must be the
// world's drawing area (std::invalid_argument otherwise). Every pixel is
// written; nothing is read.
void Render(const TWorld& world, TCanvas& canvas);

// The same into a buffer the caller owns: DrawingHeight() rows of
// DrawingWidth() pixels, `stride` pixels from one row to the next
// (stride >= DrawingWidth()), in the given pixel order.
void Render(const TWorld& world, std::uint32_t* pixels, std::ptrdiff_t stride, PixelOrder order);

}  // namespace dla
