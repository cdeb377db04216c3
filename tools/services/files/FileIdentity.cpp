#include "FileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <utility>
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
// Built as new strings: GCC 12 warns falsely on assigning into old ones.
struct TParts {
  std::string Folder;
  std::string Name;
};

TParts Split(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {std::string("."), std::string(path)};
  return {std::string(slash == 0 ? std::string_view("/") : path.substr(0, slash)),
          std::string(path.substr(slash + 1))};
}

std::optional<std::string> LinkTarget(const std::string& path) {
  std::vector<char> buffer(PATH_MAX);
  const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

std::optional<std::string> TFileIdentity::ResolvedPath(const std::string& path) {
  std::string current = path;
  for (int links = 0; links <= 40; ++links) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0)
      return errno == ENOENT ? std::optional(current) : std::nullopt;
    if (!S_ISLNK(info.st_mode)) return current;
    const std::optional<std::string> target = LinkTarget(current);
    if (!target || target->empty()) return std::nullopt;
    if ((*target)[0] == '/') {
      current = *target;
    } else {
      current = Split(current).Folder + "/" + *target;
    }
  }
  return std::nullopt;
}

std::optional<TFileIdentity> TFileIdentity::OfPath(const std::string& path) {
  // The kernel's own resolution first: /dev/stdout and /proc/self/fd/N are
  // links that name pipes and sockets no path leads to.
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return FromStat(info);
  if (errno != ENOENT) return std::nullopt;
  const std::optional<std::string> resolved = ResolvedPath(path);
  if (!resolved) return std::nullopt;
  const auto [folder, name] = Split(*resolved);
  // stat, not lstat: the folder part may itself run through links.
  if (name.empty() || name == "." || name == ".." || stat(folder.c_str(), &info) != 0) {
    return std::nullopt;
  }
  TFileIdentity identity = FromStat(info);
  identity.CharacterDevice = false;
  identity.NewName = name;
  return identity;
}

std::optional<TFileIdentity> TFileIdentity::OfDescriptor(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::nullopt;
  return FromStat(info);
}

}  // namespace dla::tools
