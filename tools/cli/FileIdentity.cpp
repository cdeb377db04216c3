#include "FileIdentity.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dla::tools {
namespace {

TFileIdentity FromStat(const struct stat& info) {
  TFileIdentity identity;
  identity.Device = info.st_dev;
  identity.Inode = info.st_ino;
  identity.CharacterDevice = S_ISCHR(info.st_mode);
  return identity;
}

// The folder part of a path ("." when it has none) and its last name.
void Split(const std::string& path, std::string& folder, std::string& name) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const std::size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = trimmed;
  } else {
    folder = slash == 0 ? "/" : trimmed.substr(0, slash);
    name = trimmed.substr(slash + 1);
  }
}

std::optional<std::string> LinkTarget(const std::string& path) {
  std::vector<char> buffer(PATH_MAX);
  const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::optional<TFileIdentity> TFileIdentity::OfPath(const std::string& path) {
  std::string current = path;
  for (int links = 0; links <= 40; ++links) {
    struct stat info {};
    if (lstat(current.c_str(), &info) == 0) {
      if (!S_ISLNK(info.st_mode)) return FromStat(info);
      const std::optional<std::string> target = LinkTarget(current);
      if (!target || target->empty()) return std::nullopt;
      if ((*target)[0] == '/') {
        current = *target;
      } else {
        std::string folder, name;
        Split(current, folder, name);
        current = folder + "/" + *target;
      }
      continue;
    }
    if (errno != ENOENT) return std::nullopt;
    std::string folder, name;
    Split(current, folder, name);
    struct stat folderInfo {};
    // stat, not lstat: the folder part may itself run through links.
    if (name.empty() || name == "." || name == ".." || stat(folder.c_str(), &folderInfo) != 0) {
      return std::nullopt;
    }
    TFileIdentity identity = FromStat(folderInfo);
    identity.CharacterDevice = false;
    identity.NewName = name;
    return identity;
  }
  return std::nullopt;
}

std::optional<TFileIdentity> TFileIdentity::OfDescriptor(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::nullopt;
  return FromStat(info);
}

}  // namespace dla::tools
