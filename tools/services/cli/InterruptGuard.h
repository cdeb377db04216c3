// Ctrl-C (SIGINT) and SIGTERM (what schedulers send to cancel a job) as a
// request to stop rather than an abrupt end, so that output files can be
// discarded cleanly.
#pragma once

#include <atomic>
#include <csignal>
#include <string_view>

namespace dla::tools {

// While an object lives, SIGINT and SIGTERM set Flag() instead of ending the
// process; long loops poll it (a relaxed load per step is all it costs).
// The handler is installed with SA_RESETHAND, so a second signal ends the
// process at once in the default way if the first did not stop it soon
// enough. Handlers do not restart system calls: a write or wait that a
// signal cuts short fails with EINTR, and callers treat any failure while
// Requested() as the interrupt. The destructor puts the previous handlers back.
// One object at a time.
class TInterruptGuard {
 public:
  TInterruptGuard();
  ~TInterruptGuard();
  TInterruptGuard(const TInterruptGuard&) = delete;
  TInterruptGuard& operator=(const TInterruptGuard&) = delete;

  static const std::atomic<bool>& Flag() noexcept;
  static bool Requested() noexcept { return Flag().load(std::memory_order_relaxed); }
  // The signal that was received (0 if none): the exit status of an
  // interrupted command is 128 + this, as a shell reports a signalled one.
  static int Signal() noexcept;

  // Writes all of data to fd, unless an interrupt comes first. Returns 0, or
  // the errno of the failure: EINTR when interrupted, even between two
  // partial writes (a write cut short after some bytes returns their count,
  // not EINTR, and must not be followed by one that blocks again).
  static int WriteAll(int fd, std::string_view data) noexcept;

  // While an object lives, SIGINT and SIGTERM wait on this thread: the
  // final renames of a command's outputs then happen all or none, and a
  // signal that arrives meanwhile is acted on afterwards.
  class THeld {
   public:
    THeld() noexcept;
    ~THeld();
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;

   private:
    sigset_t previous_;
  };
};

}  // namespace dla::tools
