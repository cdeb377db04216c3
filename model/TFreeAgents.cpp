#include "TFreeAgents.h"

#include <algorithm>

#include "Random.h"
#include "TLattice.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(DLA_SCALAR_STEP)
#include <immintrin.h>
#define DLA_STEP_AVX2 1
#endif

namespace dla {

namespace {

// Twelfths of a turn in units of 2^-58: a direction as w in [0, 12 * 2^58),
// its sector w >> 58. The sum of two stays below 2^63, so that signed
// 64-bit comparisons order them.
constexpr int TwelfthBits = 58;
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

#ifdef DLA_STEP_AVX2
bool HasAvx2() noexcept {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

void TFreeAgents::Clear() noexcept {
  index_.clear();
  heading_.clear();
  turn_.clear();
  column_.clear();
  row_.clear();
  cell_.clear();
  movesSinceExact_ = 0;
}

void TFreeAgents::Add(std::uint32_t index, const TAgent& agent, std::uint32_t cell) {
  index_.push_back(index);
  heading_.push_back(agent.Heading);
  turn_.push_back(TurnOf(agent.Heading));
  column_.push_back(2 * ((agent.X - 1) / 3) + (agent.X - 1) % 3);
  row_.push_back(2 * ((agent.Y - 1) / 3) + (agent.Y - 1) % 3);
  cell_.push_back(cell);
}

void TFreeAgents::WriteTo(std::size_t slot, TAgent& agent) const noexcept {
  agent.X = 3 * (column_[slot] >> 1) + 1 + (column_[slot] & 1);
  agent.Y = 3 * (row_[slot] >> 1) + 1 + (row_[slot] & 1);
  agent.Heading = heading_[slot];
  // The sector the last move read off w, with the step vector that
  // HeadingSector gives (see the header).
  const int sector = SectorOf(turn_[slot]);
  agent.DX = SectorSine[sector];
  agent.DY = SectorCosine[sector];
}

void TFreeAgents::Remove(const std::vector<std::uint32_t>& slots) {
  if (slots.empty()) return;
  // The runs between removed slots, each shifted down: a long one array by
  // array at once, a short one slot by slot, which saves the calls.
  constexpr std::size_t LongRun = 64;
  std::size_t kept = slots.front();
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const std::size_t from = slots[i] + 1, to = i + 1 < slots.size() ? slots[i + 1] : index_.size();
    if (to - from >= LongRun) {
      const auto shift = [&](auto& values) {
        std::copy(values.begin() + static_cast<std::ptrdiff_t>(from),
                  values.begin() + static_cast<std::ptrdiff_t>(to),
                  values.begin() + static_cast<std::ptrdiff_t>(kept));
      };
      shift(index_);
      shift(heading_);
      shift(turn_);
      shift(column_);
      shift(row_);
      shift(cell_);
      kept += to - from;
      continue;
    }
    for (std::size_t j = from; j < to; ++j, ++kept) {
      index_[kept] = index_[j];
      heading_[kept] = heading_[j];
      turn_[kept] = turn_[j];
      column_[kept] = column_[j];
      row_[kept] = row_[j];
      cell_[kept] = cell_[j];
    }
  }
  index_.resize(kept);
  heading_.resize(kept);
  turn_.resize(kept);
  column_.resize(kept);
  row_.resize(kept);
  cell_.resize(kept);
}

std::size_t TFreeAgents::ListCrowded(const std::int32_t* states, std::uint16_t threshold,
                                     std::vector<std::uint32_t>& slots) const {
  // Grown only: a group of eight writes all eight before it keeps some.
  if (slots.size() < Count() + 8) slots.resize(Count() + 8);
  std::size_t listed = 0, j = 0;
#ifdef DLA_STEP_AVX2
  // Lattices of fewer than three columns or rows are all edge.
  if (columns_ >= 3 && rows_ >= 3 && HasAvx2()) {
    listed = ListCrowdedEights(states, threshold, slots.data());
    j = Count() - Count() % 8;
  }
#else
  (void)states;
  (void)threshold;
#endif
  for (; j < Count(); ++j) slots[listed++] = static_cast<std::uint32_t>(j);
  return listed;
}

#ifdef DLA_STEP_AVX2
// For each set of lanes (bit i for lane i), the lanes in increasing order.
struct alignas(32) TLaneLists {
  std::uint32_t lanes[256][8];
};
constexpr TLaneLists MakeLaneLists() noexcept {
  TLaneLists lists{};
  for (unsigned set = 0; set < 256; ++set) {
    unsigned n = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if ((set >> lane) & 1u) lists.lanes[set][n++] = lane;
    }
  }
  return lists;
}
constexpr TLaneLists LaneLists = MakeLaneLists();

// Four counts from `low` and four from `high`, in the register's two halves.
__attribute__((target("avx2"))) inline __m256i LoadPair(const std::int32_t* low, const std::int32_t* high) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high), reinterpret_cast<const __m128i*>(low));
}

