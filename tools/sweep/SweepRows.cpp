#include "SweepRows.h"

#include <string>

#include "MeasureText.h"

namespace dla::tools {

void WriteSweepHeader(TCsvWriter& out) {
  out.Raw("agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents,")
      .Raw(MeasureColumns)
      .Raw("\n");
}

void WriteSweepRow(TCsvWriter& out, const TSweepRun& run, const TRunRecord& record) {
  out.Field(run.Agents).Field(run.Threshold).Field(record.Seed).Field(record.Steps);
  out.Field(record.Ended ? 1 : 0).Field(record.AggregatedCells).Field(record.StuckAgents);
  for (const std::string& field : MeasureFields(record.Measures)) out.Text(field);
  out.EndLine();
}

}  // namespace dla::tools
