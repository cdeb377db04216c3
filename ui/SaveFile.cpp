#include "SaveFile.h"

#include <QSaveFile>
#include <stdexcept>

void TSaveFile::Write(const QString& path, const std::function<bool(QIODevice&)>& write) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit()) {
    const QString reason = file.errorString().isEmpty() ? QStringLiteral("write error") : file.errorString();
    throw std::runtime_error(QStringLiteral("Cannot write '%1': %2").arg(path, reason).toStdString());
  }
}
