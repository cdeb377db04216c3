// The drawing image as a picture file, through libspng (a small PNG library
// without the GUI stack).
#pragma once

#include "TCanvas.h"

namespace dla::tools {

// Writes the canvas to the descriptor as an 8-bit RGB PNG, pixel for pixel
// (the canvas's 0xFFRRGGBB pixels are opaque, so no alpha channel). Throws
// std::runtime_error with the reason: the system's for a failed write,
// libspng's otherwise.
void WriteCanvasPng(const TCanvas& canvas, int fd);

}  // namespace dla::tools
