// Run once per screen density (QT_SCALE_FACTOR 1, 1.5 and 2, see
// CMakeLists.txt): the picture must be the canvas, enlarged by whole factors
// only.
#include <QPixmap>
#include <QtTest>

#include "DrawingImage.h"
#include "TCanvas.h"

namespace {

// A canvas with the three colours of the model, a pixel-sharp edge and
// content up to the last row and column.
dla::TCanvas PaintedCanvas() {
  dla::TCanvas canvas(404, 404);
  canvas.SetPenColour(dla::TCanvas::Black);
  canvas.SetBrushColour(dla::TCanvas::Black);
  canvas.Rectangle(0, 0, 4, 4);
  canvas.Rectangle(399, 399, 406, 406);
  canvas.SetPenColour(dla::TCanvas::Red);
  canvas.SetBrushColour(dla::TCanvas::Red);
  canvas.Ellipse(1, 5, 3, 7);
  canvas.Ellipse(200, 201, 202, 203);
  return canvas;
}

}  // namespace

class DrawingImageTest : public QObject {
  Q_OBJECT

 private slots:
  void pixelScaleIsWhole_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("scale");
    QTest::newRow("1") << 1.0 << 1;
    QTest::newRow("1.25") << 1.25 << 1;
    QTest::newRow("1.5") << 1.5 << 1;
    QTest::newRow("2") << 2.0 << 2;
    QTest::newRow("2.75") << 2.75 << 2;
    QTest::newRow("3") << 3.0 << 3;
    QTest::newRow("below 1") << 0.75 << 1;
  }
  void pixelScaleIsWhole() {
    QFETCH(qreal, ratio);
    QFETCH(int, scale);
    QCOMPARE(TDrawingImage::PixelScale(ratio), scale);
  }

  void readsTheCanvasInPlace() {
    dla::TCanvas canvas = PaintedCanvas();
    TDrawingImage image(canvas);
    QCOMPARE(image.size(), QSize(404, 404));
    QCOMPARE(static_cast<const void*>(image.Picture().constBits()),
             static_cast<const void*>(canvas.Bits()));
    QCOMPARE(image.Picture().bytesPerLine(), canvas.Stride() * 4);
    QCOMPARE(image.Picture().format(), QImage::Format_RGB32);
  }

  void theScreenShowsTheCanvasPixelForPixel() {
    dla::TCanvas canvas = PaintedCanvas();
    TDrawingImage image(canvas);
    const QImage shot = image.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int scale = TDrawingImage::PixelScale(image.devicePixelRatioF());
    // The density the test runs at did reach the widget.
    QCOMPARE(image.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    QCOMPARE(shot.size(), QSize(404, 404) * image.devicePixelRatioF());
    for (int y = 0; y < 404 * scale; ++y) {
      for (int x = 0; x < 404 * scale; ++x) {
        const QRgb want = canvas.Pixel(x / scale, y / scale);
        if (shot.pixel(x, y) != want)
          QFAIL(qPrintable(QStringLiteral("device pixel (%1, %2) is %3, canvas pixel is %4")
                               .arg(x)
                               .arg(y)
                               .arg(shot.pixel(x, y), 8, 16)
                               .arg(want, 8, 16)));
      }
    }
  }

  void laterPaintingShowsAtTheNextRepaint() {
    dla::TCanvas canvas(30, 30);
    TDrawingImage image(canvas);
    const int scale = TDrawingImage::PixelScale(image.devicePixelRatioF());
    QCOMPARE(image.grab().toImage().pixel(10 * scale, 10 * scale), qRgb(255, 255, 255));
    canvas.SetPenColour(dla::TCanvas::Black);
    canvas.SetBrushColour(dla::TCanvas::Black);
    canvas.Rectangle(9, 9, 13, 13);
    QCOMPARE(image.grab().toImage().pixel(10 * scale, 10 * scale), qRgb(0, 0, 0));
  }
};

QTEST_MAIN(DrawingImageTest)
#include "DrawingImageTest.moc"
