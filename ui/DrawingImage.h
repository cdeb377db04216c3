// The drawing image: shows the world's canvas inside the drawing panel, one
// canvas pixel per logical pixel from the top-left corner.
//
// The widget reads the canvas's memory in place (a QImage over
// TCanvas::Bits(), Stride() pixels per line, QImage::Format_RGB32), so a
// repaint copies the pixels to the screen once and no frame copies them
// into an image first. The model paints into the canvas; whoever runs the
// model calls update() when the picture should reach the screen.
#pragma once

#include <QImage>
#include <QWidget>

namespace dla {
class TCanvas;
}

class TDrawingImage : public QWidget {
  Q_OBJECT

 public:
  // The canvas must outlive the widget and keep its pixel buffer where it is
  // (TCanvas never reallocates it). The widget takes the canvas's size.
  explicit TDrawingImage(const dla::TCanvas& canvas, QWidget* parent = nullptr);

  // The picture as the widget reads it: shares the canvas's memory.
  const QImage& Picture() const noexcept { return picture_; }

  // Device pixels per canvas pixel on a screen of the given device pixel
  // ratio: the ratio rounded down, at least 1. Whole factors keep every
  // cell a sharp square (no smoothing, no uneven rows).
  static int PixelScale(qreal devicePixelRatio) noexcept;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};
