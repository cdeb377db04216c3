#include "DrawingImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <cstring>

#include "TCanvas.h"

TDrawingImage::TDrawingImage(const dla::TCanvas& canvas, QWidget* parent)
    : QWidget(parent),
      picture_(reinterpret_cast<const uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
               static_cast<qsizetype>(canvas.Stride() * 4), QImage::Format_RGB32) {
  // Every pixel of the widget is painted below, so Qt need not clear it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(canvas.Width(), canvas.Height());
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
