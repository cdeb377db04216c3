#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <QWidget>
#include <QtTest>

#include "UpDown.h"

namespace {

// An edit with a spin control bound to it, as the window lays them out.
struct TBound {
  QWidget window;
  QLineEdit* edit = new QLineEdit(&window);
  TUpDown* spin = new TUpDown(&window);

  TBound(int min, int max, int increment, int position) {
    edit->setGeometry(16, 56, 41, 20);
    spin->resize(16, 20);
    spin->SetRange(min, max);
    spin->SetIncrement(increment);
    spin->SetPosition(position);
    spin->SetAssociate(edit);
  }

  QToolButton* Arrow(Qt::ArrowType type) const {
    for (QToolButton* button : spin->findChildren<QToolButton*>())
      if (button->arrowType() == type) return button;
    return nullptr;
  }
};

}  // namespace

class UpDownTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
  void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

  void bindingPlacesTheArrowsAgainstTheEditAndWritesThePosition() {
    TBound bound(1, 10000, 100, 2000);
    QCOMPARE(bound.spin->geometry(), QRect(57, 56, 16, 20));
    QCOMPARE(bound.edit->text(), QStringLiteral("2,000"));
    QVERIFY(bound.Arrow(Qt::UpArrow));
    QVERIFY(bound.Arrow(Qt::DownArrow));
    QCOMPARE(bound.spin->focusPolicy(), Qt::NoFocus);
    QCOMPARE(bound.Arrow(Qt::UpArrow)->focusPolicy(), Qt::NoFocus);
  }

  void stepsClampWithoutWrapping_data() {
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("increment");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("expected");
    QTest::newRow("agents up") << 1 << 10000 << 100 << 2000 << +1 << 1 << 2100;
    QTest::newRow("agents down") << 1 << 10000 << 100 << 2000 << -1 << 3 << 1700;
    QTest::newRow("agents up to the top") << 1 << 10000 << 100 << 9950 << +1 << 1 << 10000;
    QTest::newRow("agents stay at the top") << 1 << 10000 << 100 << 10000 << +1 << 3 << 10000;
    QTest::newRow("agents down to the bottom") << 1 << 10000 << 100 << 50 << -1 << 1 << 1;
    QTest::newRow("agents stay at the bottom") << 1 << 10000 << 100 << 1 << -1 << 2 << 1;
    QTest::newRow("threshold up") << 2 << 10 << 1 << 6 << +1 << 2 << 8;
    QTest::newRow("threshold stays at 10") << 2 << 10 << 1 << 10 << +1 << 1 << 10;
    QTest::newRow("threshold stays at 2") << 2 << 10 << 1 << 2 << -1 << 1 << 2;
  }
  void stepsClampWithoutWrapping() {
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, increment);
    QFETCH(int, start);
    QFETCH(int, direction);
    QFETCH(int, times);
    QFETCH(int, expected);
    TBound bound(min, max, increment, start);
    for (int i = 0; i < times; ++i) bound.spin->Step(direction);
    QCOMPARE(bound.spin->Position(), expected);
    QCOMPARE(bound.edit->text(), QLocale().toString(expected));
  }

  void arrowsAndArrowKeysStep() {
    TBound bound(1, 10000, 100, 2000);
    QTest::mouseClick(bound.Arrow(Qt::UpArrow), Qt::LeftButton);
    QCOMPARE(bound.spin->Position(), 2100);
    QTest::mouseClick(bound.Arrow(Qt::DownArrow), Qt::LeftButton);
    QTest::mouseClick(bound.Arrow(Qt::DownArrow), Qt::LeftButton);
    QCOMPARE(bound.spin->Position(), 1900);
    QTest::keyClick(bound.edit, Qt::Key_Up);
    QCOMPARE(bound.edit->text(), QStringLiteral("2,000"));
    QTest::keyClick(bound.edit, Qt::Key_Down);
    QTest::keyClick(bound.edit, Qt::Key_Down);
    QCOMPARE(bound.edit->text(), QStringLiteral("1,800"));
    // Other keys still edit the text.
    QTest::keyClick(bound.edit, Qt::Key_Backspace);
    QCOMPARE(bound.edit->text(), QStringLiteral("1,80"));
  }

  void anArrowStartsFromTheTypedText() {
    TBound bound(1, 10000, 100, 2000);
    bound.edit->setText(QStringLiteral("150"));
    bound.spin->Step(+1);
    QCOMPARE(bound.edit->text(), QStringLiteral("250"));
  }

  void holdingAnArrowRepeats() {
    TBound bound(1, 10000, 100, 2000);
    QToolButton* up = bound.Arrow(Qt::UpArrow);
    QTest::mousePress(up, Qt::LeftButton);
    QTest::qWait(up->autoRepeatDelay() + 4 * up->autoRepeatInterval());
    QTest::mouseRelease(up, Qt::LeftButton);
    QVERIFY2(bound.spin->Position() >= 2300, qPrintable(bound.edit->text()));
  }

  void readsTheTextInTheRunningLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("read");
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "2,000"
                             << "1,500" << 1500;
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "2.000"
                            << "1.500" << 1500;
    QTest::newRow("C") << QLocale::c() << "2,000"
                       << "7,000" << 7000;
    QTest::newRow("without separators") << QLocale(QLocale::German, QLocale::Germany) << "2.000"
                                        << "2000" << 2000;
    QTest::newRow("blanks around") << QLocale(QLocale::English, QLocale::UnitedStates) << "2,000"
                                   << " 42 " << 42;
  }
  void readsTheTextInTheRunningLocale() {
    QFETCH(QLocale, locale);
    QFETCH(QString, written);
    QFETCH(QString, typed);
    QFETCH(int, read);
    QLocale::setDefault(locale);
    TBound bound(1, 10000, 100, 2000);
    QCOMPARE(bound.edit->text(), written);
    bound.edit->setText(typed);
    QCOMPARE(bound.spin->Position(), read);
  }

  void aTextOutsideTheRangeOrNoNumberKeepsTheLastPosition_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("below") << "0";
    QTest::newRow("negative") << "-5";
    QTest::newRow("above") << "10001";
    QTest::newRow("trailing letter") << "12a";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("beyond 32 bits") << "99999999999";
  }
  void aTextOutsideTheRangeOrNoNumberKeepsTheLastPosition() {
    QFETCH(QString, typed);
    TBound bound(1, 10000, 100, 2000);
    bound.edit->setText(QStringLiteral("300"));
    QCOMPARE(bound.spin->Position(), 300);
    bound.edit->setText(typed);
    QCOMPARE(bound.spin->Position(), 300);
    QCOMPARE(bound.edit->text(), QStringLiteral("300"));
  }
};

QTEST_MAIN(UpDownTest)
#include "UpDownTest.moc"
