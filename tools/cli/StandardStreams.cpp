#include "StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dla::tools {

bool OpenClosedStandardStreams() noexcept {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is fd, because the lower
    // ones are open by now.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd) {
      if (opened >= 0) close(opened);
      return false;
    }
  }
  return true;
}

}  // namespace dla::tools
