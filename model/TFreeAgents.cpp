#include "TFreeAgents.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include "Random.h"
#include "TLanes.h"
#include "TLattice.h"
#include "TStepThreads.h"

namespace dla {

namespace {

// A direction as w in [0, 12 * 2^58), its sector w >> 58. The sum of two
// stays below 2^63, so that signed 64-bit comparisons order them.
constexpr int TwelfthBits = TFreeAgents::TwelfthBits;
constexpr std::uint64_t FullTurn = std::uint64_t{12} << TwelfthBits;

// w of the heading h: 12 * HeadingTurn(h)'s top half, in units of 2^-58.
constexpr std::uint64_t TurnOf(std::int32_t heading) noexcept {
  return static_cast<std::uint64_t>((static_cast<UInt128>(HeadingTurn(heading) >> 64) * 12u) >>
                                    (64 - TwelfthBits));
}

// What a turn by 45 * (slot - 2) radians adds to w, modulo FullTurn:
// 12 * HeadingTurn(45 * (slot - 2)) / 2^70, rounded.
constexpr std::uint64_t TurnStepOf(std::int32_t slot) noexcept {
  return static_cast<std::uint64_t>(((HeadingTurn(45 * (slot - 2)) >> 4) * 12u + (UInt128{1} << 65)) >> 66);
}
constexpr std::uint64_t TurnSteps[8] = {TurnStepOf(0), TurnStepOf(1), TurnStepOf(2), TurnStepOf(3),
                                        TurnStepOf(4), TurnStepOf(5), 0, 0};
static_assert(TurnStepOf(2) == 0 && TurnStepOf(5) < FullTurn && 2 * FullTurn < (std::uint64_t{1} << 63));

// Moves after which w is set again from the heading (see the header).
constexpr std::uint32_t MovesBetweenExactTurns = 1u << 20;

// The twelfth of the turn w points into.
constexpr int SectorOf(std::uint64_t w) noexcept { return static_cast<int>(w >> TwelfthBits); }

// The draw's seed after m draws is Multiplier(m) * seed + Increment(m).
constexpr std::uint32_t Multiplier(int m) noexcept {
  std::uint32_t a = 1;
  for (int i = 0; i < m; ++i) a *= SeedMultiplier;
  return a;
}
constexpr std::uint32_t Increment(int m) noexcept {
  std::uint32_t c = 0;
  for (int i = 0; i < m; ++i) c = NextSeed(c);
  return c;
}
static_assert(Multiplier(2) * 7u + Increment(2) == NextSeed(NextSeed(7u)));

// A position's move along one axis, as 2 * column + offset: by `step` cells
// (-1, 0 or 1) with the wrap of the literal step, which puts an agent that
// leaves the lattice at offset 0 (X = 1 or X = 3 * columns - 2).
constexpr std::int32_t Moved(std::int32_t position, std::int32_t step, std::int32_t cells) noexcept {
  position += 2 * step;
  if (position < 0) return 2 * (cells - 1);
  if (position >= 2 * cells) return 0;
  return position;
}

}  // namespace

void TFreeAgents::Clear(std::size_t agents) {
  const auto clear = [agents](auto& values) {
    values.clear();
    values.reserve(agents);
  };
  clear(index_);
  clear(radius_);
  clear(heading_);
  clear(turn_);
  clear(column_);
  clear(row_);
  clear(cell_);
  clear(addedSteps_);
  movesSinceExact_ = 0;
}

void TFreeAgents::Add(std::uint32_t index, const TAgent& agent, std::uint32_t cell) {
  index_.push_back(index);
  radius_.push_back(agent.Radius);
  heading_.push_back(agent.Heading);
  turn_.push_back(TurnOf(agent.Heading));
  column_.push_back(2 * ((agent.X - 1) / 3) + (agent.X - 1) % 3);
  row_.push_back(2 * ((agent.Y - 1) / 3) + (agent.Y - 1) % 3);
  cell_.push_back(cell);
  addedSteps_.push_back({agent.DX, agent.DY});
}

#ifdef DLA_LANES
// For each set of `Values` values that fill eight 32-bit lanes (bit i for
// value i), the lanes of those values in increasing order.
template <unsigned Values>
struct TLaneLists {
  std::uint32_t lanes[1u << Values][8];
};
template <unsigned Values>
constexpr TLaneLists<Values> MakeLaneLists() noexcept {
  constexpr unsigned width = 8 / Values;
  TLaneLists<Values> lists{};
  for (unsigned set = 0; set < (1u << Values); ++set) {
    unsigned n = 0;
    for (unsigned value = 0; value < Values; ++value) {
      if (((set >> value) & 1u) == 0) continue;
      for (unsigned k = 0; k < width; ++k) lists.lanes[set][n++] = width * value + k;
    }
  }
  return lists;
}
// Eight 32-bit values; four 64-bit ones.
constexpr TLaneLists<8> LaneLists = MakeLaneLists<8>();
constexpr TLaneLists<4> PairLists = MakeLaneLists<4>();
#endif

namespace {

// Runs of values from this length on are moved whole.
constexpr std::size_t LongRun = 64;

// Shifts down the runs of `values` between the slots listed, in increasing
// order: a long run at once, a short one value by value, which saves the
// calls.
template <typename T>
void Compact(std::vector<T>& values, const std::vector<std::uint32_t>& slots) {
  std::size_t kept = slots.front();
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const std::size_t from = slots[i] + 1, to = i + 1 < slots.size() ? slots[i + 1] : values.size();
    if (to - from >= LongRun) {
      std::copy(values.begin() + static_cast<std::ptrdiff_t>(from), values.begin() + static_cast<std::ptrdiff_t>(to),
                values.begin() + static_cast<std::ptrdiff_t>(kept));
      kept += to - from;
      continue;
    }
    for (std::size_t j = from; j < to; ++j, ++kept) values[kept] = values[j];
  }
  values.resize(kept);
}

#ifdef DLA_LANES
// Compact for 32- and 64-bit values, eight at a time from `first` (the
// first slot listed): each group's kept values closed up by permutations and
// stored over what has been read, as the crowded lists are made; the last
// few one by one. keep[g]: the lanes of group g that stay (bit i: value
// first + 8 g + i). Where hundreds of agents stop in a step, the runs
// between them are a few values long, and closing them up value by value
// took the largest share of the step.
template <typename T>
DLA_LANES_TARGET void CompactEights(std::vector<T>& values, std::size_t first, const std::vector<std::uint8_t>& keep) {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8);
  using L = TLanes;
  T* const data = values.data();
  const std::size_t groups = (values.size() - first) / 8;
  std::size_t kept = first;
  // A store ends at most where the next values to read start, since no
  // more has been kept than read.
  for (std::size_t g = 0; g < groups; ++g) {
    const unsigned lanes = keep[g];
    if constexpr (sizeof(T) == 4) {
      L::Permute(L::Load(data + first + 8 * g), L::Load(LaneLists.lanes[lanes])).Store(data + kept);
      kept += static_cast<std::size_t>(__builtin_popcount(lanes));
    } else {
      for (unsigned half = 0; half < 2; ++half) {
        const unsigned four = (lanes >> (4 * half)) & 15u;
        L::Permute(L::Load(data + first + 8 * g + 4 * half), L::Load(PairLists.lanes[four])).Store(data + kept);
        kept += static_cast<std::size_t>(__builtin_popcount(four));
      }
    }
  }
  for (std::size_t j = first + 8 * groups; j < values.size(); ++j) {
    if ((keep[(j - first) / 8] >> ((j - first) % 8)) & 1u) data[kept++] = data[j];
  }
  values.resize(kept);
}
#endif

}  // namespace

