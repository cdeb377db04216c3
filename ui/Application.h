// The application object: names the program after its executable and keeps
// the error display that every handler and every event reports to.
#pragma once

#include <QApplication>

#include "ErrorDisplay.h"

class TApplication : public QApplication {
  Q_OBJECT

 public:
  // argc and argv as main() got them; they must outlive the object. The
  // presenter shows the error display's boxes (tests record them instead).
  TApplication(int& argc, char** argv,
               TErrorDisplay::Presenter presenter = TErrorDisplay::ShowMessageBox);

  // The application's title from the path of its executable: the file name
  // without its folder, cut before its first full stop, its first character
  // as it is and every further one in lower case: "/usr/bin/DLA-Model.bin"
  // gives "Dla-model", "/usr/bin/dla-model" gives "dla-model". A name that
  // starts with a full stop keeps the part after it instead, so that the
  // title is not empty.
  static QString TitleFromExecutable(const QString& path);

  TErrorDisplay& Errors() noexcept { return errors_; }

  // Delivers the event; an exception that a receiver lets escape is shown by
  // the error display instead of crossing Qt's event loop.
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  TErrorDisplay errors_;
};
