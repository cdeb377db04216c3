#include "CompactSeries.h"

#include <cmath>
#include <cstring>

namespace {

// Each point starts with one varint: (zigzag(dy) << 2) | kind.
enum Kind : std::uint64_t {
  NextX = 0,     // x is the last x + 1, y the last y + dy
  IntegerX = 1,  // a zigzag varint dx follows; y the last y + dy
  Raw = 2,       // dy is 0 in the head; x and y follow as 8 bytes each
};

// Whole numbers that a double and an int64 both hold exactly.
constexpr double WholeLimit = 9007199254740992.0;  // 2^53

bool Whole(double v) noexcept { return std::abs(v) < WholeLimit && v == std::trunc(v); }

std::uint64_t ZigZag(std::int64_t v) noexcept {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
std::int64_t UnZigZag(std::uint64_t v) noexcept {
  return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

void PutVarint(std::vector<std::uint8_t>& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}
std::uint64_t GetVarint(const std::uint8_t* bytes, std::size_t& at) noexcept {
  std::uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t b = bytes[at++];
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
}

void PutDouble(std::vector<std::uint8_t>& out, double v) {
  std::uint8_t raw[8];
  std::memcpy(raw, &v, 8);
  out.insert(out.end(), raw, raw + 8);
}
double GetDouble(const std::uint8_t* bytes, std::size_t& at) noexcept {
  double v;
  std::memcpy(&v, bytes + at, 8);
  at += 8;
  return v;
}

}  // namespace

bool TCompactSeries::Reader::Next(QPointF& point) noexcept {
  const std::vector<std::uint8_t>& bytes = series_.bytes_;
  if (at_ >= bytes.size()) return false;
  const std::uint64_t head = GetVarint(bytes.data(), at_);
  switch (head & 3) {
    case NextX:
      x_ += 1.0;
      y_ += static_cast<double>(UnZigZag(head >> 2));
      break;
    case IntegerX:
      x_ += static_cast<double>(UnZigZag(GetVarint(bytes.data(), at_)));
      y_ += static_cast<double>(UnZigZag(head >> 2));
      break;
    default:
      x_ = GetDouble(bytes.data(), at_);
      y_ = GetDouble(bytes.data(), at_);
      break;
  }
  point = QPointF(x_, y_);
  return true;
}

qsizetype TCompactSeries::Add(double x, double y) {
  if (count_ == 0 || !(x < lastX_)) {
    Append(x, y);
    return count_ - 1;
  }
  QList<QPointF> points = Points();
  qsizetype at = points.size();
  while (at > 0 && points[at - 1].x() > x) --at;
  points.insert(at, QPointF(x, y));
  Clear();
  for (const QPointF& p : points) Append(p.x(), p.y());
  return at;
}

void TCompactSeries::Clear() noexcept {
  bytes_.clear();
  count_ = 0;
  lastX_ = lastY_ = 0.0;
}

QList<QPointF> TCompactSeries::Points() const {
  QList<QPointF> points;
  points.reserve(count_);
  Reader reader(*this);
  for (QPointF p; reader.Next(p);) points.append(p);
  return points;
}

void TCompactSeries::Append(double x, double y) {
  // The reader starts from (0, 0), so the first point is a difference too.
  // Differences of whole numbers below 2^53 are exact in both types, and
  // below 2^53 a zigzagged dy shifted by two still fits in 64 bits.
  if (Whole(x) && Whole(y) && Whole(lastX_) && Whole(lastY_) && Whole(x - lastX_) &&
      Whole(y - lastY_)) {
    const auto dx = static_cast<std::int64_t>(x - lastX_);
    const auto dy = static_cast<std::int64_t>(y - lastY_);
    PutVarint(bytes_, (ZigZag(dy) << 2) | (dx == 1 ? NextX : IntegerX));
    if (dx != 1) PutVarint(bytes_, ZigZag(dx));
  } else {
    PutVarint(bytes_, Raw);
    PutDouble(bytes_, x);
    PutDouble(bytes_, y);
  }
  ++count_;
  lastX_ = x;
  lastY_ = y;
}
