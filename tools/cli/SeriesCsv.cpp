#include "SeriesCsv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace dla::tools {

TSeriesCsv::TSeriesCsv(TCsvWriter::Sink sink) : out_(std::move(sink)) {
  out_.Raw("step,free_agents\n");
}

void TSeriesCsv::Add(double step, double freeAgents) {
  Number(step);
  Number(freeAgents);
  out_.EndLine();
}

void TSeriesCsv::Number(double value) {
  if (value == std::trunc(value) && std::abs(value) < 9e18) {
    out_.Field(static_cast<std::int64_t>(value));
    return;
  }
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out_.Text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

}  // namespace dla::tools
