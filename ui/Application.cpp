#include "Application.h"

#include <QFileInfo>
#include <utility>

TApplication::TApplication(int& argc, char** argv, TErrorDisplay::Presenter presenter)
    : QApplication(argc, argv), errors_(std::move(presenter)) {
  setApplicationName(TitleFromExecutable(applicationFilePath()));
}

QString TApplication::TitleFromExecutable(const QString& path) {
  QString name = QFileInfo(path).fileName();
  while (name.startsWith(u'.')) name.remove(0, 1);
  const qsizetype stop = name.indexOf(u'.');
  if (stop >= 0) name.truncate(stop);
  if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
  return name;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    errors_.ShowCurrentException();
    return false;
  }
}
