// The size of a run's world as the tools take it, and the limits on what a
// run may ask for.
#pragma once

#include <cstdint>

#include "TWorld.h"

namespace dla::tools {

// The drawing area in pixels; the lattice has round(W/3) x round(H/3) cells.
struct TDrawingSize {
  std::int32_t Width = 404;
  std::int32_t Height = 404;
};

// The largest drawing area accepted is the model's own limit.
using dla::MaxDrawingPixels;

// The largest population accepted. The model could take up to 2^31 - 1
// agents, but beyond this a run needs several GiB; refusing it up front is
// kinder than running out of memory half-way.
inline constexpr std::int64_t MaxAgents = 100'000'000;

}  // namespace dla::tools
