// What a sweep keeps of one run: one row of its output.
#pragma once

#include <cstdint>

#include "AggregateMeasures.h"

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
  // The aggregates after the last step; Sizes is left empty, since every
  // record is kept until the sweep's end.
  AggregateMeasures Measures;

  friend bool operator==(const TRunRecord&, const TRunRecord&) = default;
};

}  // namespace dla::tools
