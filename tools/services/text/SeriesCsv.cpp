#include "SeriesCsv.h"

#include <string_view>
#include <utility>

namespace dla::tools {

TSeriesCsv::TSeriesCsv(TCsvWriter::Sink sink) : out_(std::move(sink)) {
  out_.Raw("step,free_agents\n");
}

std::string TSeriesCsv::Text(const TFreeAgentsSeries& series) {
  std::string text;
  TSeriesCsv csv([&text](std::string_view piece) { text.append(piece); });
  series.ForEach([&csv](std::int32_t step, std::int32_t free) { csv.Add(step, free); });
  csv.Flush();
  return text;
}

}  // namespace dla::tools
