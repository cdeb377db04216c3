// The threads that share one world's step: the caller's and Count() - 1
// workers of its own, started with it and joined when it goes. Run hands
// every thread its part of one pass and returns when all parts are done,
// so that a pass sees everything the passes before it wrote.
//
// A step makes a few passes of some tens of microseconds each, so a thread
// that waits (a worker for the next part, the caller for the workers)
// spins for up to 100 microseconds before it sleeps: a sleeping thread
// takes longer to wake than such a pass lasts. With more threads than the
// machine has processors, they sleep at once. Between runs the workers
// sleep and cost nothing.
#pragma once

// The page's engine runs in one Web Worker without threads of its own:
// there the step is never shared and its shared passes are left out.
#ifndef __EMSCRIPTEN__
#define DLA_SHARED_STEP 1
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace dla {

class TStepThreads {
 public:
  // `threads` in [2, 256]: the caller's and threads - 1 workers. Throws
  // std::invalid_argument outside (and always without DLA_SHARED_STEP),
  // std::system_error when a thread cannot be started.
  explicit TStepThreads(int threads);
  ~TStepThreads();
  TStepThreads(const TStepThreads&) = delete;
  TStepThreads& operator=(const TStepThreads&) = delete;

  int Count() const noexcept { return static_cast<int>(workers_.size()) + 1; }

  // Part t of `parts` of [0, count): [first, last), the parts in order
  // one after the other, each starting at a multiple of `align` (>= 1), the
  // last one ending at count.
  struct TShare {
    std::size_t First, Last;
  };
  static TShare Share(std::size_t count, int parts, int t, std::size_t align) noexcept {
    const std::size_t units = count / align;
    const auto at = [&](int k) {
      return k == parts ? count
                        : units * static_cast<std::size_t>(k) / static_cast<std::size_t>(parts) * align;
    };
    return {at(t), at(t + 1)};
  }

  // part(t) for every t in [0, Count()), t = 0 on the caller's thread, the
  // others on the workers, at once; returns when every one has returned.
  // part must not throw. Only one thread may call Run at a time.
  template <typename Part>
  void Run(Part&& part) {
    Dispatch([](void* context, int t) { (*static_cast<Part*>(context))(t); }, &part);
  }

 private:
  using TPart = void (*)(void*, int);
  void Dispatch(TPart part, void* context);
  void Work(int t);
  // Ends and joins the workers started.
  void Stop() noexcept;

  // Whether a thread that waits spins first (see above): only while every
  // thread can have a processor of its own.
  bool spins_;
  // What the workers run next, published by a new generation.
  TPart part_ = nullptr;
  void* context_ = nullptr;
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<int> unfinished_{0};
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> workers_;
};

}  // namespace dla
