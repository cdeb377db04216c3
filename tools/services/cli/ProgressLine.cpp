#include "ProgressLine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dla::tools {

TProgressLine::TProgressLine(std::FILE* stream)
    : TProgressLine(stream, isatty(fileno(stream)) != 0, std::chrono::milliseconds(200)) {}

TProgressLine::TProgressLine(std::FILE* stream, bool enabled, Clock::duration interval)
    : stream_(stream), enabled_(enabled), interval_(interval), last_(Clock::now()) {}

void TProgressLine::Show(std::string_view text) {
  if (!enabled_) return;
  std::fprintf(stream_, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
  std::fflush(stream_);
  last_ = Clock::now();
  shown_ = true;
}

void TProgressLine::Clear() {
  if (!enabled_ || !shown_) return;
  std::fputs("\r\033[K", stream_);
  std::fflush(stream_);
  shown_ = false;
}

std::string FormatDuration(double seconds) {
  const auto total = static_cast<long long>(std::isfinite(seconds) && seconds > 0 ? seconds : 0);
  char text[48];
  if (total < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  }
  return text;
}

std::string RunProgressText(std::int64_t step, std::int64_t freeAgents, double stepsPerSecond) {
  char text[96];
  std::snprintf(text, sizeof text, "step %lld  free %lld  %.0f steps/s",
                static_cast<long long>(step), static_cast<long long>(freeAgents),
                stepsPerSecond);
  return text;
}

std::string SweepProgressText(std::uint64_t done, std::uint64_t total, double elapsedSeconds,
                              int barWidth) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = std::clamp(static_cast<int>(fraction * barWidth), 0, barWidth);
  std::string text;
  text.reserve(static_cast<std::size_t>(barWidth) + 80);
  text.push_back('[');
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(barWidth - filled), '-');
  text.append("] ");
  char numbers[128];
  const double rate = elapsedSeconds > 0 ? static_cast<double>(done) / elapsedSeconds : 0.0;
  std::snprintf(numbers, sizeof numbers, "%llu/%llu runs  %.1f runs/s  left ",
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                rate);
  text += numbers;
  text += done == 0 || rate <= 0 ? std::string("?")
                                 : FormatDuration(static_cast<double>(total - done) / rate);
  return text;
}

}  // namespace dla::tools
