// Every point of a chart series, kept in a few bytes each.
//
// A run adds one point per step, a thousand a second, with no end; kept as
// QPointF (16 bytes) that is 50 MB an hour. The points are stored instead as
// a byte stream of differences to the point before: a point whose x is the
// last x + 1 and whose y differs by an integer takes one byte for a change
// of y within +-31, two within +-4095. Points that are not whole numbers
// take 17 bytes, so any real values are kept exactly.
#pragma once

#include <QList>
#include <QPointF>
#include <cstdint>
#include <vector>

class TCompactSeries {
 public:
  // Reads the points from the first, in order. Valid while the series is
  // not changed.
  class Reader {
   public:
    explicit Reader(const TCompactSeries& series) noexcept : series_(series) {}
    // The next point, or false after the last.
    bool Next(QPointF& point) noexcept;

   private:
    const TCompactSeries& series_;
    std::size_t at_ = 0;
    double x_ = 0.0;
    double y_ = 0.0;
  };

  // Adds (x, y) and returns its index: at the end when the series is empty
  // or x is not below the last x; otherwise directly after the last point
  // whose x is at most x, so points stay in ascending order of x and points
  // of equal x in the order they came. Adding at the end costs O(1);
  // inserting before the end rewrites the series, O(points).
  qsizetype Add(double x, double y);
  void Clear() noexcept;

  qsizetype Count() const noexcept { return count_; }
  bool IsEmpty() const noexcept { return count_ == 0; }
  // Of the last point; 0 when empty.
  double LastX() const noexcept { return lastX_; }
  // Bytes held for the points (not counting spare capacity).
  std::size_t Bytes() const noexcept { return bytes_.size(); }

  // Every point, in order (a copy: O(points) memory).
  QList<QPointF> Points() const;

 private:
  void Append(double x, double y);

  std::vector<std::uint8_t> bytes_;
  qsizetype count_ = 0;
  double lastX_ = 0.0;
  double lastY_ = 0.0;
};