void TFreeAgents::Remove(const std::vector<std::uint32_t>& slots, TStepThreads* threads) {
  if (slots.empty()) return;
  constexpr int Arrays = 7;
#ifdef DLA_LANES
  // Where the runs between the slots are long, moving them whole is faster.
  const bool lanes = HasLanes() && slots.size() * LongRun > Count() - slots.front();
  if (lanes) {
    const std::size_t first = slots.front();
    keepLanes_.assign((Count() - first + 7) / 8, 0xFF);
    for (const std::uint32_t slot : slots) {
      keepLanes_[(slot - first) / 8] &= static_cast<std::uint8_t>(~(1u << ((slot - first) % 8)));
    }
  }
  const auto compact = [&](auto& values) {
    return lanes ? CompactEights(values, slots.front(), keepLanes_) : Compact(values, slots);
  };
#else
  const auto compact = [&](auto& values) { return Compact(values, slots); };
#endif
  const auto compactArray = [&](int array) {
    switch (array) {
      case 0: return compact(index_);
      case 1: return compact(radius_);
      case 2: return compact(heading_);
      case 3: return compact(turn_);
      case 4: return compact(column_);
      case 5: return compact(row_);
      default: return compact(cell_);
    }
  };
#ifdef DLA_SHARED_STEP
  if (threads != nullptr) {
    threads->Run([&](int t) {
      for (int array = t; array < Arrays; array += threads->Count()) compactArray(array);
    });
    return;
  }
#else
  (void)threads;
#endif
  for (int array = 0; array < Arrays; ++array) compactArray(array);
}

