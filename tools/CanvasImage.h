// The drawing image as a picture file.
#pragma once

#include <QIODevice>
#include <QImage>

#include "TCanvas.h"

namespace dla::tools {

// A QImage over the canvas's own pixels (0xFFRRGGBB is Format_RGB32), not a
// copy: valid while the canvas lives and is not painted on.
QImage CanvasImage(const TCanvas& canvas);

// Writes the canvas as PNG, pixel for pixel. Throws std::runtime_error.
void WriteCanvasPng(const TCanvas& canvas, QIODevice& device);

}  // namespace dla::tools
