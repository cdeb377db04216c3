#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "FileIdentity.h"
#include "InterruptGuard.h"
#include "UsageError.h"

namespace dla::tools {
namespace {

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

mode_t CreationMode() {
  // The umask can only be read by setting it; this runs before any thread
  // is started.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path, std::string_view name, EInterrupts interrupts)
    : path_(path), interrupts_(interrupts) {
  const auto refuse = [&](const std::string& reason) {
    return EUsageError(std::string(name) + ": cannot write '" + path + "': " + reason);
  };
  if (path.empty()) throw refuse("the path is empty");
  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) throw refuse("it is a directory");
  if (!exists && errno != ENOENT) throw refuse(std::strerror(errno));
  if (exists && !S_ISREG(target.st_mode)) {
    // A FIFO without a reader waits here for one, as a shell's redirection
    // does; an interrupt ends the wait.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) throw refuse(std::strerror(errno));
    direct_ = true;
    return;
  }
  if (exists && ::access(path.c_str(), W_OK) != 0) throw refuse(std::strerror(errno));

  // Through a symlink, the file it names is replaced, not the link: the
  // temporary file goes beside that file and is renamed onto it.
  const std::optional<std::string> resolved = TFileIdentity::ResolvedPath(path);
  if (!resolved) throw refuse(std::strerror(ELOOP));
  final_ = *resolved;
  const std::size_t slash = final_.rfind('/');
  const std::string fileName = slash == std::string::npos ? final_ : final_.substr(slash + 1);
  // The rename at the end would refuse a name longer than the folder takes;
  // find that out now rather than after the run.
  const long nameMax = ::pathconf(Folder(final_).c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && fileName.size() > static_cast<std::size_t>(nameMax)) {
    throw refuse(std::strerror(ENAMETOOLONG));
  }
  // Short enough for any folder that takes the target's own name.
  temporary_ = (slash == std::string::npos ? std::string() : final_.substr(0, slash + 1)) + "." +
               fileName.substr(0, 32) + ".XXXXXX";
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    temporary_.clear();
    throw refuse(std::strerror(error));
  }
  const mode_t mode = exists ? (target.st_mode & 07777) : CreationMode();
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(fd_);
    ::unlink(temporary_.c_str());
    fd_ = -1;
    temporary_.clear();
    throw refuse(std::strerror(error));
  }
}

TOutputFile::~TOutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void TOutputFile::Fail(int error) const {
  throw std::runtime_error("cannot write '" + path_ + "': " + std::strerror(error));
}

void TOutputFile::Write(std::string_view data) {
  if (interrupts_ == EInterrupts::Stop) {
    if (const int error = TInterruptGuard::WriteAll(fd_, data); error != 0) Fail(error);
    return;
  }
  while (!data.empty()) {
    const ssize_t written = ::write(fd_, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
}

TCsvWriter::Sink TOutputFile::Sink() {
  return [this](std::string_view piece) { Write(piece); };
}

void TOutputFile::Finish() {
  if (fd_ < 0) return;
  // Synced before the rename: after a crash the name then holds the old
  // file or the whole new one, never an empty or partial one. A device or
  // FIFO has nothing to sync.
  if (!direct_ && ::fsync(fd_) != 0) Fail(errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) Fail(errno);
}

void TOutputFile::Commit() {
  Finish();
  if (direct_) return;
  if (::rename(temporary_.c_str(), final_.c_str()) != 0) Fail(errno);
  temporary_.clear();
  // The rename itself is made durable by syncing the folder; a folder that
  // cannot be opened or synced (some file systems refuse) costs only that.
  const int folder = ::open(Folder(final_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace dla::tools
