#include "HelperProgram.h"

#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace dla::tools {
namespace {

std::runtime_error SystemError(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

}  // namespace

THelperProgram::THelperProgram(std::string name, std::string variable, std::string role)
    : name_(std::move(name)), variable_(std::move(variable)), role_(std::move(role)) {}

THelperProgram::~THelperProgram() {
  CloseInput();
  if (errors_ >= 0) ::close(errors_);
  if (child_ > 0) {
    ::kill(child_, SIGTERM);
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

void THelperProgram::CloseInput() noexcept {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

std::string THelperProgram::Path() const {
  if (const char* path = std::getenv(variable_.c_str()); path != nullptr && *path != '\0') {
    return path;
  }
  std::string self(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) return name_;
  self.resize(static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + name_;
}

void THelperProgram::CheckAvailable() const {
  const std::string path = Path();
  if (::access(path.c_str(), X_OK) != 0) {
    throw std::runtime_error("no " + role_ + " at '" + path + "' (install " + name_ +
                             " next to dla-batch, or name it in " + variable_ + ")");
  }
}

void THelperProgram::Start(const std::vector<std::string>& args, int outputFd) {
  path_ = Path();
  // A socket rather than a pipe: sending with MSG_NOSIGNAL reports a
  // program that died early as an error instead of killing us with SIGPIPE.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw SystemError("cannot start the " + role_, errno);
  }
  input_ = ends[0];

  // Its standard error into memory, read when it has ended: a failure is
  // then told in one line of ours. Without it, the program shares ours.
  errors_ = ::memfd_create("helper-errors", MFD_CLOEXEC);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  if (errors_ >= 0) posix_spawn_file_actions_adddup2(&actions, errors_, STDERR_FILENO);
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
  std::vector<char*> argv{path_.data()};
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, path_.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (spawned != 0) {
    CloseInput();
    throw SystemError("cannot start the " + role_ + " '" + path_ + "'", spawned);
  }
  child_ = child;
}

void THelperProgram::Send(std::string_view data, std::string_view what,
                          const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  while (!data.empty()) {
    const ssize_t sent = ::send(input_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent >= 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (errno == EINTR && !stopped()) continue;
    const int error = errno;
    // The program's own exit is the better reason; a stop ends it.
    Finish(what, stop);
    throw SystemError("cannot hand " + std::string(what) + " to the " + role_, error);
  }
}

void THelperProgram::Finish(std::string_view what, const std::atomic<bool>* stop) {
  const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  CloseInput();
  if (child_ <= 0) return;
  // Polled rather than a blocking wait: an interrupt that lands just
  // before a blocking waitpid would not cut it short. The pause grows, so
  // that a program that ends at once is not kept waiting for.
  int status = 0;
  bool ended = false;
  long pause = 100'000;
  for (;;) {
    const pid_t waited = ::waitpid(child_, &status, WNOHANG);
    if (waited == child_) break;
    if (waited < 0 && errno != EINTR) throw SystemError("cannot wait for the " + role_, errno);
    if (stopped() && !ended) {
      ::kill(child_, SIGTERM);
      ended = true;
    }
    const timespec sleep{0, pause};
    ::nanosleep(&sleep, nullptr);
    pause = std::min(pause * 2, 10'000'000L);
  }
  child_ = -1;
  const std::string said = TakeErrors();
  if (ended || stopped()) {
    throw std::runtime_error(std::string(what) + " was not finished: interrupted");
  }
  if (WIFSIGNALED(status)) {
    throw std::runtime_error("the " + role_ + " was ended by signal " +
                             std::to_string(WTERMSIG(status)));
  }
  if (WEXITSTATUS(status) != 0) {
    // Its last line says why, after its name.
    std::string reason = said.substr(0, said.find_last_not_of("\n") + 1);
    reason = reason.substr(reason.rfind('\n') + 1);
    if (reason.rfind(name_ + ": ", 0) == 0) reason.erase(0, name_.size() + 2);
    if (reason.empty()) {
      throw std::runtime_error("the " + role_ + " failed (exit status " +
                               std::to_string(WEXITSTATUS(status)) + ")");
    }
    throw std::runtime_error("the " + role_ + " failed: " + reason);
  }
  // What a program that succeeded said is passed on as it was.
  for (std::string_view rest = said; !rest.empty();) {
    const ssize_t written = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (written <= 0 && errno != EINTR) break;
    if (written > 0) rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::string THelperProgram::TakeErrors() {
  std::string said;
  if (errors_ < 0) return said;
  // The end is what counts; a program that wrote more is cut at the front.
  constexpr off_t most = 1 << 16;
  struct stat written {};
  const off_t size = ::fstat(errors_, &written) == 0 ? written.st_size : 0;
  const off_t from = std::max<off_t>(0, size - most);
  said.resize(static_cast<std::size_t>(size - from));
  std::size_t got = 0;
  while (got < said.size()) {
    const ssize_t n = ::pread(errors_, said.data() + got, said.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  said.resize(got);
  ::close(errors_);
  errors_ = -1;
  return said;
}

}  // namespace dla::tools
