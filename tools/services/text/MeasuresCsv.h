// The aggregates' measures step by step as CSV, the one format that
// dla-batch --measures and --measures-series write and the window and the
// page export, so that they stay byte for byte the same.
#pragma once

#include <cstdint>
#include <string>

#include "CsvWriter.h"
#include "MeasureText.h"
#include "TMeasuresSeries.h"

namespace dla::tools {

// "step," then MeasureColumns, then a line per step: the measures as
// MeasureFields writes them (an absent value empty).
class TMeasuresCsv {
 public:
  // Puts the header line into the buffer (see TCsvWriter for the sink).
  explicit TMeasuresCsv(TCsvWriter::Sink sink);

  void Add(std::int32_t step, const TMeasureValues& values);
  void Flush() { out_.Flush(); }

  // The whole series, header first.
  static std::string Text(const TMeasuresSeries& series);

 private:
  TCsvWriter out_;
};

}  // namespace dla::tools
