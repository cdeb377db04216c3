// What a line chart needs of a long series: for runs of consecutive points
// (buckets), the lowest and the highest point, in the order they came. A
// line through them covers, column by column, the same heights as a line
// through every point, as long as a pixel column spans at least one bucket;
// its point count stays bounded however long the series grows.
#pragma once

#include <QList>
#include <QPointF>
#include <vector>

class TSeriesOutline {
 public:
  // At most maxBuckets buckets (at least 2), so Points() has at most twice
  // as many points. When a point would make one more, neighbouring buckets
  // are merged pairwise and every bucket from then on spans twice as many
  // points. A series of at most maxBuckets points is kept whole.
  explicit TSeriesOutline(int maxBuckets = DefaultBuckets);

  // Enough for a plot area up to 512 device pixels wide to get two buckets
  // or more per pixel column.
  static constexpr int DefaultBuckets = 1024;

  // Adds the point after every point added before.
  void Add(QPointF point);
  void Clear() noexcept;

  // Points per bucket (a power of two; the last bucket may hold fewer).
  qsizetype BucketWidth() const noexcept { return width_; }
  // Each bucket's lowest and highest point (one if they are the same point,
  // the earliest of equals), in the order they were added.
  QList<QPointF> Points() const;

 private:
  struct Bucket {
    QPointF Low;
    QPointF High;
    qsizetype LowIndex;
    qsizetype HighIndex;
    qsizetype Count;
  };
  static Bucket Merge(const Bucket& a, const Bucket& b) noexcept;

  int maxBuckets_;
  std::vector<Bucket> buckets_;
  qsizetype width_ = 1;
  qsizetype added_ = 0;
};
