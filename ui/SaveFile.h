// What the window saves (pictures, the series, worlds) appears whole or not
// at all: written to a temporary file beside the target and renamed into
// place (QSaveFile), so that a failed or cancelled save leaves the old file
// as it was.
#pragma once

#include <QString>
#include <functional>

class QIODevice;

class TSaveFile {
 public:
  // Writes what `write` puts into the device (it returns false when the
  // device refused some of it) to path. Throws std::runtime_error, one
  // line: "Cannot write '<path>': <reason>".
  static void Write(const QString& path, const std::function<bool(QIODevice&)>& write);
};
