// What the sweep asks its plotting program (dla-plot) to draw, and the text
// in which the request goes over a pipe. Qt-free: the sweep builds it, the
// plotting program reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dla::tools {

// One combination's mean free agents: (step, mean) points, step from 1,
// increasing; the first point is step 1 and the last the longest run's last
// step (empty when every run had 0 steps).
struct TPlotLine {
  // The combination's index in the plan: it picks the line's colour.
  std::size_t Combination = 0;
  std::int32_t Agents = 0;
  std::uint16_t Threshold = 0;
  std::vector<std::pair<double, double>> Points;
};

// One point of a measure against the threshold: mean and sample standard
// deviation over the runs that had a value.
struct TMeasurePoint {
  std::int32_t Agents = 0;
  std::uint16_t Threshold = 0;
  // Runs that had a value of the measure (0: no point is drawn).
  std::uint64_t Runs = 0;
  double Mean = 0;
  // >= 0; no bar when 0.
  double Sd = 0;
};

struct TPlotRequest {
  enum class EKind { Steps, Measure };

  EKind Kind = EKind::Steps;
  // Steps: mean free agents against the step, one line per combination.
  std::vector<TPlotLine> Lines;
  // Measure: the column name and its points.
  std::string Measure;
  std::vector<TMeasurePoint> Points;

  // Line-based text; numbers round-trip exactly (shortest decimal form), so
  // the plot drawn from the text is the plot drawn from the request.
  std::string Text() const;
  // The inverse of Text(); throws std::runtime_error naming the first line
  // that is not in that form.
  static TPlotRequest Parse(std::string_view text);
};

}  // namespace dla::tools
