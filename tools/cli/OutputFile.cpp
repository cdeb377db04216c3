#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

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

TOutputFile::TOutputFile(const std::string& path, std::string_view option) : path_(path) {
  const auto refuse = [&](const std::string& reason) {
    return EUsageError("--" + std::string(option) + ": cannot write '" + path + "': " + reason);
  };
  if (path.empty()) throw refuse("the path is empty");
  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode)) throw refuse("it is a directory");
  if (!exists && errno != ENOENT) throw refuse(std::strerror(errno));
  if (exists && ::access(path.c_str(), W_OK) != 0) throw refuse(std::strerror(errno));

  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  temporary_ = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
               name + ".XXXXXX";
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

void TOutputFile::Commit() {
  // Synced before the rename: after a crash the name then holds the old
  // file or the whole new one, never an empty or partial one.
  if (::fsync(fd_) != 0) Fail(errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) Fail(errno);
  if (::rename(temporary_.c_str(), path_.c_str()) != 0) Fail(errno);
  temporary_.clear();
  // The rename itself is made durable by syncing the folder; a folder that
  // cannot be opened or synced (some file systems refuse) costs only that.
  const int folder = ::open(Folder(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace dla::tools
