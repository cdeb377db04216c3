#include "StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "InterruptGuard.h"

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

TCsvWriter::Sink StandardOutputSink() {
  // Straight to the descriptor, past stdio, whose fwrite would retry a
  // write that an interrupt cut short and block again on a full pipe.
  std::fflush(stdout);
  return [](std::string_view piece) {
    if (const int error = TInterruptGuard::WriteAll(STDOUT_FILENO, piece); error != 0) {
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(error));
    }
  };
}

}  // namespace dla::tools
