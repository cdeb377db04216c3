#include "DrawingImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "TCanvas.h"

TDrawingImage::TDrawingImage(const dla::TCanvas& canvas, QWidget* parent)
    : QWidget(parent),
      picture_(reinterpret_cast<const uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
               static_cast<qsizetype>(canvas.Stride() * 4), QImage::Format_RGB32) {
  // Every pixel of the widget is painted below, so Qt need not clear it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(canvas.Width(), canvas.Height());
}

int TDrawingImage::PixelScale(qreal devicePixelRatio) noexcept {
  const double whole = std::floor(devicePixelRatio + 1e-9);
  return whole < 1.0 ? 1 : static_cast<int>(whole);
}

QSize TDrawingImage::sizeHint() const { return picture_.size(); }

void TDrawingImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  const qreal scale = PixelScale(ratio) / ratio;
  // Logical pixels covered by the picture; on a screen whose ratio is not
  // whole it covers less than the widget, and the rest shows the panel.
  const QRectF covered(0.0, 0.0, picture_.width() * scale, picture_.height() * scale);
  if (!covered.contains(QRectF(event->rect()))) painter.fillRect(event->rect(), palette().window());
  // Smoothing stays off, so each canvas pixel becomes a solid block of
  // PixelScale() x PixelScale() device pixels.
  painter.scale(scale, scale);
  painter.drawImage(QPointF(0.0, 0.0), picture_);
}
