// What a sweep keeps of one run: one row of its output.
#pragma once

#include <cstdint>

#include "MeasureText.h"

namespace dla::tools {

struct TRunRecord {
  // The placement seed: repeats the run with dla-batch --seed.
  std::uint32_t Seed = 0;
  // Steps made, at most the sweep's --steps.
  std::int32_t Steps = 0;
  // A step without a free agent was made (the run ended by itself).
  bool Ended = false;
  std::int32_t AggregatedCells = 0;
  std::int32_t StuckAgents = 0;
  // The aggregates' measures after the last step, as numbers (NaN where
  // absent): every record is kept until the sweep's end, so not the whole
  // AggregateMeasures. (A NaN is unequal to itself, so == holds only for
  // records whose measures are all present.)
  TMeasureValues Measures{};

  friend bool operator==(const TRunRecord&, const TRunRecord&) = default;
};

}  // namespace dla::tools
