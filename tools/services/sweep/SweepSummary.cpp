#include "SweepSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "MeasureText.h"

namespace dla::tools {

TSweepSummary::TSweepSummary(const TSweepPlan& plan)
    : plan_(plan), combinations_(plan.CombinationCount()) {}

void TSweepSummary::Add(std::size_t combination, const TRunRecord& record) {
  TAccumulator& a = combinations_.at(combination);
  const double steps = record.Steps;
  ++a.Runs;
  const double delta = steps - a.Mean;
  a.Mean += delta / static_cast<double>(a.Runs);
  a.SquaredDeviations += delta * (steps - a.Mean);
  a.Min = a.Runs == 1 ? record.Steps : std::min(a.Min, record.Steps);
  a.Max = a.Runs == 1 ? record.Steps : std::max(a.Max, record.Steps);
  a.Ended += record.Ended ? 1 : 0;
  for (std::size_t column = 0; column < a.Measures.size(); ++column) {
    if (!std::isnan(record.Measures[column])) a.Measures[column].Add(record.Measures[column]);
  }
}

std::vector<TSweepSummary::TRow> TSweepSummary::Rows() const {
  std::vector<TRow> rows;
  for (std::size_t c = 0; c < combinations_.size(); ++c) {
    const TAccumulator& a = combinations_[c];
    if (a.Runs == 0) continue;
    TRow row;
    row.Agents = plan_.CombinationAgents(c);
    row.Threshold = plan_.CombinationThreshold(c);
    row.Runs = a.Runs;
    row.MeanSteps = a.Mean;
    row.SdSteps = a.Runs > 1 ? std::sqrt(a.SquaredDeviations / static_cast<double>(a.Runs - 1)) : 0;
    row.MinSteps = a.Min;
    row.MaxSteps = a.Max;
    row.Ended = a.Ended;
    row.Measures = a.Measures;
    rows.push_back(row);
  }
  return rows;
}

std::string TSweepSummary::Table() const {
  std::vector<std::vector<std::string>> cells{{"agents", "threshold", "runs", "mean_steps",
                                               "sd_steps", "min_steps", "max_steps", "ended",
                                               "mean_aggregates", "sd_aggregates", "mean_largest",
                                               "sd_largest", "mean_dimension", "sd_dimension"}};
  char text[64];
  const auto decimal = [&](double value, int decimals = 1) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text);
  };
  // Columns of MeasureColumns.
  constexpr std::size_t aggregates = 0, largest = 1, dimension = 4;
  for (const TRow& row : Rows()) {
    const TRunningStats& d = row.Measures[dimension];
    cells.push_back({std::to_string(row.Agents), std::to_string(row.Threshold),
                     std::to_string(row.Runs), decimal(row.MeanSteps), decimal(row.SdSteps),
                     std::to_string(row.MinSteps), std::to_string(row.MaxSteps),
                     std::to_string(row.Ended), decimal(row.Measures[aggregates].Mean()),
                     decimal(row.Measures[aggregates].Sd()), decimal(row.Measures[largest].Mean()),
                     decimal(row.Measures[largest].Sd()),
                     d.Count() > 0 ? decimal(d.Mean(), 3) : "none",
                     d.Count() > 0 ? decimal(d.Sd(), 3) : "none"});
  }
  std::vector<std::size_t> widths(cells.front().size(), 0);
  for (const auto& line : cells) {
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  std::string table;
  for (const auto& line : cells) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (i > 0) table += "  ";
      table.append(widths[i] - line[i].size(), ' ');
      table += line[i];
    }
    table += '\n';
  }
  return table;
}

}  // namespace dla::tools