std::size_t TFreeAgents::ListCrowded(const std::int32_t* states, std::uint16_t threshold,
                                     std::vector<std::uint32_t>& slots, TStepThreads* threads) const {
  // Grown only: a group of eight writes all eight before it keeps some.
  if (slots.size() < Count() + 8) slots.resize(Count() + 8);
#ifndef DLA_SHARED_STEP
  (void)threads;
  return ListCrowdedRange(states, threshold, 0, Count(), slots.data());
#else
  if (threads == nullptr) return ListCrowdedRange(states, threshold, 0, Count(), slots.data());
  // Each share lists into its own stretch of slots; the lists are then
  // closed up in order.
  const int parts = threads->Count();
  std::size_t found[256];
  threads->Run([&](int t) {
    const auto share = TStepThreads::Share(Count(), parts, t, 8);
    found[t] = ListCrowdedRange(states, threshold, share.First, share.Last, slots.data() + share.First);
  });
  std::size_t listed = found[0];
  for (int t = 1; t < parts; ++t) {
    const std::uint32_t* const from = slots.data() + TStepThreads::Share(Count(), parts, t, 8).First;
    std::copy(from, from + found[t], slots.data() + listed);
    listed += found[t];
  }
  return listed;
#endif
}

std::size_t TFreeAgents::ListCrowdedRange(const std::int32_t* states, std::uint16_t threshold, std::size_t first,
                                          std::size_t last, std::uint32_t* listed) const {
  std::size_t found = 0, j = first;
#ifdef DLA_LANES
  // Lattices of fewer than three columns or rows are all edge.
  if (columns_ >= 3 && rows_ >= 3 && HasLanes()) {
    j = last - (last - first) % 8;
    found = ListCrowdedEights(states, threshold, first, j, listed);
  }
#else
  (void)states;
  (void)threshold;
#endif
  for (; j < last; ++j) listed[found++] = static_cast<std::uint32_t>(j);
  return found;
}

#ifdef DLA_LANES
// Eight blocks at a time, each as three rows of four counts read at once
// (the fourth masked off) round the cell to the left of the agent's, the
// blocks of agents i and i + 4 in the two halves of one set of lanes.
// Blocks that wrap round the torus (an agent on the lattice's edge) are
// listed whatever their sums. Counts are capped at 2^16, above any
// threshold, so that the sums fit; the first two rows are summed before the
// cap, which they cannot overflow as unsigned counts.
DLA_LANES_TARGET std::size_t TFreeAgents::ListCrowdedEights(const std::int32_t* states, std::uint16_t threshold,
                                                           std::size_t first, std::size_t last,
                                                           std::uint32_t* listed) const {
  using L = TLanes;
  const L one = L::Splat(1), zero = L::Splat(0);
  const L lastColumn = L::Splat(columns_ - 1), lastRow = L::Splat(rows_ - 1);
  // An edge lane reads the block of column 0, row 1, inside the lattice.
  const L inside = L::Splat(columns_);
  const L bound = L::Splat(threshold);
  const L cap = L::Splat(1 << 16);
  const L three = L::Set(-1, -1, -1, 0, -1, -1, -1, 0);
  const L lane = L::Set(0, 1, 2, 3, 4, 5, 6, 7);
  const L marked = L::Splat(static_cast<std::int32_t>(SumOverThreshold));
  const std::int32_t* const above = states - columns_;
  const std::int32_t* const below = states + columns_;
  alignas(32) std::int32_t firsts[8];
  std::size_t found = 0;
  for (std::size_t j = first; j < last; j += 8) {
    const L cell = L::Load(cell_.data() + j);
    const L column = L::Load(column_.data() + j).ShiftedRight<1>();
    const L row = L::Load(row_.data() + j).ShiftedRight<1>();
    const L edge = (L::Equal(column, zero) | L::Equal(column, lastColumn)) |
                   (L::Equal(row, zero) | L::Equal(row, lastRow));
    L::Select(edge, inside, cell - one).Store(firsts);
#ifdef DLA_LANES_AVX2
    // Read back from memory: the load ports are idle, while extracting the
    // lanes would queue on the shuffle port.
    asm volatile("" : : "m"(firsts) : "memory");
#endif
    L rows[4];
    for (int i = 0; i < 4; ++i) {
      const std::int32_t low = firsts[i], high = firsts[i + 4];
      const L up = L::LoadHalves(above + low, above + high);
      const L level = L::LoadHalves(states + low, states + high);
      const L down = L::LoadHalves(below + low, below + high);
      rows[i] = (L::MinUnsigned(up + level, cap) + L::MinUnsigned(down, cap)) & three;
    }
    const L sums = L::HalfSums(rows[0], rows[1], rows[2], rows[3]);
    const L over = L::Greater(sums, bound);
    const unsigned crowded = (over | edge).Signs();
    // Without a branch, which would mostly guess wrong where a group has a
    // crowded block: all eight written, as many kept as are crowded, those
    // whose sums are known to exceed the threshold marked.
    const L entries = (lane + L::Splat(static_cast<std::int32_t>(j))) | (L::Clear(edge, over) & marked);
    L::Permute(entries, L::Load(LaneLists.lanes[crowded])).Store(listed + found);
    found += static_cast<std::size_t>(__builtin_popcount(crowded));
  }
  return found;
}
#endif

