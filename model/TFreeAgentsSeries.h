// The free agents of every step of a setup, as the chart shows them and the
// series CSV lists them. A run may go on for hours at thousands of steps a
// second, so a point costs one byte where the count changes by at most 63
// from the step before (every step of a run's long tail), a stretch of
// steps in which it does not change costs a few bytes however long it is
// (a run in which no agent stops keeps its memory flat), and a chart is
// handed a bounded outline of the points instead of all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace dla {

class TFreeAgentsSeries {
 public:
  // outlineBuckets: the most buckets the outline keeps (0: no outline; else
  // at least 2, rounded up to an even number), so the outline has at most
  // twice as many points.
  explicit TFreeAgentsSeries(std::size_t outlineBuckets = 0);

  // Appends the point (step, free agents). Throws std::invalid_argument,
  // changing nothing, unless step is the last step + 1 (any step when the
  // series is empty): a setup's steps come in order, and the series is
  // cleared at every setup.
  void Add(std::int32_t step, std::int32_t freeAgents);
  void Clear() noexcept;

  std::size_t Count() const noexcept { return count_; }
  bool Empty() const noexcept { return count_ == 0; }
  // The step of the first point (0 when empty); the others follow it one by
  // one.
  std::int32_t FirstStep() const noexcept { return firstStep_; }
  // Of the last point; 0 when empty.
  std::int32_t Last() const noexcept { return last_; }
  // The least and the greatest free agents of all points; 0 when empty.
  std::int32_t Lowest() const noexcept { return lowest_; }
  std::int32_t Highest() const noexcept { return highest_; }
  // Bytes held for the points (not counting spare capacity).
  std::size_t Bytes() const noexcept { return bytes_.size(); }

  // fn(step, freeAgents) for every point, in order.
  template <typename Fn>
  void ForEach(Fn&& fn) const {
    TReader reader;
    std::int64_t value = 0;
    for (std::size_t k = 0; k < count_; ++k) {
      value += Delta(reader);
      fn(static_cast<std::int32_t>(firstStep_ + static_cast<std::int64_t>(k)),
         static_cast<std::int32_t>(value));
    }
  }
  // The free agents of every point, in order.
  std::vector<std::int32_t> Values() const;

  // fn(step, freeAgents) for every point of the outline, in step order: of
  // runs of consecutive points (buckets of a power-of-two width), the lowest
  // and the highest point (one point where they are the same; the earliest
  // of equals). A line through them covers, pixel column by pixel column,
  // the heights a line through every point covers, while a column spans at
  // least one bucket. Without an outline: every point.
  template <typename Fn>
  void ForEachOutlinePoint(Fn&& fn) const {
    if (maxBuckets_ == 0) return ForEach(fn);
    for (const TBucket& bucket : buckets_) {
      const bool lowFirst = bucket.Low.Index <= bucket.High.Index;
      const TPoint& first = lowFirst ? bucket.Low : bucket.High;
      const TPoint& second = lowFirst ? bucket.High : bucket.Low;
      fn(StepAt(first.Index), first.Value);
      if (second.Index != first.Index) fn(StepAt(second.Index), second.Value);
    }
  }
  // Points per outline bucket: 1 until the series outgrows the buckets,
  // then a power of two.
  std::size_t BucketWidth() const noexcept { return bucketWidth_; }

 private:
  struct TPoint {
    std::size_t Index;
    std::int32_t Value;
  };
  struct TBucket {
    TPoint Low;
    TPoint High;
  };

  // Where ForEach reads: the byte of the next point, and how many points
  // of a stretch without change it has still to give.
  struct TReader {
    std::size_t At = 0;
    std::uint64_t Unchanged = 0;
  };
  // The next point's change from the point before.
  std::int64_t Delta(TReader& reader) const noexcept;
  void PushNumber(std::uint64_t number);
  std::int32_t StepAt(std::size_t index) const noexcept {
    return static_cast<std::int32_t>(firstStep_ + static_cast<std::int64_t>(index));
  }
  void AddToOutline(TPoint point);

  // Each point's change from the point before (the first from 0), zigzag
  // encoded, seven bits a byte, the high bit set on every byte but a
  // point's last. Three or more points in a row without change are written
  // as 0x80 0x00, an overlong zero that no single point is written as, then
  // their number, seven bits a byte likewise.
  std::vector<std::uint8_t> bytes_;
  // The points without change at the end: written one byte each while
  // fewer than three, else as a stretch whose number starts at
  // unchangedNumberAt_, the end of bytes_.
  std::uint64_t unchanged_ = 0;
  std::size_t unchangedNumberAt_ = 0;
  std::size_t count_ = 0;
  std::int32_t firstStep_ = 0;
  std::int32_t last_ = 0;
  std::int32_t lowest_ = 0;
  std::int32_t highest_ = 0;
  std::size_t maxBuckets_;
  std::vector<TBucket> buckets_;
  std::size_t bucketWidth_ = 1;
};

}  // namespace dla
