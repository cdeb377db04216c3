#include "MeasuresCsv.h"

#include <string_view>
#include <utility>

namespace dla::tools {

TMeasuresCsv::TMeasuresCsv(TCsvWriter::Sink sink) : out_(std::move(sink)) {
  out_.Raw("step,").Raw(MeasureColumns).Raw("\n");
}

void TMeasuresCsv::Add(std::int32_t step, const TMeasureValues& values) {
  out_.Field(step);
  for (const std::string& field : MeasureFields(values)) out_.Text(field);
  out_.EndLine();
}

std::string TMeasuresCsv::Text(const TMeasuresSeries& series) {
  std::string text;
  TMeasuresCsv csv([&text](std::string_view piece) { text.append(piece); });
  series.ForEach([&csv](std::int32_t step, const TMeasureValues& values) { csv.Add(step, values); });
  csv.Flush();
  return text;
}

}  // namespace dla::tools