// Eight blocks at a time, each as three rows of four counts read at once
// (the fourth masked off) round the cell to the left of the agent's. Blocks
// that wrap round the torus (an agent on the lattice's edge) are listed
// whatever their sums. Counts are capped at 2^16, above any threshold, so
// that the sums fit; the first two rows are summed before the cap, which
// they cannot overflow as unsigned counts.
__attribute__((target("avx2"))) std::size_t TFreeAgents::ListCrowdedEights(const std::int32_t* states,
                                                                           std::uint16_t threshold,
                                                                           std::uint32_t* listed) const {
  const __m256i one = _mm256_set1_epi32(1), zero = _mm256_setzero_si256();
  const __m256i lastColumn = _mm256_set1_epi32(columns_ - 1), lastRow = _mm256_set1_epi32(rows_ - 1);
  // An edge lane reads the block of column 0, row 1, inside the lattice.
  const __m256i inside = _mm256_set1_epi32(columns_);
  const __m256i bound = _mm256_set1_epi32(threshold);
  const __m256i cap = _mm256_set1_epi32(1 << 16);
  const __m256i three = _mm256_setr_epi32(-1, -1, -1, 0, -1, -1, -1, 0);
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i marked = _mm256_set1_epi32(static_cast<int>(SumOverThreshold));
  const std::int32_t* const above = states - columns_;
  const std::int32_t* const below = states + columns_;
  alignas(32) std::int32_t firsts[8];
  const std::size_t count = Count() - Count() % 8;
  std::size_t found = 0;
  for (std::size_t j = 0; j < count; j += 8) {
    const __m256i cell = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cell_.data() + j));
    const __m256i column =
        _mm256_srai_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(column_.data() + j)), 1);
    const __m256i row =
        _mm256_srai_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row_.data() + j)), 1);
    const __m256i edge = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi32(column, zero), _mm256_cmpeq_epi32(column, lastColumn)),
        _mm256_or_si256(_mm256_cmpeq_epi32(row, zero), _mm256_cmpeq_epi32(row, lastRow)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(firsts),
                       _mm256_blendv_epi8(_mm256_sub_epi32(cell, one), inside, edge));
    // Read back from memory: the load ports are idle, while extracting the
    // lanes would queue on the shuffle port.
    asm volatile("" : : "m"(firsts) : "memory");
    __m256i rows[4];
    for (int i = 0; i < 4; ++i) {
      const std::int32_t low = firsts[i], high = firsts[i + 4];
      const __m256i up = LoadPair(above + low, above + high);
      const __m256i level = LoadPair(states + low, states + high);
      const __m256i down = LoadPair(below + low, below + high);
      rows[i] = _mm256_and_si256(
          _mm256_add_epi32(_mm256_min_epu32(_mm256_add_epi32(up, level), cap), _mm256_min_epu32(down, cap)),
          three);
    }
    // Lanes i and i + 4 shared a register; the sums come out in lane order.
    const __m256i sums =
        _mm256_hadd_epi32(_mm256_hadd_epi32(rows[0], rows[1]), _mm256_hadd_epi32(rows[2], rows[3]));
    const __m256i over = _mm256_cmpgt_epi32(sums, bound);
    const auto crowded =
        static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(over, edge))));
    // Without a branch, which would mostly guess wrong where a group has a
    // crowded block: all eight written, as many kept as are crowded, those
    // whose sums are known to exceed the threshold marked.
    const __m256i entries = _mm256_or_si256(_mm256_add_epi32(lane, _mm256_set1_epi32(static_cast<int>(j))),
                                            _mm256_and_si256(_mm256_andnot_si256(edge, over), marked));
    const __m256i kept = _mm256_load_si256(reinterpret_cast<const __m256i*>(LaneLists.lanes[crowded]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(listed + found), _mm256_permutevar8x32_epi32(entries, kept));
    found += static_cast<std::size_t>(__builtin_popcount(crowded));
  }
  return found;
}
#endif

