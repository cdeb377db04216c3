// The drawing image: shows the world's picture inside the drawing panel, one
// picture pixel per logical pixel from the top-left corner.
//
// The widget owns the picture, a QImage of the drawing area in
// QImage::Format_RGB32, which is the pixel order dla::Render writes as
// PixelOrder::Argb32: the world's picture is drawn straight into it, and on a
// screen of device pixel ratio 1 a repaint copies it to the screen once.
// The step never draws; whoever runs the model calls Draw() when the picture
// should reach the screen (at a frame) or be read (saving, copying).
#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

namespace dla {
class TWorld;
}

class TDrawingImage : public QWidget {
  Q_OBJECT

 public:
  // A white picture of `size` pixels (both at least 1); the widget takes
  // that size.
  explicit TDrawingImage(QSize size, QWidget* parent = nullptr);

  // Draws the world's picture over the whole picture (dla::Render) and
  // schedules a repaint. Throws std::invalid_argument, changing nothing,
  // when the world's drawing area is not the picture's size.
  void Draw(const dla::TWorld& world);

  // The picture as the last Draw() left it.
  const QImage& Picture() const noexcept { return picture_; }

  // Which of `source` pixels device pixel `device` of `deviceCount` shows
  // when `source` pixels are stretched over `deviceCount` device pixels by
  // nearest neighbour: device * source / deviceCount, rounded down. Every
  // device pixel shows exactly one source pixel, so the picture stays crisp
  // and fills its panel at any device pixel ratio (1.5 gives each picture
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
