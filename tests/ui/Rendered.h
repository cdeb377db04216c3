// The world's picture as dla::Render draws it, in the drawing image's format,
// for comparing with what the window shows.
#pragma once

#include <QImage>

#include "Render.h"
#include "TWorld.h"

inline QImage Rendered(const dla::TWorld& world) {
  dla::TCanvas canvas(world.DrawingWidth(), world.DrawingHeight());
  dla::Render(world, canvas);
  return QImage(reinterpret_cast<const uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
                static_cast<qsizetype>(canvas.Stride() * 4), QImage::Format_RGB32)
      .copy();
}
