#include "InterruptGuard.h"

#include <pthread.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace dla::tools {
namespace {

std::atomic<bool> requested{false};
std::atomic<int> received{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

struct sigaction previousInt;
struct sigaction previousTerm;

extern "C" void OnSignal(int signal) {
  received.store(signal, std::memory_order_relaxed);
  requested.store(true, std::memory_order_relaxed);
}

}  // namespace

TInterruptGuard::TInterruptGuard() {
  requested.store(false);
  received.store(0);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Without SA_RESTART: a write blocked on a full pipe, or a wait for the
  // plotting program, returns EINTR at once instead of holding the signal
  // until the reader drains the pipe.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &previousInt);
  sigaction(SIGTERM, &action, &previousTerm);
  // A signal the caller ignores (a job started in the background by a
  // non-interactive shell ignores SIGINT) stays ignored.
  if (previousInt.sa_handler == SIG_IGN) sigaction(SIGINT, &previousInt, nullptr);
  if (previousTerm.sa_handler == SIG_IGN) sigaction(SIGTERM, &previousTerm, nullptr);
}

TInterruptGuard::~TInterruptGuard() {
  sigaction(SIGINT, &previousInt, nullptr);
  sigaction(SIGTERM, &previousTerm, nullptr);
}

const std::atomic<bool>& TInterruptGuard::Flag() noexcept { return requested; }

int TInterruptGuard::Signal() noexcept { return received.load(std::memory_order_relaxed); }

int TInterruptGuard::WriteAll(int fd, std::string_view data) noexcept {
  while (!data.empty()) {
    if (Requested()) return EINTR;
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

TInterruptGuard::THeld::THeld() noexcept {
  sigset_t interrupts;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous_);
}

TInterruptGuard::THeld::~THeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace dla::tools
