#include "PlotProgram.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace dla::tools {
namespace {

std::runtime_error SystemError(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

// Closes a descriptor when it goes out of scope.
struct TDescriptor {
  int Fd = -1;
  ~TDescriptor() {
    if (Fd >= 0) ::close(Fd);
  }
};

}  // namespace

std::string TPlotProgram::Path() {
  if (const char* path = std::getenv(PathVariable); path != nullptr && *path != '\0') return path;
  std::string self(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) return "dla-plot";
  self.resize(static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "dla-plot";
}

void TPlotProgram::CheckAvailable() {
  const std::string path = Path();
  if (::access(path.c_str(), X_OK) != 0) {
    throw std::runtime_error("cannot draw plots: no plotting program at '" + path +
                             "' (install dla-plot next to dla-batch, or name it in " +
                             PathVariable + ")");
  }
}

void TPlotProgram::Draw(const TPlotRequest& request, int outputFd, const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  const std::string path = Path();
  // A socket rather than a pipe: sending with MSG_NOSIGNAL reports a
  // program that died early as an error instead of killing us with SIGPIPE.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw SystemError("cannot start the plotting program", errno);
  }
  TDescriptor ours{ends[0]};
  TDescriptor theirs{ends[1]};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, theirs.Fd, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  // Our interrupt handlers become the defaults on exec, and interrupts we
  // ignore (a background job's SIGINT) stay ignored, as for us; SIGPIPE is
  // reset in case we were started with it ignored.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, path.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) throw SystemError("cannot start the plotting program '" + path + "'", spawned);
  ::close(theirs.Fd);
  theirs.Fd = -1;

  const std::string text = request.Text();
  std::string_view rest = text;
  int sendError = 0;
  while (!rest.empty()) {
    const ssize_t sent = ::send(ours.Fd, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR && !stopped()) continue;
      sendError = errno;
      break;
    }
    rest.remove_prefix(static_cast<std::size_t>(sent));
  }
  ::close(ours.Fd);
  ours.Fd = -1;

  // Polled rather than a blocking wait: an interrupt that lands just
  // before a blocking waitpid would not cut it short.
  int status = 0;
  bool ended = false;
  for (;;) {
    const pid_t waited = ::waitpid(child, &status, WNOHANG);
    if (waited == child) break;
    if (waited < 0 && errno != EINTR) {
      throw SystemError("cannot wait for the plotting program", errno);
    }
    if (stopped() && !ended) {
      ::kill(child, SIGTERM);
      ended = true;
    }
    const timespec pause{0, 10'000'000};
    ::nanosleep(&pause, nullptr);
  }
  if (ended || stopped()) throw std::runtime_error("the plot was not finished: interrupted");
  if (WIFSIGNALED(status)) {
    throw std::runtime_error("the plotting program was ended by signal " +
                             std::to_string(WTERMSIG(status)));
  }
  if (WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the plotting program failed (exit status " +
                             std::to_string(WEXITSTATUS(status)) + ")");
  }
  if (sendError != 0) throw SystemError("cannot hand the plot to the plotting program", sendError);
  // A program that "succeeds" without a picture would leave an empty file.
  struct stat written {};
  if (::fstat(outputFd, &written) == 0 && S_ISREG(written.st_mode) && written.st_size == 0) {
    throw std::runtime_error("the plotting program '" + path + "' wrote no picture");
  }
}

}  // namespace dla::tools
