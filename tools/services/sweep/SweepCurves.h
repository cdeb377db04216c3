// The sweep's mean free agents per step and combination, the data of its
// --plot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "PlotRequest.h"
#include "SweepPlan.h"

namespace dla::tools {

class TSweepCurves {
 public:
  // At most about this many points per line. The mean of a combination
  // never rises (agents only ever stop), so sampling it loses nothing a
  // picture could show.
  static constexpr std::size_t MaxPointsPerLine = 4000;

  explicit TSweepCurves(const TSweepPlan& plan);

  // Adds one run's free agents per step (step 1 first). After a run's last
  // step its free agents count as 0: a shorter run is one that ended, and
  // those that did not end all have --steps steps.
  void Add(std::size_t combination, const std::vector<std::int32_t>& freeAgents);

  std::uint64_t Runs(std::size_t combination) const { return runs_.at(combination); }
  // Mean free agents at steps 1, 2, ... up to the longest run of the
  // combination; empty for a combination without runs.
  std::vector<double> Mean(std::size_t combination) const;

  // The 0-based steps of a line of `count` steps that are drawn: all of
  // them up to maxPoints (>= 2), else maxPoints / 2 evenly spaced ones and
  // maxPoints / 2 geometrically spaced ones (so a logarithmic step axis
  // still has points near the start), sorted, without repeats, first and
  // last always included.
  static std::vector<std::size_t> SampledSteps(std::size_t count, std::size_t maxPoints);

  // A steps plot request: one line per combination with runs, in plan
  // order, its points sampled to MaxPointsPerLine.
  TPlotRequest Request() const;

 private:
  const TSweepPlan& plan_;
  std::vector<std::vector<std::int64_t>> sums_;  // per combination, per step - 1
  std::vector<std::uint64_t> runs_;
};

}  // namespace dla::tools
