// Reading the numbers of the command line. Strict: plain decimal digits only
// (no sign, no blanks, no hexadecimal), so that "1e3", " 5" or "-0" are
// refused rather than half-read. Every failure throws EUsageError naming the
// option and the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dla::tools {

// The drawing area in pixels.
struct TDrawingSize {
  std::int32_t Width = 404;
  std::int32_t Height = 404;
};

// The largest drawing area accepted, in pixels (16384 x 16384); the model
// refuses larger ones.
inline constexpr std::int64_t MaxDrawingPixels = std::int64_t{1} << 28;
// The largest population accepted. The model could take up to 2^31 - 1
// agents, but beyond this a run needs several GiB; refusing it up front is
// kinder than running out of memory half-way.
inline constexpr std::int64_t MaxAgents = 100'000'000;

// The whole text as a decimal number from min to max; nullopt if it is not
// one (empty, a non-digit, or out of range).
std::optional<std::int64_t> DecimalValue(std::string_view text, std::int64_t min,
                                         std::int64_t max) noexcept;

// As DecimalValue, but throws EUsageError("--<option>: expected a whole number
// from <min> to <max>, got '<text>'").
std::int64_t ParseDecimal(std::string_view text, std::int64_t min, std::int64_t max,
                          std::string_view option);

// "WxH" (or "WXH"), each side at least 3 pixels, at most MaxDrawingPixels in
// all.
TDrawingSize ParseDrawingSize(std::string_view text, std::string_view option);

}  // namespace dla::tools
