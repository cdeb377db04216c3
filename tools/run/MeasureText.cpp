#include "MeasureText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace dla::tools {
namespace {

std::string Optional(const std::optional<double>& value, const char* absent) {
  return value ? MeasureNumber(*value) : std::string(absent);
}

std::string Gyration(const AggregateMeasures& measures, const char* absent, const char* wraps) {
  return measures.LargestWraps ? std::string(wraps) : Optional(measures.Gyration, absent);
}

}  // namespace

TMeasureValues MeasureValues(const AggregateMeasures& measures) {
  constexpr double absent = std::numeric_limits<double>::quiet_NaN();
  return {static_cast<double>(measures.Aggregates),
          static_cast<double>(measures.Largest),
          measures.MeanSize.value_or(absent),
          measures.LargestWraps ? absent : measures.Gyration.value_or(absent),
          measures.Dimension.value_or(absent),
          measures.DimensionR2.value_or(absent)};
}

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
    result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
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
