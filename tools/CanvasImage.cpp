#include "CanvasImage.h"

#include <QImageWriter>
#include <stdexcept>

namespace dla::tools {

QImage CanvasImage(const TCanvas& canvas) {
  return QImage(reinterpret_cast<const uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
                static_cast<qsizetype>(canvas.Stride() * sizeof(std::uint32_t)),
                QImage::Format_RGB32);
}

void WriteCanvasPng(const TCanvas& canvas, QIODevice& device) {
  QImageWriter writer(&device, "png");
  if (!writer.write(CanvasImage(canvas))) {
    throw std::runtime_error("cannot write the picture: " + writer.errorString().toStdString());
  }
}

}  // namespace dla::tools
