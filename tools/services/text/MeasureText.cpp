#include "MeasureText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <version>

namespace dla::tools {
namespace {

std::string Optional(const std::optional<double>& value, const char* absent) {
  return value ? MeasureNumber(*value) : std::string(absent);
}

std::string Gyration(const AggregateMeasures& measures, const char* absent, const char* wraps) {
  return measures.LargestWraps ? std::string(wraps) : Optional(measures.Gyration, absent);
}

}  // namespace

std::optional<std::size_t> MeasureColumn(std::string_view name) {
  std::string_view columns = MeasureColumns;
  for (std::size_t column = 0;; ++column) {
    const std::size_t comma = columns.find(',');
    if (columns.substr(0, comma) == name) return column;
    if (comma == std::string_view::npos) return std::nullopt;
    columns.remove_prefix(comma + 1);
  }
}

std::string MeasureNumber(double value) {
  char text[32];
  std::to_chars_result result;
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
    result = std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(value));
  } else {
#ifdef __cpp_lib_to_chars
    result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
#else
    // A library without floating-point to_chars (the page's): the standard
    // defines this form as printf's %.6g in the C locale, the only locale
    // such a build has.
    result.ptr = text + std::snprintf(text, sizeof text, "%.6g", value);
#endif
  }
  return std::string(text, result.ptr);
}

std::string MeasureLine(const AggregateMeasures& measures) {
  return "aggregates=" + std::to_string(measures.Aggregates) +
         " largest=" + std::to_string(measures.Largest) +
         " mean_size=" + Optional(measures.MeanSize, "none") +
         " gyration=" + Gyration(measures, "none", "wraps") +
         " dimension=" + Optional(measures.Dimension, "none") +
         " r2=" + Optional(measures.DimensionR2, "none");
}

std::array<std::string, 6> MeasureFields(const TMeasureValues& values) {
  std::array<std::string, 6> fields;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isnan(values[i])) fields[i] = MeasureNumber(values[i]);
  }
  return fields;
}

}  // namespace dla::tools
