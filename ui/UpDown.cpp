#include "UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>
#include <algorithm>

namespace {

// The running locale, always grouping thousands (Qt's C locale leaves the
// separator out by default).
QLocale GroupingLocale() {
  QLocale locale;
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale;
}

QToolButton* MakeArrow(Qt::ArrowType arrow, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  // The edit keeps the focus while the arrows are used, as Tab passes over
  // the control.
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), up_(MakeArrow(Qt::UpArrow, this)), down_(MakeArrow(Qt::DownArrow, this)) {
  setFocusPolicy(Qt::NoFocus);
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetAssociate(QLineEdit* edit) {
  if (edit_) edit_->removeEventFilter(this);
  edit_ = edit;
  if (!edit_) return;
  edit_->installEventFilter(this);
  setGeometry(edit_->geometry().right() + 1, edit_->y(), width(), edit_->height());
  WritePosition();
}

void TUpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  SetPosition(position_);
}

void TUpDown::SetIncrement(int increment) { increment_ = std::max(1, increment); }

void TUpDown::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  WritePosition();
}

int TUpDown::Position() {
  if (!edit_) return position_;
  bool ok = false;
  const int typed = GroupingLocale().toInt(edit_->text().trimmed(), &ok);
  if (ok && typed >= min_ && typed <= max_)
    position_ = typed;
  else
    WritePosition();
  return position_;
}

void TUpDown::Step(int direction) {
  const long long moved =
      static_cast<long long>(Position()) + static_cast<long long>(direction) * increment_;
  SetPosition(static_cast<int>(std::clamp<long long>(moved, min_, max_)));
}

QString TUpDown::PositionText(int position) { return GroupingLocale().toString(position); }

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent* event) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
  QWidget::resizeEvent(event);
}

void TUpDown::WritePosition() {
  if (edit_) edit_->setText(PositionText(position_));
}
