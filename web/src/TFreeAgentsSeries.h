// The points of the page's free-agents chart: every (step, free agents) of
// the current setup, for the CSV export, and a bounded outline of them for
// drawing. A run may go on for hours at a thousand steps a second, so each
// point is kept in 4 bytes (the steps of a setup come one by one) and the
// chart never gets more than 2 * OutlineBuckets points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dla::web {

class TFreeAgentsSeries {
 public:
  // Enough for a plot area up to 1024 device pixels wide to get two buckets
  // or more per pixel column.
  static constexpr std::size_t OutlineBuckets = 2048;

  // Appends the point. Throws std::invalid_argument unless step is the last
  // step + 1 (any step when empty): a setup's steps come in order, and the
  // series is cleared at every setup.
  void Add(std::int32_t step, std::int32_t freeAgents);
  void Clear() noexcept;

  std::size_t Count() const noexcept { return free_.size(); }

  // "step,free_agents", then a line "step,free" per point: byte for byte what
  // dla-batch prints on standard output for the same run.
  std::string Csv() const;

  // The outline: for runs of consecutive points (buckets of a power-of-two
  // width), the lowest and the highest point, in the order they came (one
  // point where they are the same). A line through it covers, pixel column
  // by pixel column, the heights a line through every point covers, while a
  // column spans at least one bucket. Written into xs and ys (steps and
  // free agents as doubles, what the chart takes); returns the count.
  std::size_t Outline(std::vector<double>& xs, std::vector<double>& ys) const;

 private:
  struct Bucket {
    std::uint32_t Low;   // index of the lowest point, the earliest of equals
    std::uint32_t High;  // likewise the highest
  };
  void AddToOutline(std::uint32_t index);

  std::int32_t firstStep_ = 0;
  std::vector<std::int32_t> free_;
  std::vector<Bucket> buckets_;
  std::uint32_t bucketWidth_ = 1;
};

}  // namespace dla::web
