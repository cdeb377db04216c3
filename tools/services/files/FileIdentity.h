// Which file a path names, so that two outputs bound for the same file are
// refused before a run instead of one silently replacing the other.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace dla::tools {

// A file by device and inode. A file that does not exist yet (a new output,
// or the end of a dangling symlink) is named by the folder it will be made in
// and its name there, so two paths that will make the same file compare equal
// before either exists.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::string NewName;  // empty for a file that exists
  bool CharacterDevice = false;

  bool operator==(const TFileIdentity& other) const {
    return Device == other.Device && Inode == other.Inode && NewName == other.NewName;
  }

  // The path with every symlink at its end followed, dangling ones included
  // (up to 40 links, as the kernel does): where a file written through the
  // path really goes. Folders on the way are left as they are. nullopt for
  // a loop of links or a path that cannot be read.
  static std::optional<std::string> ResolvedPath(const std::string& path);
  // The file a path names, after following every symlink (dangling ones
  // included, up to 40 links as the kernel does). nullopt when that cannot
  // be told: a loop of links, or a folder on the way that cannot be read.
  static std::optional<TFileIdentity> OfPath(const std::string& path);
  // The file that an open descriptor writes to (standard output, say);
  // nullopt if the descriptor is not open.
  static std::optional<TFileIdentity> OfDescriptor(int fd);
};

}  // namespace dla::tools