template <bool ClearCells>
inline void TFreeAgents::MoveOne(std::size_t j, std::uint32_t& seed, std::int32_t* states,
                                 const std::uint64_t* aggregated) noexcept {
  if constexpr (ClearCells) {
    const std::uint32_t last = cell_[j];
    if (!TLattice::IsAggregated(aggregated, last)) states[last] = 0;
  } else {
    (void)states;
    (void)aggregated;
  }
  seed = NextSeed(seed);
  const std::int32_t slot = TRandom::TurnSlotOf(seed);
  std::int32_t heading;
  if (__builtin_add_overflow(heading_[j], 45 * (slot - 2), &heading)) [[unlikely]] {
    turn_[j] = TurnOf(heading);
  } else {
    const std::uint64_t w = turn_[j] + TurnSteps[slot];
    turn_[j] = w >= FullTurn ? w - FullTurn : w;
  }
  heading_[j] = heading;
  const int sector = SectorOf(turn_[j]);
  column_[j] = Moved(column_[j], SectorSine[sector], columns_);
  row_[j] = Moved(row_[j], SectorCosine[sector], rows_);
  cell_[j] = static_cast<std::uint32_t>((row_[j] >> 1) * columns_ + (column_[j] >> 1));
}

#ifdef DLA_LANES
// The constants of the eight-lane move.
struct TEightLanes {
  std::uint32_t multipliers[8], increments[8];
  // TurnSteps' low and high halves.
  std::uint32_t turnStepsLow[8], turnStepsHigh[8];
  // 2 * DX + 2 and 2 * DY + 2 by sector.
  std::int8_t columnSteps[16], rowSteps[16];
};

constexpr TEightLanes MakeEightLanes() noexcept {
  TEightLanes lanes{};
  for (int i = 0; i < 8; ++i) {
    lanes.multipliers[i] = Multiplier(i + 1);
    lanes.increments[i] = Increment(i + 1);
    lanes.turnStepsLow[i] = static_cast<std::uint32_t>(TurnSteps[i]);
    lanes.turnStepsHigh[i] = static_cast<std::uint32_t>(TurnSteps[i] >> 32);
  }
  for (int k = 0; k < 12; ++k) {
    lanes.columnSteps[k] = static_cast<std::int8_t>(2 * SectorSine[k] + 2);
    lanes.rowSteps[k] = static_cast<std::int8_t>(2 * SectorCosine[k] + 2);
  }
  return lanes;
}
constexpr TEightLanes EightLanes = MakeEightLanes();

