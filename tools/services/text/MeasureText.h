// How the batch runner writes the aggregate measures: one line of
// name=value pairs for people, or CSV fields for programs.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "AggregateMeasures.h"

namespace dla::tools {

// The CSV columns of the measures, in the order MeasureFields gives them.
inline constexpr const char* MeasureColumns = "aggregates,largest,mean_size,gyration,dimension,r2";
// The CSV columns of the size distribution (AggregateMeasures::Sizes).
inline constexpr const char* SizeColumns = "size,count";

// The values of MeasureColumns as numbers (AggregateMeasures.h).
using dla::MeasureValues;
using dla::TMeasureValues;
// The position of a column name in MeasureColumns; none for another name.
std::optional<std::size_t> MeasureColumn(std::string_view name);

// A whole number (below 2^53 in magnitude) in full, "1234567"; any other
// with six significant digits in the shortest form, "0.666667", "1.58496",
// "1.23457e+06". Independent of the C locale.
std::string MeasureNumber(double value);

// "aggregates=A largest=L mean_size=M gyration=G dimension=D r2=R"; an
// absent value is "none", the gyration of a largest aggregate that wraps
// round the torus "wraps".
std::string MeasureLine(const AggregateMeasures& measures);

// The CSV fields of MeasureColumns: each value as MeasureNumber writes it,
// NaN empty.
std::array<std::string, 6> MeasureFields(const TMeasureValues& values);

}  // namespace dla::tools
