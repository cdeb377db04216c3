#include "SweepRows.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "MeasureText.h"

namespace dla::tools {
namespace {

std::string ExactNumber(double value) {
  if (std::isnan(value)) return {};
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
    return std::to_string(static_cast<std::int64_t>(value));
  }
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void WriteSweepHeader(TCsvWriter& out) {
  out.Raw(SweepRunColumns).Raw(",").Raw(MeasureColumns).Raw("\n");
}

void WriteSweepRow(TCsvWriter& out, const TSweepRun& run, const TRunRecord& record,
                   EMeasureDigits digits) {
  out.Field(run.Agents).Field(run.Threshold).Field(record.Seed).Field(record.Steps);
  out.Field(record.Ended ? 1 : 0).Field(record.AggregatedCells).Field(record.StuckAgents);
  if (digits == EMeasureDigits::Printed) {
    for (const std::string& field : MeasureFields(record.Measures)) out.Text(field);
  } else {
    for (const double value : record.Measures) out.Text(ExactNumber(value));
  }
  out.EndLine();
}

}  // namespace dla::tools
