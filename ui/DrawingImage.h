// The drawing image: shows the world's picture inside the drawing panel, one
// picture pixel per logical pixel from the top-left corner while the picture
// fits the panel as it does at the laid-out size. A picture of another size
// is fitted into the panel: whole-number zooms where it is smaller (crisp
// cells), a smooth reduction where it is larger; the wheel and the zoom
// actions zoom about a point, a drag with the left button pans, and Fit()
// goes back. What is saved or copied is always Picture(), whole.
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
#include <optional>
#include <vector>

namespace dla {
class TWorld;
}

class TDrawingImage : public QWidget {
  Q_OBJECT

 public:
  // The zooms a user can reach: from a tenth of the fitted zoom (at least
  // down to 1) to 32 logical pixels a picture pixel.
  static constexpr double MaxZoom = 32.0;

  // A white picture of `size` pixels (both at least 1); the widget takes
  // that size.
  explicit TDrawingImage(QSize size, QWidget* parent = nullptr);

  // Replaces the picture by a white one of `size` (a world of another
  // drawing area), and fits it.
  void SetPictureSize(QSize size);

  // The view: logical pixels per picture pixel, and the picture point shown
  // at the widget's top-left corner (negative where the picture lies inside
  // it, centred).
  double Zoom() const noexcept { return zoom_; }
  QPointF Origin() const noexcept { return origin_; }
  // The picture point shown at a widget point.
  QPointF PicturePoint(QPointF widgetPoint) const noexcept { return origin_ + widgetPoint / zoom_; }
  // The whole picture in the widget, centred: the largest whole zoom at
  // which it fits where that is 1 or more, else the zoom at which it just
  // fits. A fitted view fits again when the widget's size changes.
  void Fit();
  // Zooms by `factor` about the widget point `at`, which goes on showing
  // the same picture point, within the zooms a user can reach.
  void ZoomBy(double factor, QPointF at);

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
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Paints a zoomed or panned view: nearest neighbour where a picture
  // pixel takes a device pixel or more, smooth where it takes less.
  void PaintView(QPainter& painter, qreal ratio);

  // Fills scaled_ from picture_ for a device pixel ratio other than 1.
  void Stretch(qreal ratio);

  QImage picture_;
  // The picture at device resolution, and the source column of each of its
  // columns; kept between repaints while the ratio stays the same.
  QImage scaled_;
  std::vector<int> sourceColumns_;
  // The same for a zoomed or panned view.
  QImage view_;
  std::vector<int> viewColumns_;
  double zoom_ = 1.0;
  QPointF origin_;
  bool fitted_ = true;
  // Where a drag with the left button last was, while one goes on.
  std::optional<QPointF> dragFrom_;
};
