#include "TStepThreads.h"

#include <chrono>
#include <stdexcept>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace dla {

#ifndef DLA_SHARED_STEP
TStepThreads::TStepThreads(int threads) : spins_(false) {
  throw std::invalid_argument("a step is made on one thread here, not " + std::to_string(threads));
}

TStepThreads::~TStepThreads() = default;

void TStepThreads::Dispatch(TPart, void*) {}
#else
namespace {

// How long a thread spins before it sleeps: a pause lasts from a few to a
// hundred cycles, as processors go, so the clock tells.
constexpr auto SpinTime = std::chrono::microseconds(100);

inline void Pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#endif
}

// Waits until `value` is no longer `seen`, spinning first if `spin`.
template <typename T>
T AwaitChange(const std::atomic<T>& value, T seen, bool spin) noexcept {
  const auto until = std::chrono::steady_clock::now() + SpinTime;
  for (int round = 1; spin; ++round) {
    const T now = value.load(std::memory_order_acquire);
    if (now != seen) return now;
    Pause();
    if (round % 64 == 0 && std::chrono::steady_clock::now() > until) break;
  }
  value.wait(seen, std::memory_order_acquire);
  return value.load(std::memory_order_acquire);
}

}  // namespace

TStepThreads::TStepThreads(int threads)
    // With more threads than processors, a thread that spins keeps the one
    // it waits for off its processor.
    : spins_(static_cast<unsigned>(threads) <= std::thread::hardware_concurrency()) {
  if (threads < 2 || threads > 256) {
    throw std::invalid_argument("a step shares out among 2 to 256 threads, not " + std::to_string(threads));
  }
  workers_.reserve(static_cast<std::size_t>(threads - 1));
  try {
    for (int t = 1; t < threads; ++t) workers_.emplace_back([this, t] { Work(t); });
  } catch (...) {
    // The ones started are stopped before the error goes on.
    Stop();
    throw;
  }
}

TStepThreads::~TStepThreads() { Stop(); }

void TStepThreads::Stop() noexcept {
  stopping_.store(true, std::memory_order_release);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  generation_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void TStepThreads::Work(int t) {
  std::uint32_t seen = 0;
  for (;;) {
    seen = AwaitChange(generation_, seen, spins_);
    if (stopping_.load(std::memory_order_acquire)) return;
    part_(context_, t);
    if (unfinished_.fetch_sub(1, std::memory_order_acq_rel) == 1) unfinished_.notify_one();
  }
}

void TStepThreads::Dispatch(TPart part, void* context) {
  part_ = part;
  context_ = context;
  unfinished_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
  // The release publishes part_ and context_ to the workers' acquire.
  generation_.fetch_add(1, std::memory_order_release);
  generation_.notify_all();
  part(context, 0);
  for (int left = unfinished_.load(std::memory_order_acquire); left != 0;
       left = unfinished_.load(std::memory_order_acquire)) {
    AwaitChange(unfinished_, left, spins_);
  }
}

#endif

}  // namespace dla
