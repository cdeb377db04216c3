// An output file that appears complete or not at all.
#pragma once

#include <QSaveFile>
#include <QString>
#include <string>
#include <string_view>

#include "CsvWriter.h"

namespace dla::tools {

// Opened at once, before any run, so that a path that cannot be written is
// refused as bad input; the content goes to a temporary file beside the
// target, which Commit() renames into place. Destroyed uncommitted (an
// error, an interrupt), it removes the temporary file and leaves the target
// as it was.
class TOutputFile {
 public:
  // option names the option in the message, e.g. "picture". Throws
  // EUsageError ("--<option>: cannot write '<path>': <reason>").
  TOutputFile(const std::string& path, std::string_view option);

  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  QSaveFile& Device() noexcept { return file_; }
  // A sink for TCsvWriter; throws std::runtime_error when a write fails.
  TCsvWriter::Sink Sink();
  // Renames the finished file into place; throws std::runtime_error.
  void Commit();

  const std::string& Path() const noexcept { return path_; }

 private:
  std::string path_;
  QSaveFile file_;
};

}  // namespace dla::tools
