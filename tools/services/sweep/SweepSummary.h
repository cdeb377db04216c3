// The per-combination summary that a sweep prints at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "RunRecord.h"
#include "RunningStats.h"
#include "SweepPlan.h"

namespace dla::tools {

// Accumulates the runs' step counts per combination. Runs must be added in
// plan order for the table to come out the same to the last digit every
// time (the mean and deviation are accumulated in floating point).
class TSweepSummary {
 public:
  struct TRow {
    std::int32_t Agents = 0;
    std::uint16_t Threshold = 0;
    std::uint64_t Runs = 0;
    // Mean and sample standard deviation (n - 1; 0 for a single run) of
    // the steps.
    double MeanSteps = 0;
    double SdSteps = 0;
    std::int32_t MinSteps = 0;
    std::int32_t MaxSteps = 0;
    // Runs that ended by themselves.
    std::uint64_t Ended = 0;
    // Per column of MeasureColumns, over the runs that have a value.
    std::array<TRunningStats, 6> Measures;
  };

  explicit TSweepSummary(const TSweepPlan& plan);

  void Add(std::size_t combination, const TRunRecord& record);

  // One row per combination that has at least one run, in plan order.
  std::vector<TRow> Rows() const;

  // The rows as a right-aligned text table with a header line
  // "agents threshold runs mean_steps sd_steps min_steps max_steps ended
  // mean_aggregates sd_aggregates mean_largest sd_largest mean_dimension
  // sd_dimension"; steps, aggregates and largest with one decimal, the
  // dimension with three ("none" when no run had one). Each line ends with
  // '\n'.
  std::string Table() const;

 private:
  struct TAccumulator {
    std::uint64_t Runs = 0;
    double Mean = 0;
    double SquaredDeviations = 0;  // Welford's M2
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::uint64_t Ended = 0;
    std::array<TRunningStats, 6> Measures;
  };

  const TSweepPlan& plan_;
  std::vector<TAccumulator> combinations_;
};

}  // namespace dla::tools
