// Reading the numbers of the command line. Strict: plain decimal digits only
// (no sign, no blanks, no hexadecimal), so that "1e3", " 5" or "-0" are
// refused rather than half-read. Every failure throws EUsageError naming the
// option and the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "DrawingSize.h"

namespace dla::tools {

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
