#include "MeasureText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
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

std::optional<double> MeasureValue(const AggregateMeasures& measures, std::size_t column) {
  switch (column) {
    case 0:
      return measures.Aggregates;
    case 1:
      return measures.Largest;
    case 2:
      return measures.MeanSize;
    case 3:
      return measures.LargestWraps ? std::nullopt : measures.Gyration;
    case 4:
      return measures.Dimension;
    case 5:
      return measures.DimensionR2;
    default:
      return std::nullopt;
  }
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

std::array<std::string, 6> MeasureFields(const AggregateMeasures& measures) {
  return {std::to_string(measures.Aggregates), std::to_string(measures.Largest),
          Optional(measures.MeanSize, ""),     Gyration(measures, "", ""),
          Optional(measures.Dimension, ""),    Optional(measures.DimensionR2, "")};
}

}  // namespace dla::tools
