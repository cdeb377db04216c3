// The size of a run's world as the tools take it, and its one reading from
// text (the command lines, the window, the Python module and the page).
#pragma once

#include <cstdint>
#include <string_view>

#include "RunDefaults.h"

namespace dla::tools {

// The drawing area in pixels; the lattice has round(W/3) x round(H/3) cells.
struct TDrawingSize {
  std::int32_t Width = RunDefaults.DrawingWidth;
  std::int32_t Height = RunDefaults.DrawingHeight;
};

// "WxH" (or "WXH") in pixels, a drawing area that DrawingAreaFault takes.
// Throws EUsageError, "<name>: <why>, got '<text>'", name as the caller
// calls the value ("--size" on a command line).
TDrawingSize DrawingSizeFromText(std::string_view text, std::string_view name);

}  // namespace dla::tools
