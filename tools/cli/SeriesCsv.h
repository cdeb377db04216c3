// A run's free agents per step as CSV, the one format that dla-batch prints
// and the window exports, so that the two stay byte for byte the same.
#pragma once

#include "CsvWriter.h"

namespace dla::tools {

// "step,free_agents", then a line "N,F" per step.
class TSeriesCsv {
 public:
  // Puts the header line into the buffer (see TCsvWriter for the sink).
  explicit TSeriesCsv(TCsvWriter::Sink sink);

  // One line. Whole numbers (steps and counts) have no decimals; any other
  // value is written in its shortest exact form.
  void Add(double step, double freeAgents);
  void Flush() { out_.Flush(); }

 private:
  void Number(double value);

  TCsvWriter out_;
};

}  // namespace dla::tools
