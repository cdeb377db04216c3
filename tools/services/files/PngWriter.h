// The drawing image as a picture file, through libspng (a small PNG library
// without the GUI stack).
#pragma once

#include <atomic>
#include <string>

#include "TCanvas.h"

namespace dla::tools {

// Writes the canvas to the descriptor as an 8-bit RGB PNG, pixel for pixel
// (the canvas's 0xFFRRGGBB pixels are opaque, so no alpha channel). Throws
// std::runtime_error with the reason: the system's for a failed write,
// libspng's otherwise. When stop is given and becomes true, gives up within
// a row (a blocked write included) and throws std::runtime_error.
void WriteCanvasPng(const TCanvas& canvas, int fd, const std::atomic<bool>* stop = nullptr);
// The same PNG file's bytes, in memory (a live view's frames). Throws
// std::runtime_error with libspng's reason, std::bad_alloc.
std::string CanvasPng(const TCanvas& canvas);

}  // namespace dla::tools
