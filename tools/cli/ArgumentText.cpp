#include "ArgumentText.h"

#include <charconv>
#include <string>

#include "UsageError.h"

namespace dla::tools {

std::optional<std::int64_t> DecimalValue(std::string_view text, std::int64_t min,
                                         std::int64_t max) noexcept {
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
  return value;
}

std::int64_t ParseDecimal(std::string_view text, std::int64_t min, std::int64_t max,
                          std::string_view option) {
  if (const auto value = DecimalValue(text, min, max)) return *value;
  throw EUsageError("--" + std::string(option) + ": expected a whole number from " +
                    std::to_string(min) + " to " + std::to_string(max) + ", got '" +
                    std::string(text) + "'");
}

TDrawingSize ParseDrawingSize(std::string_view text, std::string_view option) {
  const std::size_t x = text.find_first_of("xX");
  const auto bad = [&](const std::string& why) {
    return EUsageError("--" + std::string(option) + ": " + why + ", got '" + std::string(text) +
                       "'");
  };
  if (x == std::string_view::npos) throw bad("expected WIDTHxHEIGHT in pixels");
  const auto width = DecimalValue(text.substr(0, x), 0, MaxDrawingPixels);
  const auto height = DecimalValue(text.substr(x + 1), 0, MaxDrawingPixels);
  if (!width || !height) throw bad("expected WIDTHxHEIGHT in pixels");
  if (*width < 3 || *height < 3) throw bad("the drawing area must be at least 3x3 pixels");
  if (*width * *height > MaxDrawingPixels) {
    throw bad("the drawing area may hold at most " + std::to_string(MaxDrawingPixels) +
              " pixels");
  }
  return {static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height)};
}

}  // namespace dla::tools
