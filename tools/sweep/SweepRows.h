// The rows that a sweep prints, one per run: what dla-batch sweep writes on
// standard output and what the Python module's sweep returns.
#pragma once

#include "CsvWriter.h"
#include "RunRecord.h"
#include "SweepPlan.h"

namespace dla::tools {

// The header line, newline included:
// agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents, then
// MeasureColumns.
void WriteSweepHeader(TCsvWriter& out);

// One run's row, newline included: ended 1 or 0, the measures as
// MeasureFields writes them (an absent value empty).
void WriteSweepRow(TCsvWriter& out, const TSweepRun& run, const TRunRecord& record);

}  // namespace dla::tools
