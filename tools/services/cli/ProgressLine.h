// A live status line on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace dla::tools {

// Redraws one line in place ("\r", text, erase to the end of the line). It
// draws only when enabled, normally when the stream is a terminal, so that
// logs and pipes get no control characters. Show() is rate-limited by the
// caller through Due(), which keeps the cost per step to one clock read.
class TProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  // Enabled iff the stream is a terminal.
  explicit TProgressLine(std::FILE* stream);
  TProgressLine(std::FILE* stream, bool enabled, Clock::duration interval);

  bool Enabled() const noexcept { return enabled_; }
  // True when enabled and at least the interval (200 ms by default) has
  // passed since the last Show() or construction.
  bool Due() const noexcept { return enabled_ && Clock::now() - last_ >= interval_; }
  void Show(std::string_view text);
  // Erases the line, if anything was shown, so that what follows starts at
  // the left margin.
  void Clear();

 private:
  std::FILE* stream_;
  bool enabled_;
  Clock::duration interval_;
  Clock::time_point last_;
  bool shown_ = false;
};

// "m:ss" below an hour, "h:mm:ss" above; seconds rounded down, negative
// taken as 0.
std::string FormatDuration(double seconds);

// "step 1234  free 567  8901 steps/s".
std::string RunProgressText(std::int64_t step, std::int64_t freeAgents, double stepsPerSecond);

// "[########------] 12/40 runs  3.4 runs/s  left 0:08": the bar barWidth
// characters wide; the time left estimated from the rate so far ("left ?"
// before the first run is done).
std::string SweepProgressText(std::uint64_t done, std::uint64_t total, double elapsedSeconds,
                              int barWidth = 30);

}  // namespace dla::tools
