// Run once per screen density (QT_SCALE_FACTOR 1, 1.5 and 2, see
// CMakeLists.txt): the picture must be the world's, stretched by nearest
// neighbour over the whole panel.
#include <QPixmap>
#include <QtTest>
#include <stdexcept>
#include <vector>

#include "DrawingImage.h"
#include "Random.h"
#include "Render.h"
#include "Rendered.h"
#include "TCanvas.h"
#include "TWorld.h"

namespace {

// A world whose picture has the three colours of the model, pixel-sharp
// edges between aggregate and open cells, and a dot in the last row and
// column.
dla::TWorld PaintedWorld() {
  dla::TWorld world(404, 404, dla::FixedSeed(7));
  world.CreateAgents(2000);
  for (int step = 0; step < 40; ++step) world.RunStep(2);
  std::vector<dla::TAgent> agents = world.CopyAgents();
  dla::TAgent corner;
  corner.Moving = 1;
  corner.X = 403;
  corner.Y = 403;
  corner.Radius = 1;
  agents.push_back(corner);
  world.SetAgents(std::move(agents));
  return world;
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

  void drawsTheWorldsPictureIntoAPictureOfItsOwn() {
    const dla::TWorld world = PaintedWorld();
    TDrawingImage image(QSize(404, 404));
    QCOMPARE(image.size(), QSize(404, 404));
    QCOMPARE(image.Picture().format(), QImage::Format_RGB32);
    QImage white(404, 404, QImage::Format_RGB32);
    white.fill(Qt::white);
    QCOMPARE(image.Picture(), white);

    // A picture handed out before (saved, copied to the clipboard) keeps
    // what it showed when the next drawing comes.
    const QImage before = image.Picture();
    image.Draw(world);
    QCOMPARE(before, white);
    const QImage want = Rendered(world);
    QCOMPARE(image.Picture(), want);
    QCOMPARE(want.pixel(403, 403), qRgb(255, 0, 0));

    // A world of another size changes nothing.
    const dla::TWorld other(405, 404, dla::FixedSeed(7));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, image.Draw(other));
    QCOMPARE(image.Picture(), want);
  }

  void theScreenShowsThePicturePixelForPixel() {
    TDrawingImage image(QSize(404, 404));
    image.Draw(PaintedWorld());
    const QImage& picture = image.Picture();
    const QImage shot = image.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The density the test runs at did reach the widget.
    QCOMPARE(image.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    const int device = static_cast<int>(std::lround(404 * image.devicePixelRatioF()));
    QCOMPARE(shot.size(), QSize(device, device));
    // Every device pixel of the panel, none left to the background.
    for (int y = 0; y < device; ++y) {
      for (int x = 0; x < device; ++x) {
        const QRgb want = picture.pixel(TDrawingImage::SourcePixel(x, device, 404),
                                        TDrawingImage::SourcePixel(y, device, 404));
        if (shot.pixel(x, y) != want)
          QFAIL(qPrintable(QStringLiteral("device pixel (%1, %2) is %3, picture pixel is %4")
                               .arg(x)
                               .arg(y)
                               .arg(shot.pixel(x, y), 8, 16)
                               .arg(want, 8, 16)));
      }
    }
  }

  void aStepShowsOnlyOnceDrawn() {
    dla::TWorld world(30, 30, dla::FixedSeed(1));
    TDrawingImage image(QSize(30, 30));
    image.Draw(world);
    // A device pixel that shows picture pixel 10 or 11 at every density.
    const int at = static_cast<int>(11 * image.devicePixelRatioF());
    QCOMPARE(image.grab().toImage().pixel(at, at), qRgb(255, 255, 255));
    // A stuck agent cannot stand in an open cell; a free one that comes to
    // the cell of pixels 9 to 11 aggregates it at threshold 0: the first
    // draw (seed 1) turns heading 90 to 0, straight down.
    dla::TAgent agent;
    agent.X = 11;
    agent.Y = 8;
    agent.Radius = 1;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, world.SetAgents({agent}));
    agent.Moving = 1;
    agent.Heading = 90;
    world.SetAgents({agent});
    QCOMPARE(world.RunStep(0).StepNumber, 1);
    QCOMPARE(world.CopyAgents()[0].Y, 11);
    QCOMPARE(world.AggregatedCells(), 1);
    QCOMPARE(image.grab().toImage().pixel(at, at), qRgb(255, 255, 255));
    image.Draw(world);
    QCOMPARE(image.grab().toImage().pixel(at, at), qRgb(0, 0, 0));
  }
};

QTEST_MAIN(DrawingImageTest)
#include "DrawingImageTest.moc"
