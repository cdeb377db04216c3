// Values from Python, checked by the rules the command lines check them by
// (the same ranges, the same readers) and refused in Python's words: a
// ValueError that names the argument as Python calls it, with no "--", its
// text whole and escaped as dla-batch escapes what it prints.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "Options.h"

namespace dla::python {

// Throws a ValueError with the message, non-printable bytes escaped.
[[noreturn]] void Refuse(std::string_view message);
// The message of a refusal by the model or the tools (EUsageError,
// EConvertError, std::invalid_argument), whole, or what() for another.
std::string MessageOf(const std::exception& error);

// "<name> must be a whole number from MIN to MAX, got VALUE".
std::int64_t WholeArgument(std::string_view name, const pybind11::int_& value, tools::TWholeRange range);
// A text the window's threshold edit takes: "threshold: '<text>' is not a
// valid integer value".
std::string ThresholdArgument(const std::string& text);
// The window's words for a threshold text that is no integer, as its error
// display shows them ("'<text>' is not a valid integer value."); none for
// a text the step takes.
std::optional<std::string> ThresholdError(const std::string& text);
// "WxH", as --size takes it: "size: <why>, got '<text>'".
tools::TDrawingSize SizeArgument(const std::string& text);

}  // namespace dla::python
