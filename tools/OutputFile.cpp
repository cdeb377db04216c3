#include "OutputFile.h"

#include <QFileInfo>
#include <stdexcept>

#include "UsageError.h"

namespace dla::tools {

TOutputFile::TOutputFile(const std::string& path, std::string_view option)
    : path_(path), file_(QString::fromStdString(path)) {
  const auto refuse = [&](const std::string& reason) {
    return EUsageError("--" + std::string(option) + ": cannot write '" + path + "': " + reason);
  };
  if (path.empty()) throw refuse("the path is empty");
  if (QFileInfo(file_.fileName()).isDir()) throw refuse("it is a directory");
  if (!file_.open(QIODevice::WriteOnly)) throw refuse(file_.errorString().toStdString());
}

TCsvWriter::Sink TOutputFile::Sink() {
  return [this](std::string_view piece) {
    if (file_.write(piece.data(), static_cast<qint64>(piece.size())) !=
        static_cast<qint64>(piece.size())) {
      throw std::runtime_error("cannot write '" + path_ + "': " +
                               file_.errorString().toStdString());
    }
  };
}

void TOutputFile::Commit() {
  if (!file_.commit()) {
    throw std::runtime_error("cannot write '" + path_ + "': " + file_.errorString().toStdString());
  }
}

}  // namespace dla::tools
