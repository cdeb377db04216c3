#include "DrawingImage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "Render.h"
#include "TWorld.h"

TDrawingImage::TDrawingImage(QSize size, QWidget* parent)
    : QWidget(parent), picture_(size, QImage::Format_RGB32) {
  picture_.fill(Qt::white);
  // Every pixel of the widget is painted below, so Qt need not clear it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(size);
}

void TDrawingImage::SetPictureSize(QSize size) {
  picture_ = QImage(size, QImage::Format_RGB32);
  picture_.fill(Qt::white);
  scaled_ = QImage();
  Fit();
}

void TDrawingImage::Fit() {
  fitted_ = true;
  const double fits = std::min(static_cast<double>(width()) / picture_.width(),
                               static_cast<double>(height()) / picture_.height());
  zoom_ = fits >= 1.0 ? std::floor(fits) : fits;
  // Centred; a picture that fills the widget at zoom 1 starts at its corner
  // exactly, as the laid-out panel shows it.
  origin_ = QPointF(std::round((picture_.width() - width() / zoom_) / 2.0),
                    std::round((picture_.height() - height() / zoom_) / 2.0));
  if (zoom_ == 1.0 && picture_.size() == size()) origin_ = QPointF();
  update();
}

void TDrawingImage::ZoomBy(double factor, QPointF at) {
  const double fits = std::min(static_cast<double>(width()) / picture_.width(),
                               static_cast<double>(height()) / picture_.height());
  const double zoom = std::clamp(zoom_ * factor, std::min(fits / 10.0, 1.0), MaxZoom);
  const QPointF shown = PicturePoint(at);
  zoom_ = zoom;
  origin_ = shown - at / zoom_;
  fitted_ = false;
  update();
}

void TDrawingImage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fitted_) Fit();
}

void TDrawingImage::wheelEvent(QWheelEvent* event) {
  // 120 units a notch, 1.25 times a notch.
  ZoomBy(std::pow(1.25, event->angleDelta().y() / 120.0), event->position());
  event->accept();
}

void TDrawingImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragFrom_ = event->position();
  setCursor(Qt::ClosedHandCursor);
}

void TDrawingImage::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) return QWidget::mouseMoveEvent(event);
  origin_ -= (event->position() - *dragFrom_) / zoom_;
  dragFrom_ = event->position();
  fitted_ = false;
  update();
}

void TDrawingImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragFrom_) return QWidget::mouseReleaseEvent(event);
  dragFrom_.reset();
  unsetCursor();
}

void TDrawingImage::Draw(const dla::TWorld& world) {
  if (world.DrawingWidth() != picture_.width() || world.DrawingHeight() != picture_.height())
    throw std::invalid_argument("the world's drawing area is not the picture's size");
  // bits() on a shared picture (a copy handed out earlier still alive)
  // detaches first, so that copy keeps the picture it was taken of.
  dla::Render(world, reinterpret_cast<std::uint32_t*>(picture_.bits()),
              static_cast<std::ptrdiff_t>(picture_.bytesPerLine() / 4), dla::PixelOrder::Argb32);
  update();
}

int TDrawingImage::SourcePixel(int device, int deviceCount, int source) noexcept {
  return static_cast<int>(static_cast<long long>(device) * source / deviceCount);
}

QSize TDrawingImage::sizeHint() const { return picture_.size(); }

void TDrawingImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal ratio = devicePixelRatioF();
  if (zoom_ != 1.0 || origin_ != QPointF() || picture_.size() != size()) {
    PaintView(painter, ratio);
    return;
  }
  if (ratio == 1.0) {
    painter.drawImage(QPointF(0.0, 0.0), picture_);
    return;
  }
  // Qt's own scaling samples pixel centres, which at a ratio that is not
  // whole leaves an edge row unpainted or smooths; the picture is stretched
  // here instead and drawn one image pixel per device pixel.
  Stretch(ratio);
  painter.drawImage(QPointF(0.0, 0.0), scaled_);
}

void TDrawingImage::Stretch(qreal ratio) {
  const QSize device(static_cast<int>(std::lround(picture_.width() * ratio)),
                     static_cast<int>(std::lround(picture_.height() * ratio)));
  if (scaled_.size() != device || scaled_.devicePixelRatio() != ratio) {
    scaled_ = QImage(device, QImage::Format_RGB32);
    scaled_.setDevicePixelRatio(ratio);
    sourceColumns_.resize(static_cast<std::size_t>(device.width()));
    for (int x = 0; x < device.width(); ++x)
      sourceColumns_[static_cast<std::size_t>(x)] = SourcePixel(x, device.width(), picture_.width());
  }
  int lastRow = -1;
  for (int y = 0; y < device.height(); ++y) {
    const int row = SourcePixel(y, device.height(), picture_.height());
    auto* out = reinterpret_cast<QRgb*>(scaled_.scanLine(y));
    if (row == lastRow) {
      std::memcpy(out, scaled_.constScanLine(y - 1), static_cast<std::size_t>(device.width()) * 4);
      continue;
    }
    lastRow = row;
    const auto* in = reinterpret_cast<const QRgb*>(picture_.constScanLine(row));
    for (int x = 0; x < device.width(); ++x) out[x] = in[sourceColumns_[static_cast<std::size_t>(x)]];
  }
}

void TDrawingImage::PaintView(QPainter& painter, qreal ratio) {
  const double scale = zoom_ * ratio;  // device pixels a picture pixel
  const QSize device(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
  if (scale < 1.0) {
    painter.fillRect(rect(), palette().color(QPalette::Light));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target(-origin_ * zoom_, QSizeF(picture_.size()) * zoom_);
    painter.drawImage(target, picture_, QRectF(QPointF(), QSizeF(picture_.size())));
    return;
  }
  if (view_.size() != device || view_.devicePixelRatio() != ratio) {
    view_ = QImage(device, QImage::Format_RGB32);
    view_.setDevicePixelRatio(ratio);
  }
  // Each device pixel shows the picture pixel under its top-left corner;
  // past the picture's edges, the panel's own colour.
  const QRgb outside = palette().color(QPalette::Light).rgb();
  viewColumns_.resize(static_cast<std::size_t>(device.width()));
  for (int x = 0; x < device.width(); ++x) {
    const double at = std::floor(origin_.x() + x / scale);
    viewColumns_[static_cast<std::size_t>(x)] = at < 0 || at >= picture_.width() ? -1 : static_cast<int>(at);
  }
  for (int y = 0; y < device.height(); ++y) {
    const double at = std::floor(origin_.y() + y / scale);
    auto* out = reinterpret_cast<QRgb*>(view_.scanLine(y));
    if (at < 0 || at >= picture_.height()) {
      std::fill(out, out + device.width(), outside);
      continue;
    }
    const auto* in = reinterpret_cast<const QRgb*>(picture_.constScanLine(static_cast<int>(at)));
    for (int x = 0; x < device.width(); ++x) {
      const int column = viewColumns_[static_cast<std::size_t>(x)];
      out[x] = column < 0 ? outside : in[column];
    }
  }
  painter.drawImage(QPointF(0.0, 0.0), view_);
}
