#include "SweepCurves.h"

#include <algorithm>
#include <cmath>

namespace dla::tools {

TSweepCurves::TSweepCurves(const TSweepPlan& plan)
    : plan_(plan), sums_(plan.CombinationCount()), runs_(plan.CombinationCount(), 0) {}

void TSweepCurves::Add(std::size_t combination, const std::vector<std::int32_t>& freeAgents) {
  auto& sums = sums_.at(combination);
  if (sums.size() < freeAgents.size()) sums.resize(freeAgents.size(), 0);
  for (std::size_t i = 0; i < freeAgents.size(); ++i) sums[i] += freeAgents[i];
  ++runs_[combination];
}

std::vector<double> TSweepCurves::Mean(std::size_t combination) const {
  const auto& sums = sums_.at(combination);
  const std::uint64_t runs = runs_.at(combination);
  std::vector<double> mean;
  if (runs == 0) return mean;
  mean.reserve(sums.size());
  for (const std::int64_t sum : sums) {
    mean.push_back(static_cast<double>(sum) / static_cast<double>(runs));
  }
  return mean;
}

std::vector<std::size_t> TSweepCurves::SampledSteps(std::size_t count, std::size_t maxPoints) {
  std::vector<std::size_t> steps;
  if (count == 0) return steps;
  if (count <= maxPoints) {
    for (std::size_t i = 0; i < count; ++i) steps.push_back(i);
    return steps;
  }
  // Half the points evenly spaced (for a linear step axis), half spaced
  // geometrically (for a logarithmic one), both ends kept.
  const std::size_t half = std::max<std::size_t>(2, maxPoints / 2);
  for (std::size_t k = 0; k < half; ++k) steps.push_back(k * (count - 1) / (half - 1));
  const double ratio = std::pow(static_cast<double>(count), 1.0 / static_cast<double>(half - 1));
  double position = 1;
  for (std::size_t k = 0; k < half; ++k, position *= ratio) {
    steps.push_back(std::min(count - 1, static_cast<std::size_t>(position) - 1));
  }
  std::sort(steps.begin(), steps.end());
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  return steps;
}

TPlotRequest TSweepCurves::Request() const {
  TPlotRequest request;
  request.Kind = TPlotRequest::EKind::Steps;
  for (std::size_t c = 0; c < sums_.size(); ++c) {
    if (runs_[c] == 0) continue;
    const std::vector<double> mean = Mean(c);
    TPlotLine line;
    line.Combination = c;
    line.Agents = plan_.CombinationAgents(c);
    line.Threshold = plan_.CombinationThreshold(c);
    for (const std::size_t i : SampledSteps(mean.size(), MaxPointsPerLine)) {
      line.Points.emplace_back(static_cast<double>(i + 1), mean[i]);
    }
    request.Lines.push_back(std::move(line));
  }
  return request;
}

}  // namespace dla::tools
