// Run once per screen density (QT_SCALE_FACTOR 1, 1.5 and 2, see
// CMakeLists.txt): the picture must be the canvas, stretched by nearest
// neighbour over the whole panel.
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
  void stretchingGivesEveryDevicePixelOneSourcePixel_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("device");
    QTest::addColumn<QList<int>>("first");
    QTest::newRow("1") << 404 << 404 << QList<int>{0, 1, 2, 3};
    QTest::newRow("1.5") << 404 << 606 << QList<int>{0, 0, 1, 2, 2, 3};
    QTest::newRow("2") << 404 << 808 << QList<int>{0, 0, 1, 1};
    QTest::newRow("1.25") << 404 << 505 << QList<int>{0, 0, 1, 2, 3, 4};
  }
  void stretchingGivesEveryDevicePixelOneSourcePixel() {
    QFETCH(int, source);
    QFETCH(int, device);
    QFETCH(QList<int>, first);
    for (int x = 0; x < first.size(); ++x)
      QCOMPARE(TDrawingImage::SourcePixel(x, device, source), first[x]);
    QCOMPARE(TDrawingImage::SourcePixel(device - 1, device, source), source - 1);
    // No source pixel is skipped.
    for (int x = 1; x < device; ++x) {
      const int step = TDrawingImage::SourcePixel(x, device, source) -
                       TDrawingImage::SourcePixel(x - 1, device, source);
      QVERIFY(step == 0 || step == 1);
    }
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
    // The density the test runs at did reach the widget.
    QCOMPARE(image.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    const int device = static_cast<int>(std::lround(404 * image.devicePixelRatioF()));
    QCOMPARE(shot.size(), QSize(device, device));
    // Every device pixel of the panel, none left to the background.
    for (int y = 0; y < device; ++y) {
      for (int x = 0; x < device; ++x) {
        const QRgb want = canvas.Pixel(TDrawingImage::SourcePixel(x, device, 404),
                                       TDrawingImage::SourcePixel(y, device, 404));
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
    // A device pixel that shows canvas pixel 10 or 11 at every density.
    const int at = static_cast<int>(11 * image.devicePixelRatioF());
    QCOMPARE(image.grab().toImage().pixel(at, at), qRgb(255, 255, 255));
    canvas.SetPenColour(dla::TCanvas::Black);
    canvas.SetBrushColour(dla::TCanvas::Black);
    canvas.Rectangle(9, 9, 13, 13);
    QCOMPARE(image.grab().toImage().pixel(at, at), qRgb(0, 0, 0));
  }
};

QTEST_MAIN(DrawingImageTest)
#include "DrawingImageTest.moc"
