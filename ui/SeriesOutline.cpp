#include "SeriesOutline.h"

#include <algorithm>

TSeriesOutline::TSeriesOutline(int maxBuckets) : maxBuckets_(std::max(2, maxBuckets)) {
  buckets_.reserve(static_cast<std::size_t>(maxBuckets_) + 1);
}

void TSeriesOutline::Add(QPointF point) {
  const qsizetype index = added_++;
  if (buckets_.empty() || buckets_.back().Count == width_) {
    if (static_cast<int>(buckets_.size()) == maxBuckets_) {
      // Pairwise: every bucket but possibly the last is full, so the merged
      // ones are full at twice the width.
      std::size_t kept = 0;
      for (std::size_t i = 0; i < buckets_.size(); i += 2)
        buckets_[kept++] =
            i + 1 < buckets_.size() ? Merge(buckets_[i], buckets_[i + 1]) : buckets_[i];
      buckets_.resize(kept);
      width_ *= 2;
    }
    if (buckets_.empty() || buckets_.back().Count == width_) {
      buckets_.push_back({point, point, index, index, 1});
      return;
    }
  }
  Bucket& last = buckets_.back();
  if (point.y() < last.Low.y()) {
    last.Low = point;
    last.LowIndex = index;
  }
  if (point.y() > last.High.y()) {
    last.High = point;
    last.HighIndex = index;
  }
  ++last.Count;
}

void TSeriesOutline::Clear() noexcept {
  buckets_.clear();
  width_ = 1;
  added_ = 0;
}

QList<QPointF> TSeriesOutline::Points() const {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(buckets_.size()) * 2);
  for (const Bucket& b : buckets_) {
    if (b.LowIndex == b.HighIndex) {
      points.append(b.Low);
    } else if (b.LowIndex < b.HighIndex) {
      points.append(b.Low);
      points.append(b.High);
    } else {
      points.append(b.High);
      points.append(b.Low);
    }
  }
  return points;
}

TSeriesOutline::Bucket TSeriesOutline::Merge(const Bucket& a, const Bucket& b) noexcept {
  Bucket m = a;
  if (b.Low.y() < a.Low.y()) {
    m.Low = b.Low;
    m.LowIndex = b.LowIndex;
  }
  if (b.High.y() > a.High.y()) {
    m.High = b.High;
    m.HighIndex = b.HighIndex;
  }
  m.Count = a.Count + b.Count;
  return m;
}
