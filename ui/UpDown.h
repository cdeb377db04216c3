// A spin control: two arrow buttons stacked against the right edge of a
// line edit (its associate), which they step. Unlike QSpinBox it leaves the
// edit alone: the user may type any text there, and the control only reads
// it when its position is asked for or an arrow is used.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
  Q_OBJECT

 public:
  explicit TUpDown(QWidget* parent = nullptr);

  // Binds the control to the edit: places it against the edit's right edge
  // at the edit's height, writes the position into the edit, and lets the
  // Up and Down keys pressed in the edit step the value. The edit must
  // outlive the binding (both are children of one window).
  void SetAssociate(QLineEdit* edit);
  QLineEdit* Associate() const noexcept { return edit_; }

  // The range, min <= max; the position is clamped into it.
  void SetRange(int min, int max);
  int Minimum() const noexcept { return min_; }
  int Maximum() const noexcept { return max_; }
  // The change per arrow click or key press, at least 1.
  void SetIncrement(int increment);
  int Increment() const noexcept { return increment_; }

  // Stores the position, clamped into the range, and writes it into the
  // edit in the running locale's form (thousands grouped).
  void SetPosition(int position);

  // Takes the edit's current text as the position if it is a whole number
  // within the range, written with or without the locale's thousands
  // separators (blanks around it ignored). Any other text leaves the last
  // valid position in force and the edit shows it again. Never fails.
  int Position();

  // One arrow step: the position read as by Position(), moved by the
  // increment times direction (+1 up, -1 down) and clamped, without
  // wrapping round at either end.
  void Step(int direction);

  // The position in the form the control writes into its edit: the running
  // locale's digits with its thousands separator ("2,000", "2.000").
  static QString PositionText(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void WritePosition();

  QToolButton* up_;
  QToolButton* down_;
  QLineEdit* edit_ = nullptr;
  int min_ = 0;
  int max_ = 100;
  int increment_ = 1;
  int position_ = 0;
};
