#include "DrawingImage.h"

#include <QPaintEvent>
#include <QPainter>
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