// Eight agents a step: the eight seeds come from the one before them by the
// jump-ahead constants, lane i taking the i-th draw, so the draws stay in
// list order.
template <bool ClearCells>
DLA_LANES_TARGET std::size_t TFreeAgents::MoveEights(std::size_t j, std::size_t end, std::uint32_t& seed,
                                                    std::int32_t* states, const std::uint64_t* aggregated) noexcept {
  using L = TLanes;
  using W = TLanes::TWide;
  const L multipliers = L::Load(EightLanes.multipliers);
  const L increments = L::Load(EightLanes.increments);
  // TurnSlotOf: (5 * seed + 2^31) >> 32, less 1 at the tie.
  const L tie = L::Splat(static_cast<std::int32_t>(0x80000000u));
  const L headingSteps = L::Set(-90, -45, 0, 45, 90, 135, 0, 0);
  const L stepsLow = L::Load(EightLanes.turnStepsLow);
  const L stepsHigh = L::Load(EightLanes.turnStepsHigh);
  const W fullTurn = W::Splat(FullTurn), lastOfTurn = W::Splat(FullTurn - 1);
  const L columnSteps = L::ByteTable(EightLanes.columnSteps);
  const L rowSteps = L::ByteTable(EightLanes.rowSteps);
  // Bytes above a lane's sector index read 0 (high bit set).
  const L upperBytes = L::Splat(static_cast<std::int32_t>(0x80808000u));
  const L two = L::Splat(2), zero = L::Splat(0);
  const L columnLast = L::Splat(2 * (columns_ - 1)), columnEnd = L::Splat(2 * columns_ - 1);
  const L rowLast = L::Splat(2 * (rows_ - 1)), rowEnd = L::Splat(2 * rows_ - 1);
  const L columns = L::Splat(columns_);
  const std::uint32_t multiplier8 = Multiplier(8), increment8 = Increment(8);

  std::int32_t* const headings = heading_.data();
  std::uint64_t* const turns = turn_.data();
  std::int32_t* const xs = column_.data();
  std::int32_t* const ys = row_.data();
  std::uint32_t* const cells = cell_.data();
  std::uint32_t s = seed;
  for (; j + 8 <= end; j += 8) {
    const L seeds = L::Splat(static_cast<std::int32_t>(s)) * multipliers + increments;
    const L slot = L::MulHigh(seeds, 5, 0x80000000u) + L::Equal(seeds, tie);
    const L step = L::Permute(headingSteps, slot);
    const L heading = L::Load(headings + j);
    const L turned = heading + step;
    // A heading that wraps takes the one-at-a-time move, which sets w anew.
    if (((heading ^ turned) & (step ^ turned)).Signs() != 0) break;
    s = multiplier8 * s + increment8;
    turned.Store(headings + j);

    W w = W::Load(turns + j) + W::Zip(L::Permute(stepsLow, slot), L::Permute(stepsHigh, slot));
    w = w - (W::Greater(w, lastOfTurn) & fullTurn);
    w.Store(turns + j);
    const L lookup = w.NarrowShifted<TwelfthBits>() | upperBytes;
    L x = L::Load(xs + j) + (L::PickBytes(columnSteps, lookup) - two);
    L y = L::Load(ys + j) + (L::PickBytes(rowSteps, lookup) - two);
    x = L::Select(L::Greater(zero, x), columnLast, x);
    x = L::Clear(L::Greater(x, columnEnd), x);
    y = L::Select(L::Greater(zero, y), rowLast, y);
    y = L::Clear(L::Greater(y, rowEnd), y);
    x.Store(xs + j);
    y.Store(ys + j);
    const L cell = y.ShiftedRight<1>() * columns + x.ShiftedRight<1>();
    if constexpr (ClearCells) {
      for (std::size_t i = j; i < j + 8; ++i) {
        const std::uint32_t last = cells[i];
        if (!TLattice::IsAggregated(aggregated, last)) states[last] = 0;
      }
    } else {
      (void)states;
      (void)aggregated;
    }
    cell.Store(cells + j);
  }
  seed = s;
  return j;
}
#endif

template <bool ClearCells>
void TFreeAgents::MoveRange(std::size_t j, std::size_t end, std::uint32_t& seed, std::int32_t* states,
                            const std::uint64_t* aggregated) noexcept {
#ifdef DLA_LANES
  if (HasLanes()) {
    while (j + 8 <= end) {
      j = MoveEights<ClearCells>(j, end, seed, states, aggregated);
      if (j + 8 > end) break;
      // A heading in this group wraps: the group moves one at a time.
      for (const std::size_t group = j + 8; j < group; ++j) MoveOne<ClearCells>(j, seed, states, aggregated);
    }
  }
#endif
  for (; j < end; ++j) MoveOne<ClearCells>(j, seed, states, aggregated);
}

