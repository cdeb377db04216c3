#include "TAggregates.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <stdexcept>
#include <string>

namespace dla {
namespace {

constexpr std::size_t At(std::int64_t i) { return static_cast<std::size_t>(i); }

constexpr std::int32_t TileSlotsShift = 6;

// The smallest k with 2^k >= n, n >= 1.
std::int32_t ShiftCovering(std::int32_t n) {
  return static_cast<std::int32_t>(std::bit_width(static_cast<std::uint32_t>(n - 1)));
}

// Steps are -1 to 1, so one correction wraps, also on a lattice one cell
// wide.
constexpr std::int32_t Wrap(std::int32_t at, std::int32_t size) {
  return at < 0 ? at + size : at >= size ? at - size : at;
}

}  // namespace

TAggregates::TAggregates(std::int32_t columns, std::int32_t rows) : columns_(columns), rows_(rows) {
  if (columns < 1 || rows < 1 ||
      std::int64_t{columns} * rows > std::numeric_limits<std::int32_t>::max()) {
    throw std::invalid_argument("TAggregates: the lattice is not columns x rows cells");
  }
  // Square tiles where the lattice allows, else as wide or as high as it
  // is, so that a narrow lattice does not leave most slots off it.
  tileShiftX_ = std::min(TileSlotsShift / 2, ShiftCovering(columns));
  tileShiftY_ = std::min(TileSlotsShift - tileShiftX_, ShiftCovering(rows));
  tileShiftX_ = std::min(TileSlotsShift - tileShiftY_, ShiftCovering(columns));
  tilesAcross_ = ((columns - 1) >> tileShiftX_) + 1;
  tiles_.assign(At(tilesAcross_) * At(((rows - 1) >> tileShiftY_) + 1), 0);
  slots_.assign(std::size_t{1} << TileSlotsShift, 0);

  // Sides s = 2, 4, ... while 4 s <= the smaller side, as MeasureAggregates
  // counts boxes.
  const std::int32_t smaller = std::min(columns, rows);
  while (4 * (std::int64_t{1} << (boxLevels_ + 1)) <= smaller) ++boxLevels_;
  if (boxLevels_ > 0) {
    blocksAcross_ = ((columns - 1) >> 4) + 1;
    boxBlocks_.assign(At(blocksAcross_) * At(((rows - 1) >> 4) + 1), BoxBlock{});
  }
  std::size_t words = 0;
  for (std::int32_t level = static_cast<std::int32_t>(BlockLevels) + 1; level <= boxLevels_;
       ++level) {
    const std::int64_t side = std::int64_t{1} << level;
    const std::int64_t across = (columns + side - 1) / side, down = (rows + side - 1) / side;
    largeBoxLevels_.push_back({words, across});
    words += At((across * down + 63) / 64);
  }
  largeBoxBits_.assign(words, 0);
  loggedCounts_.assign(At(boxLevels_) + 1, 0);
  logBoxCounts_.assign(At(boxLevels_) + 1, 0.0);
}

std::size_t TAggregates::TileOf(std::int32_t column, std::int32_t row) const noexcept {
  return At(row >> tileShiftY_) * At(tilesAcross_) + At(column >> tileShiftX_);
}

std::size_t TAggregates::SlotIn(std::uint32_t tile, std::int32_t column,
                                std::int32_t row) const noexcept {
  const std::int32_t maskX = (1 << tileShiftX_) - 1, maskY = (1 << tileShiftY_) - 1;
  return (At(tile) << TileSlotsShift) | At(((row & maskY) << tileShiftX_) | (column & maskX));
}

std::uint32_t& TAggregates::Slot(std::int32_t column, std::int32_t row) {
  std::uint32_t& tile = tiles_[TileOf(column, row)];
  if (tile == 0) {
    tile = static_cast<std::uint32_t>(slots_.size() >> TileSlotsShift);
    slots_.resize(slots_.size() + (std::size_t{1} << TileSlotsShift), 0);
  }
  return slots_[SlotIn(tile, column, row)];
}

TAggregates::Found TAggregates::Find(std::int32_t i) noexcept { return FindUnwrapped(nodes_, i); }

std::int32_t TAggregates::NewSums() {
  if (unusedSums_.empty()) {
    sums_.emplace_back();
    return static_cast<std::int32_t>(sums_.size()) - 1;
  }
  const std::int32_t sums = unusedSums_.back();
  unusedSums_.pop_back();
  sums_[At(sums)] = {};
  return sums;
}

void TAggregates::SetWraps(std::int32_t root) {
  if (Wraps(root)) return;
  largestChanged_ = largestChanged_ || root == largest_;
  // No gyration from here on.
  if (const std::int32_t sums = SumsOf(root); sums >= 0) unusedSums_.push_back(sums);
  nodes_[At(root)].Parent = RootCode(0, true);
}

void TAggregates::Rank(std::int32_t root) noexcept {
  const Node& node = nodes_[At(root)];
  if (root == largest_ || node.X > largestSize_ ||
      (node.X == largestSize_ && node.Y < largestFirst_)) {
    largestChanged_ = true;
    largest_ = root;
    largestSize_ = node.X;
    largestFirst_ = node.Y;
  }
}

void TAggregates::FitSizes(std::int32_t size) {
  if (At(size) < countBySize_.size()) return;
  countBySize_.resize(std::max(At(size) + 1, 2 * countBySize_.size()), 0);
  sizeBits_.resize((countBySize_.size() + 63) / 64, 0);
  sizeWords_.resize((sizeBits_.size() + 63) / 64, 0);
}

void TAggregates::FlipSizes(std::size_t word, std::uint64_t bits) noexcept {
  const bool wasEmpty = sizeBits_[word] == 0;
  sizeBits_[word] ^= bits;
  if (wasEmpty != (sizeBits_[word] == 0)) sizeWords_[word / 64] ^= std::uint64_t{1} << (word % 64);
}

void TAggregates::CountSize(std::int32_t size, std::int32_t change) {
  FitSizes(size);
  std::int32_t& count = countBySize_[At(size)];
  const bool was = count != 0;
  count += change;
  if (was != (count != 0)) FlipSizes(At(size) / 64, std::uint64_t{1} << (At(size) % 64));
}

void TAggregates::GrowSize(std::int32_t size) {
  FitSizes(size + 1);
  std::int32_t* const count = countBySize_.data() + size;
  const bool gone = --count[0] == 0, come = ++count[1] == 1;
  // Mostly the one aggregate of its size: both bits flip, in one word.
  const std::size_t word = At(size) / 64, bit = At(size) % 64;
  if (bit < 63) {
    FlipSizes(word, (std::uint64_t{gone} << bit) | (std::uint64_t{come} << (bit + 1)));
  } else {
    FlipSizes(word, std::uint64_t{gone} << 63);
    FlipSizes(word + 1, std::uint64_t{come});
  }
}

void TAggregates::Join(std::int32_t a, std::int32_t b, std::int32_t stepX, std::int32_t stepY) {
  const Found rootA = Find(a), rootB = Find(b);
  // Where b's root lies relative to a's root, reached through a. Offsets
  // follow paths through the aggregate, so they stay below its size.
  const std::int32_t offsetX = rootA.X + stepX - rootB.X;
  const std::int32_t offsetY = rootA.Y + stepY - rootB.Y;
  if (rootA.Root == rootB.Root) {
    if (offsetX != 0 || offsetY != 0) SetWraps(rootA.Root);
    return;
  }
  std::int32_t keep = rootA.Root, attach = rootB.Root, sign = 1;
  if (nodes_[At(keep)].X < nodes_[At(attach)].X) {
    std::swap(keep, attach);
    sign = -1;
  }
  // attach's root lies at (x, y) from keep's: its cells' sums move by as
  // much.
  const std::int64_t x = sign * offsetX, y = sign * offsetY;
  const std::int32_t keepSize = nodes_[At(keep)].X, attachSize = nodes_[At(attach)].X;
  const bool wraps = Wraps(keep) || Wraps(attach);
  std::int32_t sums = SumsOf(keep);
  const std::int32_t gone = SumsOf(attach);
  if (wraps) {
    // No gyration from here on.
    if (sums >= 0) unusedSums_.push_back(sums);
    sums = -1;
  } else {
    if (sums < 0) sums = NewSums();
    Sums& to = sums_[At(sums)];
    const Sums from = gone >= 0 ? sums_[At(gone)] : Sums{};
    to.Squares += from.Squares + 2 * (Int128{x} * from.X + Int128{y} * from.Y) +
                  Int128{attachSize} * (x * x + y * y);
    to.X += from.X + attachSize * x;
    to.Y += from.Y + attachSize * y;
  }
  if (gone >= 0) unusedSums_.push_back(gone);
  CountSize(keepSize, -1);
  CountSize(attachSize, -1);
  CountSize(keepSize + attachSize, 1);
  --aggregateCount_;
  Node& kept = nodes_[At(keep)];
  kept = {RootCode(sums + 1, wraps), keepSize + attachSize, std::min(kept.Y, nodes_[At(attach)].Y)};
  nodes_[At(attach)] = {keep, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
  // The merged aggregate outranks both parts, the largest perhaps among
  // them.
  if (largest_ == attach) largest_ = keep;
  Rank(keep);
}

void TAggregates::AddCell(std::uint32_t cell) {
  if (cell >= static_cast<std::uint32_t>(columns_) * static_cast<std::uint32_t>(rows_)) {
    throw std::invalid_argument("TAggregates: cell " + std::to_string(cell) +
                                " is off the lattice");
  }
  const auto column = static_cast<std::int32_t>(cell % static_cast<std::uint32_t>(columns_));
  const auto row = static_cast<std::int32_t>(cell / static_cast<std::uint32_t>(columns_));
  std::uint32_t& slot = Slot(column, row);
  if (slot != 0) {
    throw std::invalid_argument("TAggregates: cell " + std::to_string(cell) + " was added before");
  }
  stale_ = true;
  const auto node = static_cast<std::int32_t>(nodes_.size());
  // Every neighbour already aggregated, by the step from the cell to it:
  // each touching pair is joined once its later cell comes, by every step
  // between the two. Where the lattice is narrower than 3 the cell may
  // touch itself, which is a path round the torus.
  struct Touching {
    std::uint32_t Node;
    std::int32_t StepX, StepY;
  };
  Touching touching[9];
  std::size_t touchings = 0;
  // On a lattice one cell wide, every cell is its own neighbour across the
  // edge.
  const bool touchesItself = columns_ == 1 || rows_ == 1;
  const std::int32_t inX = column & ((1 << tileShiftX_) - 1), inY = row & ((1 << tileShiftY_) - 1);
  if (inX >= 1 && inX + 1 < (1 << tileShiftX_) && column + 1 < columns_ && inY >= 1 &&
      inY + 1 < (1 << tileShiftY_) && row + 1 < rows_) {
    // Most cells lie inside their tile, away from the lattice's edges: the
    // neighbours are the slots round the cell's (whose own is still 0).
    const std::uint32_t* const here = &slot;
    const std::ptrdiff_t across = std::ptrdiff_t{1} << tileShiftX_;
    // Without a branch per neighbour: which are there is anyone's guess.
    for (std::int32_t stepY = -1; stepY <= 1; ++stepY) {
      for (std::int32_t stepX = -1; stepX <= 1; ++stepX) {
        const std::uint32_t neighbour = here[stepY * across + stepX];
        touching[touchings] = {neighbour - 1, stepX, stepY};
        touchings += neighbour != 0;
      }
    }
  } else {
    // The neighbours may lie in four tiles (or be the cell itself, whose
    // slot is still 0).
    std::size_t tileColumns[3], slotColumns[3], tileRows[3], slotRows[3];
    for (std::int32_t step = -1; step <= 1; ++step) {
      const std::int32_t c = Wrap(column + step, columns_), r = Wrap(row + step, rows_);
      tileColumns[step + 1] = At(c >> tileShiftX_);
      slotColumns[step + 1] = At(c & ((1 << tileShiftX_) - 1));
      tileRows[step + 1] = At(r >> tileShiftY_) * At(tilesAcross_);
      slotRows[step + 1] = At((r & ((1 << tileShiftY_) - 1)) << tileShiftX_);
    }
    for (std::size_t j = 0; j < 3; ++j) {
      for (std::size_t i = 0; i < 3; ++i) {
        const std::uint32_t neighbour =
            slots_[(At(tiles_[tileRows[j] + tileColumns[i]]) << TileSlotsShift) | slotRows[j] |
                   slotColumns[i]];
        touching[touchings] = {neighbour - 1, static_cast<std::int32_t>(i) - 1,
                               static_cast<std::int32_t>(j) - 1};
        touchings += neighbour != 0;
      }
    }
  }
  slot = static_cast<std::uint32_t>(node) + 1;

  const auto first = static_cast<std::int32_t>(cell);
  if (touchings == 0) {
    // An aggregate of its own.
    nodes_.push_back({RootCode(0, false), 1, first});
    ++aggregateCount_;
    CountSize(1, 1);
    Rank(node);
  } else {
    // Into the first neighbour's aggregate, as a child of its root.
    const Found found = Find(static_cast<std::int32_t>(touching[0].Node));
    const std::int32_t x = found.X - touching[0].StepX, y = found.Y - touching[0].StepY;
    nodes_.push_back({found.Root, x, y});
    Node& root = nodes_[At(found.Root)];
    GrowSize(root.X);
    if (!Wraps(found.Root)) {
      std::int32_t sums = SumsOf(found.Root);
      if (sums < 0) {
        sums = NewSums();
        root.Parent = RootCode(sums + 1, false);
      }
      Sums& into = sums_[At(sums)];
      into.Squares += std::int64_t{x} * x + std::int64_t{y} * y;
      into.X += x;
      into.Y += y;
    }
    ++root.X;
    root.Y = std::min(root.Y, first);
    Rank(found.Root);
  }
  for (std::size_t k = 1; k < touchings; ++k) {
    Join(node, static_cast<std::int32_t>(touching[k].Node), touching[k].StepX, touching[k].StepY);
  }
  if (touchesItself) SetWraps(Find(node).Root);

  // A box already occupied lies in occupied boxes at every larger side.
  if (boxLevels_ == 0) return;
  BoxBlock& block = boxBlocks_[At(row >> 4) * At(blocksAcross_) + At(column >> 4)];
  const std::uint64_t side2 = std::uint64_t{1} << ((row >> 1 & 7) * 8 + (column >> 1 & 7));
  if ((block.Side2 & side2) != 0) return;
  block.Side2 |= side2;
  ++boxCounts_[0];
  if (boxLevels_ == 1) return;
  const auto side4 = static_cast<std::uint16_t>(1u << ((row >> 2 & 3) * 4 + (column >> 2 & 3)));
  if ((block.Side4 & side4) != 0) return;
  block.Side4 |= side4;
  ++boxCounts_[1];
  if (boxLevels_ == 2) return;
  const auto side8 = static_cast<std::uint8_t>(1u << ((row >> 3 & 1) * 2 + (column >> 3 & 1)));
  if ((block.Larger & side8) != 0) return;
  block.Larger |= side8;
  ++boxCounts_[2];
  if (boxLevels_ == 3) return;
  constexpr std::uint8_t Side16 = 16;
  if ((block.Larger & Side16) != 0) return;
  block.Larger |= Side16;
  ++boxCounts_[3];
  for (std::size_t level = BlockLevels; level < At(boxLevels_); ++level) {
    const BoxLevel& boxes = largeBoxLevels_[level - BlockLevels];
    const std::int64_t box = boxes.Across * (row >> (level + 1)) + (column >> (level + 1));
    std::uint64_t& word = largeBoxBits_[boxes.First + At(box / 64)];
    const std::uint64_t bit = std::uint64_t{1} << (box % 64);
    if ((word & bit) != 0) return;
    word |= bit;
    ++boxCounts_[level];
  }
}

void TAggregates::Add(std::span<const std::uint32_t> cells) {
  for (const std::uint32_t cell : cells) AddCell(cell);
}

void TAggregates::Clear() {
  stale_ = true;
  largestChanged_ = true;
  std::fill(tiles_.begin(), tiles_.end(), 0);
  slots_.resize(std::size_t{1} << TileSlotsShift);
  nodes_.clear();
  sums_.clear();
  unusedSums_.clear();
  aggregateCount_ = 0;
  largest_ = -1;
  largestSize_ = 0;
  largestFirst_ = 0;
  countBySize_.clear();
  sizeBits_.clear();
  sizeWords_.clear();
  measures_ = {};
  std::fill(boxBlocks_.begin(), boxBlocks_.end(), BoxBlock{});
  std::fill(largeBoxBits_.begin(), largeBoxBits_.end(), 0);
  boxCounts_.fill(0);
}

void TAggregates::Rebuild(std::span<const std::uint8_t> aggregated) {
  if (aggregated.size() != static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {
    throw std::invalid_argument("TAggregates: the lattice is not " + std::to_string(columns_) +
                                " x " + std::to_string(rows_) + " cells");
  }
  Clear();
  for (std::size_t i = 0; i < aggregated.size(); ++i) {
    if (aggregated[i] != 0) AddCell(static_cast<std::uint32_t>(i));
  }
}

const AggregateMeasures& TAggregates::Measures() const {
  if (!stale_) return measures_;
  stale_ = false;
  AggregateMeasures& measures = measures_;
  measures.Sizes.clear();
  for (std::size_t high = 0; high < sizeWords_.size(); ++high) {
    for (std::uint64_t words = sizeWords_[high]; words != 0; words &= words - 1) {
      const std::size_t word = high * 64 + At(std::countr_zero(words));
      for (std::uint64_t bits = sizeBits_[word]; bits != 0; bits &= bits - 1) {
        const auto size = static_cast<std::int32_t>(word * 64 + At(std::countr_zero(bits)));
        measures.Sizes.push_back({size, countBySize_[At(size)]});
      }
    }
  }
  if (largest_ < 0) return measures;
  measures.Aggregates = aggregateCount_;
  measures.Largest = largestSize_;
  measures.MeanSize = static_cast<double>(Cells()) / static_cast<double>(aggregateCount_);
  if (largestChanged_) {
    largestChanged_ = false;
    measures.LargestWraps = Wraps(largest_);
    measures.Gyration.reset();
    if (!measures.LargestWraps) {
      const std::int32_t sums = SumsOf(largest_);
      const Sums largest = sums >= 0 ? sums_[At(sums)] : Sums{};
      measures.Gyration = RadiusOfGyration(largestSize_, largest.X, largest.Y, largest.Squares);
    }
  }
  // N(1), N(2), ...; most stay as they were from one reading to the next.
  if (boxLevels_ >= 2) {
    for (std::size_t j = 0; j < loggedCounts_.size(); ++j) {
      const std::int64_t count = j == 0 ? Cells() : boxCounts_[j - 1];
      if (loggedCounts_[j] != count) {
        loggedCounts_[j] = count;
        logBoxCounts_[j] = LogBoxCount(count);
      }
    }
    FitLogBoxCounts(logBoxCounts_, measures);
  }
  return measures;
}

std::size_t TAggregates::Bytes() const noexcept {
  return sizeof *this + (tiles_.capacity() + slots_.capacity()) * sizeof(std::uint32_t) +
         nodes_.capacity() * sizeof(Node) + sums_.capacity() * sizeof(Sums) +
         unusedSums_.capacity() * sizeof(std::int32_t) +
         countBySize_.capacity() * sizeof(std::int32_t) +
         (sizeBits_.capacity() + sizeWords_.capacity()) * sizeof(std::uint64_t) +
         measures_.Sizes.capacity() * sizeof(AggregateMeasures::SizeCount) +
         boxBlocks_.capacity() * sizeof(BoxBlock) + largeBoxLevels_.capacity() * sizeof(BoxLevel) +
         largeBoxBits_.capacity() * sizeof(std::uint64_t) +
         (loggedCounts_.capacity() + logBoxCounts_.capacity()) * sizeof(double);
}

}  // namespace dla