inline void TFreeAgents::MoveOne(std::size_t j, std::uint32_t& seed, std::int32_t* states,
                                 const std::uint64_t* aggregated) noexcept {
  const std::uint32_t last = cell_[j];
  if (!TLattice::IsAggregated(aggregated, last)) states[last] = 0;
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

#ifdef DLA_STEP_AVX2
// The constants of the eight-lane move, as the registers take them.
struct alignas(32) TEightLanes {
  std::uint32_t multipliers[8], increments[8];
  // TurnSteps' low and high halves.
  std::uint32_t turnStepsLow[8], turnStepsHigh[8];
  // 2 * DX + 2 and 2 * DY + 2 by sector, in both halves of a register.
  std::int8_t columnSteps[32], rowSteps[32];
};

constexpr TEightLanes MakeEightLanes() noexcept {
  TEightLanes lanes{};
  for (int i = 0; i < 8; ++i) {
    lanes.multipliers[i] = Multiplier(i + 1);
    lanes.increments[i] = Increment(i + 1);
    lanes.turnStepsLow[i] = static_cast<std::uint32_t>(TurnSteps[i]);
    lanes.turnStepsHigh[i] = static_cast<std::uint32_t>(TurnSteps[i] >> 32);
  }
  for (int k = 0; k < 32; ++k) {
    lanes.columnSteps[k] = static_cast<std::int8_t>(k % 16 < 12 ? 2 * SectorSine[k % 16] + 2 : 0);
    lanes.rowSteps[k] = static_cast<std::int8_t>(k % 16 < 12 ? 2 * SectorCosine[k % 16] + 2 : 0);
  }
  return lanes;
}
constexpr TEightLanes EightLanes = MakeEightLanes();

// Eight agents a step: the eight seeds come from the one before them by the
// jump-ahead constants, lane i taking the i-th draw, so the draws stay in
// list order.
__attribute__((target("avx2"))) std::size_t TFreeAgents::MoveEights(std::size_t j, std::uint32_t& seed,
                                                                     std::int32_t* states,
                                                                     const std::uint64_t* aggregated) noexcept {
  const auto load = [](const void* p) { return reinterpret_cast<const __m256i*>(p); };
  const __m256i multipliers = _mm256_load_si256(load(EightLanes.multipliers));
  const __m256i increments = _mm256_load_si256(load(EightLanes.increments));
  // slot = (5 * seed + 2^31) >> 32, less 1 at the tie (TurnSlotOf), in
  // 64-bit products of the even and the odd lanes.
  const __m256i five = _mm256_set1_epi64x(5);
  const __m256i half = _mm256_set1_epi64x(0x80000000ll);
  const __m256i tie = _mm256_set1_epi32(static_cast<int>(0x80000000u));
  const __m256i headingSteps = _mm256_setr_epi32(-90, -45, 0, 45, 90, 135, 0, 0);
  const __m256i stepsLow = _mm256_load_si256(load(EightLanes.turnStepsLow));
  const __m256i stepsHigh = _mm256_load_si256(load(EightLanes.turnStepsHigh));
  const __m256i fullTurn = _mm256_set1_epi64x(static_cast<long long>(FullTurn));
  const __m256i lastOfTurn = _mm256_set1_epi64x(static_cast<long long>(FullTurn - 1));
  const __m256i inOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i columnSteps = _mm256_load_si256(load(EightLanes.columnSteps));
  const __m256i rowSteps = _mm256_load_si256(load(EightLanes.rowSteps));
  // Bytes above a lane's sector index read 0 (high bit set).
  const __m256i upperBytes = _mm256_set1_epi32(static_cast<int>(0x80808000u));
  const __m256i two = _mm256_set1_epi32(2), zero = _mm256_setzero_si256();
  const __m256i columnLast = _mm256_set1_epi32(2 * (columns_ - 1));
  const __m256i columnEnd = _mm256_set1_epi32(2 * columns_ - 1);
  const __m256i rowLast = _mm256_set1_epi32(2 * (rows_ - 1)), rowEnd = _mm256_set1_epi32(2 * rows_ - 1);
  const __m256i columns = _mm256_set1_epi32(columns_);
  const std::uint32_t multiplier8 = Multiplier(8), increment8 = Increment(8);

  const std::size_t count = index_.size();
  std::int32_t* const headings = heading_.data();
  std::uint64_t* const turns = turn_.data();
  std::int32_t* const xs = column_.data();
  std::int32_t* const ys = row_.data();
  std::uint32_t* const cells = cell_.data();
  std::uint32_t s = seed;
  for (; j + 8 <= count; j += 8) {
    const __m256i seeds =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(s)), multipliers), increments);
    const __m256i even = _mm256_add_epi64(_mm256_mul_epu32(seeds, five), half);
    const __m256i odd = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(seeds, 32), five), half);
    const __m256i slot = _mm256_add_epi32(_mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA),
                                          _mm256_cmpeq_epi32(seeds, tie));
    const __m256i step = _mm256_permutevar8x32_epi32(headingSteps, slot);
    const __m256i heading = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(headings + j));
    const __m256i turned = _mm256_add_epi32(heading, step);
    // A heading that wraps takes the one-at-a-time move, which sets w anew.
    const __m256i wrapped =
        _mm256_and_si256(_mm256_xor_si256(heading, turned), _mm256_xor_si256(step, turned));
    if (_mm256_movemask_ps(_mm256_castsi256_ps(wrapped)) != 0) break;
    s = multiplier8 * s + increment8;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(headings + j), turned);

    // The steps of w, in 64-bit lanes for agents 0-3 and 4-7.
    const __m256i stepLow = _mm256_permutevar8x32_epi32(stepsLow, slot);
    const __m256i stepHigh = _mm256_permutevar8x32_epi32(stepsHigh, slot);
    const __m256i stepsA = _mm256_unpacklo_epi32(stepLow, stepHigh);  // agents 0, 1, 4, 5
    const __m256i stepsB = _mm256_unpackhi_epi32(stepLow, stepHigh);  // agents 2, 3, 6, 7
    const __m256i steps[2] = {_mm256_permute2x128_si256(stepsA, stepsB, 0x20),
                              _mm256_permute2x128_si256(stepsA, stepsB, 0x31)};
    __m256i sectors[2];
    for (int half = 0; half < 2; ++half) {
      __m256i* const at = reinterpret_cast<__m256i*>(turns + j + 4 * half);
      __m256i w = _mm256_add_epi64(_mm256_loadu_si256(at), steps[half]);
      w = _mm256_sub_epi64(w, _mm256_and_si256(_mm256_cmpgt_epi64(w, lastOfTurn), fullTurn));
      _mm256_storeu_si256(at, w);
      sectors[half] = _mm256_srli_epi64(w, TwelfthBits);
    }
    const __m256i sector = _mm256_permutevar8x32_epi32(
        _mm256_or_si256(sectors[0], _mm256_slli_epi64(sectors[1], 32)), inOrder);
    const __m256i lookup = _mm256_or_si256(sector, upperBytes);
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs + j));
    __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys + j));
    x = _mm256_add_epi32(x, _mm256_sub_epi32(_mm256_shuffle_epi8(columnSteps, lookup), two));
    y = _mm256_add_epi32(y, _mm256_sub_epi32(_mm256_shuffle_epi8(rowSteps, lookup), two));
    x = _mm256_blendv_epi8(x, columnLast, _mm256_cmpgt_epi32(zero, x));
    x = _mm256_andnot_si256(_mm256_cmpgt_epi32(x, columnEnd), x);
    y = _mm256_blendv_epi8(y, rowLast, _mm256_cmpgt_epi32(zero, y));
    y = _mm256_andnot_si256(_mm256_cmpgt_epi32(y, rowEnd), y);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(xs + j), x);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(ys + j), y);
    const __m256i cell =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(y, 1), columns), _mm256_srai_epi32(x, 1));
    for (std::size_t i = j; i < j + 8; ++i) {
      const std::uint32_t last = cells[i];
      if (!TLattice::IsAggregated(aggregated, last)) states[last] = 0;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(cells + j), cell);
  }
  seed = s;
  return j;
}
#endif

void TFreeAgents::Move(TRandom& random, std::int32_t* states, const std::uint64_t* aggregated) {
  const std::size_t count = index_.size();
  if (++movesSinceExact_ == MovesBetweenExactTurns) {
    for (std::size_t j = 0; j < count; ++j) turn_[j] = TurnOf(heading_[j]);
    movesSinceExact_ = 1;
  }
  std::uint32_t seed = random.Seed();
  std::size_t j = 0;
#ifdef DLA_STEP_AVX2
  if (HasAvx2()) {
    while (j + 8 <= count) {
      j = MoveEights(j, seed, states, aggregated);
      if (j + 8 > count) break;
      // A heading in this group wraps: the group moves one at a time.
      for (const std::size_t end = j + 8; j < end; ++j) MoveOne(j, seed, states, aggregated);
    }
  }
#endif
  for (; j < count; ++j) MoveOne(j, seed, states, aggregated);
  random.Reseed(seed);
}

}  // namespace dla
