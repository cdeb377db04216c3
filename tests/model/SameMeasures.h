// Two AggregateMeasures alike to the last bit, field by field: doubles
// compared as their bits, so that -0 and 0 differ and no tolerance hides a
// rounding.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "AggregateMeasures.h"

namespace dla::test {

inline std::string Bits(const std::optional<double>& value) {
  if (!value) return "absent";
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (%a)", *value, *value);
  return text;
}

inline ::testing::AssertionResult SameMeasures(const AggregateMeasures& actual,
                                               const AggregateMeasures& expected) {
  const auto same = [](const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() &&
           (!a || std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b));
  };
  std::string faults;
  const auto number = [&](const char* what, std::int64_t a, std::int64_t b) {
    if (a != b) {
      faults += std::string(" ") + what + " " + std::to_string(a) + " != " + std::to_string(b);
    }
  };
  number("aggregates", actual.Aggregates, expected.Aggregates);
  number("largest", actual.Largest, expected.Largest);
  number("wraps", actual.LargestWraps, expected.LargestWraps);
  if (actual.Sizes != expected.Sizes) {
    faults += " sizes: " + std::to_string(actual.Sizes.size()) + " and " +
              std::to_string(expected.Sizes.size()) + " distinct, not the same";
  }
  const std::pair<const char*,
                  std::pair<const std::optional<double>*, const std::optional<double>*>>
      values[] = {{"mean_size", {&actual.MeanSize, &expected.MeanSize}},
                  {"gyration", {&actual.Gyration, &expected.Gyration}},
                  {"dimension", {&actual.Dimension, &expected.Dimension}},
                  {"r2", {&actual.DimensionR2, &expected.DimensionR2}}};
  for (const auto& [what, pair] : values) {
    if (!same(*pair.first, *pair.second)) {
      faults += std::string(" ") + what + " " + Bits(*pair.first) + " != " + Bits(*pair.second);
    }
  }
  if (faults.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "measures differ:" << faults;
}

}  // namespace dla::test
