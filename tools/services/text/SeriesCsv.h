// A run's free agents per step as CSV, the one format that dla-batch prints
// and the window and the page export, so that they stay byte for byte the
// same.
#pragma once

#include <cstdint>
#include <string>

#include "CsvWriter.h"
#include "TFreeAgentsSeries.h"

namespace dla::tools {

// "step,free_agents", then a line "N,F" per step.
class TSeriesCsv {
 public:
  // Puts the header line into the buffer (see TCsvWriter for the sink).
  explicit TSeriesCsv(TCsvWriter::Sink sink);

  void Add(std::int32_t step, std::int32_t freeAgents) { out_.Field(step).Field(freeAgents).EndLine(); }
  void Flush() { out_.Flush(); }

  // The whole series, header first.
  static std::string Text(const TFreeAgentsSeries& series);

 private:
  TCsvWriter out_;
};

}  // namespace dla::tools
