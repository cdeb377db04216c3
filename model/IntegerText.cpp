#include "IntegerText.h"

#include <charconv>
#include <cstdint>

namespace dla {

namespace {

std::string ConvertMessage(std::string_view text) {
  std::string message;
  message.reserve(text.size() + 32);
  message.push_back('\'');
  message.append(text);
  message.append("' is not a valid integer value");
  return message;
}

int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

EConvertError::EConvertError(std::string_view text)
    : std::runtime_error(ConvertMessage(text)), message_(ConvertMessage(text)) {}

std::int32_t StrToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  std::size_t digitsAt = 0;
  bool hex = false;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    hex = true;
    digitsAt = 1;
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    hex = true;
    digitsAt = 2;
  }
  const std::string_view digits = rest.substr(digitsAt);
  if (digits.empty()) throw EConvertError(text);

  // Accumulated in 64 bits and checked after each digit, so no length of
  // text can overflow.
  std::uint64_t value = 0;
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  for (const char c : digits) {
    const int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) throw EConvertError(text);
    value = value * (hex ? 16u : 10u) + static_cast<unsigned>(d);
    if (value > limit) throw EConvertError(text);
  }
  std::uint32_t pattern = static_cast<std::uint32_t>(value);
  if (negative) pattern = 0u - pattern;
  return static_cast<std::int32_t>(pattern);
}

std::uint16_t ThresholdFromText(std::string_view text) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(StrToInt(text)) & 0xFFFFu);
}

std::optional<std::int64_t> DecimalValue(std::string_view text, std::int64_t min,
                                         std::int64_t max) noexcept {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace dla
