// The rows that a sweep prints, one per run: what dla-batch sweep writes on
// standard output and what the Python module's sweep returns.
#pragma once

#include "CsvWriter.h"
#include "RunRecord.h"
#include "SweepPlan.h"

namespace dla::tools {

// The columns of a run's row before the measures (MeasureColumns).
inline constexpr const char* SweepRunColumns =
    "agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents";

// The header line, newline included: SweepRunColumns, then
// MeasureColumns.
void WriteSweepHeader(TCsvWriter& out);

// How a row writes the measures: as standard output prints them, or so that
// each reads back as the same double (a partial file, TPartialSweep).
enum class EMeasureDigits { Printed, Exact };

// One run's row, newline included: ended 1 or 0, the measures as
// MeasureFields writes them (an absent value empty), or for Exact a whole
// number (below 2^53) in full and any other in the shortest form that reads
// back as the same double (std::to_chars).
void WriteSweepRow(TCsvWriter& out, const TSweepRun& run, const TRunRecord& record,
                   EMeasureDigits digits = EMeasureDigits::Printed);

}  // namespace dla::tools