void TFreeAgents::Move(TRandom& random, std::int32_t* states, const std::uint64_t* aggregated,
                       TStepThreads* threads) {
  const std::size_t count = index_.size();
  addedSteps_.clear();
  if (++movesSinceExact_ == MovesBetweenExactTurns) {
    for (std::size_t j = 0; j < count; ++j) turn_[j] = TurnOf(heading_[j]);
    movesSinceExact_ = 1;
  }
#ifndef DLA_SHARED_STEP
  (void)threads;
#else
  if (threads != nullptr) return MoveShared(random, aggregated, *threads);
#endif
  std::uint32_t s = random.Seed();
  MoveRange<true>(0, count, s, states, aggregated);
  random.Reseed(s);
}

#ifdef DLA_SHARED_STEP
void TFreeAgents::MoveShared(TRandom& random, const std::uint64_t* aggregated, TStepThreads& shared) {
  TStepThreads* const threads = &shared;
  const std::size_t count = index_.size();
  const std::uint32_t seed = random.Seed();
  // Each thread sorts the cells its agents leave and enter by the share of
  // the lattice they lie in, for RegisterShared, by counting: the lists
  // take two cells an agent however many threads there are. The share of
  // cell c is c * parts / cells, by a multiplication.
  const int parts = threads->Count();
  const std::size_t cells = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  const std::uint64_t toShare = (std::uint64_t{1} << 32) * static_cast<std::uint64_t>(parts) / cells;
  bucketThreads_ = parts;
  if (buckets_.size() < 2 * count) buckets_.resize(2 * count);
  bucketBounds_.resize(2 * static_cast<std::size_t>(parts) * static_cast<std::size_t>(parts));
  threads->Run([&](int t) {
    const auto share = TStepThreads::Share(count, parts, t, 8);
    const auto sort = [&](std::size_t entered) {
      // Four sets of counts, so that agents in a row in one share do not
      // wait for each other's count.
      std::size_t counts[4][256] = {};
      std::size_t j = share.First;
      for (; j + 4 <= share.Last; j += 4) {
        for (std::size_t k = 0; k < 4; ++k) ++counts[k][(cell_[j + k] * toShare) >> 32];
      }
      for (; j < share.Last; ++j) ++counts[0][(cell_[j] * toShare) >> 32];
      std::uint32_t* ends[256];
      std::size_t at = entered * count + share.First;
      for (int k = 0; k < parts; ++k) {
        const std::size_t n = counts[0][k] + counts[1][k] + counts[2][k] + counts[3][k];
        bucketBounds_[BucketList(t, k, entered)] = {at, at + n};
        ends[k] = buckets_.data() + at;
        at += n;
      }
      for (j = share.First; j < share.Last; ++j) {
        const std::uint32_t cell = cell_[j];
        *ends[(cell * toShare) >> 32]++ = cell;
      }
    };
    sort(0);
    std::uint32_t s = SeedAfter(seed, share.First);
    MoveRange<false>(share.First, share.Last, s, nullptr, aggregated);
    sort(1);
  });
  random.Reseed(SeedAfter(seed, count));
}

void TFreeAgents::RegisterShared(std::int32_t* states, const std::uint64_t* aggregated, TStepThreads& threads) {
  const auto parts = static_cast<std::size_t>(bucketThreads_);
  threads.Run([&](int share) {
    const auto list = [&](std::size_t t, std::size_t entered) {
      const TBounds bounds = bucketBounds_[BucketList(static_cast<int>(t), share, entered)];
      return std::pair{buckets_.data() + bounds.First, buckets_.data() + bounds.Last};
    };
    for (std::size_t t = 0; t < parts; ++t) {
      const auto [first, last] = list(t, 0);
      for (const std::uint32_t* cell = first; cell != last; ++cell) {
        if (!TLattice::IsAggregated(aggregated, *cell)) states[*cell] = 0;
      }
    }
    for (std::size_t t = 0; t < parts; ++t) {
      const auto [first, last] = list(t, 1);
      for (const std::uint32_t* cell = first; cell != last; ++cell) states[*cell] += states[*cell] != INT32_MAX;
    }
  });
}

#endif

}  // namespace dla
