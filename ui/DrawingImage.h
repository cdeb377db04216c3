// The drawing image: shows the world's canvas inside the drawing panel, one
// canvas pixel per logical pixel from the top-left corner.
//
// The widget reads the canvas's memory in place (a QImage over
// TCanvas::Bits(), Stride() pixels per line, QImage::Format_RGB32), so on a
// screen of device pixel ratio 1 a repaint copies the pixels to the screen
// once and no frame copies them into an image first. The model paints into
// the canvas; whoever runs the model calls update() when the picture should
// reach the screen.
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

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

  // Which of `source` pixels device pixel `device` of `deviceCount` shows
  // when `source` pixels are stretched over `deviceCount` device pixels by
  // nearest neighbour: device * source / deviceCount, rounded down. Every
  // device pixel shows exactly one source pixel, so the picture stays crisp
  // and fills its panel at any device pixel ratio (1.5 gives each canvas
  // pixel one or two device pixels in turn).
  static int SourcePixel(int device, int deviceCount, int source) noexcept;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Fills scaled_ from picture_ for a device pixel ratio other than 1.
  void Stretch(qreal ratio);

  QImage picture_;
  // The picture at device resolution, and the source column of each of its
  // columns; kept between repaints while the ratio stays the same.
  QImage scaled_;
  std::vector<int> sourceColumns_;
};
