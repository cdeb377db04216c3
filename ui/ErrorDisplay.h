// The one place where the program shows an error to the user. Every handler
// that Qt calls runs through Guard(), so no exception ever crosses Qt's event
// loop: a failed handler is abandoned where it threw, what it changed stays
// changed, and the program carries on.
#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

class TErrorDisplay {
 public:
  // Shows one message modally and returns when the user has closed it. The
  // owner may be null (no window is active).
  using Presenter =
      std::function<void(QWidget* owner, const QString& caption, const QString& text)>;

  // A QMessageBox with the stop icon, the caption, the text (plain text,
  // never markup) and a single OK button, modal over the owner.
  static void ShowMessageBox(QWidget* owner, const QString& caption, const QString& text);

  explicit TErrorDisplay(Presenter presenter = ShowMessageBox);

  TErrorDisplay(const TErrorDisplay&) = delete;
  TErrorDisplay& operator=(const TErrorDisplay&) = delete;

  // The text as the box shows it: a full stop is appended when the text is
  // not empty and its last character's code is above that of '.' (0x2E), so
  // a text that ends in '.', '!', ')', ',' or a blank is left as it is.
  static QString WithFullStop(const QString& message);

  // Shows the message (full-stop rule) with the application name as
  // caption, owned by the active window. First any mouse interaction in
  // progress is cancelled, so that no held button goes on repeating behind
  // the box.
  //
  // Not every error opens a box, because the 1 ms timer would otherwise
  // bury the user in them:
  //  - while a box is open, further errors are dropped (a failing tick
  //    changes nothing, so nothing is lost);
  //  - once the user has closed a box, the same message is dropped until a
  //    guarded handler has succeeded; otherwise a tick failing every
  //    millisecond would reopen the box at once and the user could never
  //    reach the edit to mend the text.
  void Show(const QString& message) noexcept;

  // Runs the handler. An exception that escapes it goes to Show() and no
  // further; a handler that returns normally re-arms the display for a
  // message it has shown before.
  template <typename Handler>
  void Guard(Handler&& handler) noexcept {
    try {
      handler();
      lastClosed_.clear();
    } catch (...) {
      ShowCurrentException();
    }
  }

  // Shows the exception being handled (call only inside a catch block).
  void ShowCurrentException() noexcept;

  bool IsShowing() const noexcept { return showing_; }
  // Boxes opened so far, and errors dropped by the rules above.
  int BoxesShown() const noexcept { return boxesShown_; }
  int Dropped() const noexcept { return dropped_; }

 private:
  static void CancelMouseInteraction();

  Presenter presenter_;
  bool showing_ = false;
  QString lastClosed_;
  int boxesShown_ = 0;
  int dropped_ = 0;
};
