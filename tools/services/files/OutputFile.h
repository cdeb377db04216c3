// An output file that appears complete or not at all.
#pragma once

#include <string>
#include <string_view>

#include "CsvWriter.h"

namespace dla::tools {

// Opened at once, before any run, so that a path that cannot be written is
// refused as bad input: a name too long for its folder, a folder that is
// missing or not writable, a directory. A regular file (or a new one): the
// content goes to a temporary file beside the target (same folder, so same file
// system), which Commit() flushes to disk and renames into place; the rename is
// atomic, so a reader sees the old file or the whole new one. Destroyed
// uncommitted (an error, an interrupt), it removes the temporary file and
// leaves the target as it was. A replaced file keeps its permission bits; a new
// one gets 0666 less the umask, as any file a program creates. An existing file
// that is not regular (/dev/null, a FIFO, a terminal, /dev/stdout) is written
// directly, as any Unix tool does: it is never replaced by a regular file, and
// what was written stays written.
class TOutputFile {
 public:
  // Whether a pending interrupt cuts the writes short (a file that is written
  // only because the others were interrupted is written in full).
  enum class EInterrupts { Stop, WriteOn };

  // name: the output as the caller calls it ("--picture" on a command
  // line), which starts the message. Throws EUsageError ("<name>: cannot
  // write '<path>': <reason>").
  TOutputFile(const std::string& path, std::string_view name,
              EInterrupts interrupts = EInterrupts::Stop);
  ~TOutputFile();

  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // The temporary file's descriptor (the target's own, written directly), open
  // for writing (close-on-exec).
  int Fd() const noexcept { return fd_; }
  // Writes all of data; throws std::runtime_error, also when an interrupt
  // (TInterruptGuard) cuts a blocked write short, unless EInterrupts::WriteOn.
  void Write(std::string_view data);
  // A sink for TCsvWriter; throws std::runtime_error when a write fails.
  TCsvWriter::Sink Sink();
  // Syncs and closes the file, so that what is left of Commit() is the
  // rename, which seldom fails: a command finishes all its outputs, then
  // renames them all. Throws std::runtime_error (a full disk, say).
  void Finish();
  // Finishes the file if that is not done, renames it into place and syncs
  // the folder; throws std::runtime_error. A target written directly is
  // only finished.
  void Commit();

  const std::string& Path() const noexcept { return path_; }

 private:
  [[noreturn]] void Fail(int error) const;

  std::string path_;
  std::string final_;  // path_ with symlinks at its end followed
  std::string temporary_;
  int fd_ = -1;
  bool direct_ = false;
  EInterrupts interrupts_;
};

}  // namespace dla::tools
