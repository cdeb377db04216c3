#include "ErrorDisplay.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <utility>

void TErrorDisplay::ShowMessageBox(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
  // The text can hold what the user typed, which must not be read as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

TErrorDisplay::TErrorDisplay(Presenter presenter) : presenter_(std::move(presenter)) {}

QString TErrorDisplay::WithFullStop(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void TErrorDisplay::Show(const QString& message) noexcept {
  try {
    const QString text = WithFullStop(message);
    if (showing_ || text == lastClosed_) {
      ++dropped_;
      return;
    }
    CancelMouseInteraction();
    QWidget* owner = QApplication::activeWindow();
    showing_ = true;
    ++boxesShown_;
    struct Closing {
      TErrorDisplay& display;
      const QString& text;
      ~Closing() {
        display.showing_ = false;
        display.lastClosed_ = text;
      }
    } closing{*this, text};
    presenter_(owner, QCoreApplication::applicationName(), text);
  } catch (...) {
    // Nothing is left to show an error that the error display itself
    // raised (out of memory while building the box); dropping it keeps the
    // program running.
    ++dropped_;
  }
}

void TErrorDisplay::ShowCurrentException() noexcept {
  try {
    throw;
  } catch (const std::exception& e) {
    Show(QString::fromUtf8(e.what()));
  } catch (...) {
    Show(QStringLiteral("Unknown error"));
  }
}

void TErrorDisplay::CancelMouseInteraction() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  // A pressed button would go on auto-repeating behind the modal box, which
  // takes the release of the mouse button.
  const QWidgetList widgets = QApplication::allWidgets();
  for (QWidget* widget : widgets) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget); button && button->isDown())
      button->setDown(false);
  }
}
