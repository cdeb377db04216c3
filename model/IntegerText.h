// Reading an integer typed by the user: the aggregation threshold.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dla {

// A text that is not an integer. what() is "'<text>' is not a valid integer
// value", the text unchanged; Message() the same, whole even where the text
// holds a NUL byte (what() ends there).
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(std::string_view text);
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

// Accepts: any number of leading blanks (' '); at most one '+' or '-';
// then one or more decimal digits, or one of the prefixes "$", "x", "X",
// "0x", "0X" and one or more hexadecimal digits in either case; nothing after
// (no trailing blank). Decimal values must lie in the signed 32-bit range;
// hexadecimal ones must fit in 32 bits, are read as a two's-complement
// pattern and negated (wrapping) after a '-'. Anything else throws
// EConvertError.
std::int32_t StrToInt(std::string_view text);

// The whole text as a decimal number from min to max; none for anything
// else (empty, a sign, a blank, a non-digit, out of range): how every
// whole number but the threshold is typed.
std::optional<std::int64_t> DecimalValue(std::string_view text, std::int64_t min,
                                         std::int64_t max) noexcept;

// The threshold of a step: the low 16 bits of StrToInt(text), unsigned, so
// "-1" gives 65535 and "65542" gives 6.
std::uint16_t ThresholdFromText(std::string_view text);

}  // namespace dla
