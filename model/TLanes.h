// Eight 32-bit lanes at once, as the step's eight-agent paths use them, so
// that those paths are written once for every processor that has such
// lanes: AVX2 on x86 (one 256-bit register; the functions that use the
// lanes carry DLA_LANES_TARGET and run only where HasLanes() says so) and
// WebAssembly SIMD (two 128-bit values; a build with -msimd128). Without
// either, or with DLA_SCALAR_STEP defined, DLA_LANES is not defined and the
// step takes one agent at a time, with the same result to the bit.
//
// Lanes are numbered 0 to 7; "the halves" are lanes 0-3 and 4-7. A mask
// lane is all ones (true) or all zeros. Arithmetic wraps modulo 2^32 (2^64
// for TLanes::TWide, eight 64-bit lanes).
#pragma once

#include <cstdint>

#if !defined(DLA_SCALAR_STEP) && defined(__wasm_simd128__)
#include <wasm_simd128.h>
#define DLA_LANES_WASM 1
#elif !defined(DLA_SCALAR_STEP) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DLA_LANES_AVX2 1
#endif

#if defined(DLA_LANES_WASM) || defined(DLA_LANES_AVX2)
#define DLA_LANES 1

#ifdef DLA_LANES_AVX2
#define DLA_LANES_TARGET __attribute__((target("avx2")))
#else
#define DLA_LANES_TARGET
#endif
#define DLA_LANES_INLINE DLA_LANES_TARGET inline __attribute__((always_inline))

namespace dla {

// Whether this processor has the lanes (AVX2 is looked up once).
inline bool HasLanes() noexcept {
#ifdef DLA_LANES_AVX2
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return true;
#endif
}

struct TLanes {
#ifdef DLA_LANES_AVX2
  __m256i v;
#else
  v128_t lo, hi;
#endif

  // Eight 64-bit lanes.
  struct TWide {
#ifdef DLA_LANES_AVX2
    __m256i a, b;  // lanes 0-3, 4-7
#else
    v128_t q[4];  // lanes 0-1, 2-3, 4-5, 6-7
#endif
    static DLA_LANES_INLINE TWide Load(const std::uint64_t* p) noexcept {
#ifdef DLA_LANES_AVX2
      return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 4))};
#else
      return {{wasm_v128_load(p), wasm_v128_load(p + 2), wasm_v128_load(p + 4), wasm_v128_load(p + 6)}};
#endif
    }
    DLA_LANES_INLINE void Store(std::uint64_t* p) const noexcept {
#ifdef DLA_LANES_AVX2
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 4), b);
#else
      for (int i = 0; i < 4; ++i) wasm_v128_store(p + 2 * i, q[i]);
#endif
    }
    static DLA_LANES_INLINE TWide Splat(std::uint64_t x) noexcept {
#ifdef DLA_LANES_AVX2
      const __m256i s = _mm256_set1_epi64x(static_cast<long long>(x));
      return {s, s};
#else
      const v128_t s = wasm_u64x2_splat(x);
      return {{s, s, s, s}};
#endif
    }
    // Lane i: high's lane i above low's.
    static DLA_LANES_INLINE TWide Zip(TLanes low, TLanes high) noexcept {
#ifdef DLA_LANES_AVX2
      const __m256i first = _mm256_unpacklo_epi32(low.v, high.v);  // lanes 0, 1, 4, 5
      const __m256i second = _mm256_unpackhi_epi32(low.v, high.v);  // lanes 2, 3, 6, 7
      return {_mm256_permute2x128_si256(first, second, 0x20), _mm256_permute2x128_si256(first, second, 0x31)};
#else
      return {{wasm_i32x4_shuffle(low.lo, high.lo, 0, 4, 1, 5), wasm_i32x4_shuffle(low.lo, high.lo, 2, 6, 3, 7),
               wasm_i32x4_shuffle(low.hi, high.hi, 0, 4, 1, 5), wasm_i32x4_shuffle(low.hi, high.hi, 2, 6, 3, 7)}};
#endif
    }
    friend DLA_LANES_INLINE TWide operator+(TWide x, TWide y) noexcept {
#ifdef DLA_LANES_AVX2
      return {_mm256_add_epi64(x.a, y.a), _mm256_add_epi64(x.b, y.b)};
#else
      TWide r;
      for (int i = 0; i < 4; ++i) r.q[i] = wasm_i64x2_add(x.q[i], y.q[i]);
      return r;
#endif
    }
    friend DLA_LANES_INLINE TWide operator-(TWide x, TWide y) noexcept {
#ifdef DLA_LANES_AVX2
      return {_mm256_sub_epi64(x.a, y.a), _mm256_sub_epi64(x.b, y.b)};
#else
      TWide r;
      for (int i = 0; i < 4; ++i) r.q[i] = wasm_i64x2_sub(x.q[i], y.q[i]);
      return r;
#endif
    }
    friend DLA_LANES_INLINE TWide operator&(TWide x, TWide y) noexcept {
#ifdef DLA_LANES_AVX2
      return {_mm256_and_si256(x.a, y.a), _mm256_and_si256(x.b, y.b)};
#else
      TWide r;
      for (int i = 0; i < 4; ++i) r.q[i] = wasm_v128_and(x.q[i], y.q[i]);
      return r;
#endif
    }
    // The mask of x > y, both taken as signed.
    static DLA_LANES_INLINE TWide Greater(TWide x, TWide y) noexcept {
#ifdef DLA_LANES_AVX2
      return {_mm256_cmpgt_epi64(x.a, y.a), _mm256_cmpgt_epi64(x.b, y.b)};
#else
      TWide r;
      for (int i = 0; i < 4; ++i) r.q[i] = wasm_i64x2_gt(x.q[i], y.q[i]);
      return r;
#endif
    }
    // Lane i: the low 32 bits of lane i shifted right (logically) by n.
    template <int n>
    DLA_LANES_INLINE TLanes NarrowShifted() const noexcept {
#ifdef DLA_LANES_AVX2
      // Lanes 0, 4, 1, 5, 2, 6, 3, 7 as blended, put in order.
      const __m256i blended =
          _mm256_blend_epi32(_mm256_srli_epi64(a, n), _mm256_slli_epi64(_mm256_srli_epi64(b, n), 32), 0xAA);
      return {_mm256_permutevar8x32_epi32(blended, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7))};
#else
      v128_t s[4];
      for (int i = 0; i < 4; ++i) s[i] = wasm_u64x2_shr(q[i], n);
      return {wasm_i32x4_shuffle(s[0], s[1], 0, 2, 4, 6), wasm_i32x4_shuffle(s[2], s[3], 0, 2, 4, 6)};
#endif
    }
  };

  static DLA_LANES_INLINE TLanes Splat(std::int32_t x) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_set1_epi32(x)};
#else
    const v128_t s = wasm_i32x4_splat(x);
    return {s, s};
#endif
  }
  static DLA_LANES_INLINE TLanes Set(std::int32_t l0, std::int32_t l1, std::int32_t l2, std::int32_t l3,
                                     std::int32_t l4, std::int32_t l5, std::int32_t l6, std::int32_t l7) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_setr_epi32(l0, l1, l2, l3, l4, l5, l6, l7)};
#else
    return {wasm_i32x4_make(l0, l1, l2, l3), wasm_i32x4_make(l4, l5, l6, l7)};
#endif
  }
  // Eight 32-bit values from p, which need not be aligned.
  static DLA_LANES_INLINE TLanes Load(const void* p) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_loadu_si256(static_cast<const __m256i*>(p))};
#else
    return {wasm_v128_load(p), wasm_v128_load(static_cast<const char*>(p) + 16)};
#endif
  }
  DLA_LANES_INLINE void Store(void* p) const noexcept {
#ifdef DLA_LANES_AVX2
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
#else
    wasm_v128_store(p, lo);
    wasm_v128_store(static_cast<char*>(p) + 16, hi);
#endif
  }
  // Lanes 0-3 from low, 4-7 from high.
  static DLA_LANES_INLINE TLanes LoadHalves(const std::int32_t* low, const std::int32_t* high) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high), reinterpret_cast<const __m128i*>(low))};
#else
    return {wasm_v128_load(low), wasm_v128_load(high)};
#endif
  }
  // A table of 16 bytes for PickBytes.
  static DLA_LANES_INLINE TLanes ByteTable(const std::int8_t* sixteen) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sixteen)))};
#else
    const v128_t t = wasm_v128_load(sixteen);
    return {t, t};
#endif
  }

  friend DLA_LANES_INLINE TLanes operator+(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_add_epi32(x.v, y.v)};
#else
    return {wasm_i32x4_add(x.lo, y.lo), wasm_i32x4_add(x.hi, y.hi)};
#endif
  }
  friend DLA_LANES_INLINE TLanes operator-(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_sub_epi32(x.v, y.v)};
#else
    return {wasm_i32x4_sub(x.lo, y.lo), wasm_i32x4_sub(x.hi, y.hi)};
#endif
  }
  // The low 32 bits of the product.
  friend DLA_LANES_INLINE TLanes operator*(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_mullo_epi32(x.v, y.v)};
#else
    return {wasm_i32x4_mul(x.lo, y.lo), wasm_i32x4_mul(x.hi, y.hi)};
#endif
  }
  friend DLA_LANES_INLINE TLanes operator&(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_and_si256(x.v, y.v)};
#else
    return {wasm_v128_and(x.lo, y.lo), wasm_v128_and(x.hi, y.hi)};
#endif
  }
  friend DLA_LANES_INLINE TLanes operator|(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_or_si256(x.v, y.v)};
#else
    return {wasm_v128_or(x.lo, y.lo), wasm_v128_or(x.hi, y.hi)};
#endif
  }
  friend DLA_LANES_INLINE TLanes operator^(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_xor_si256(x.v, y.v)};
#else
    return {wasm_v128_xor(x.lo, y.lo), wasm_v128_xor(x.hi, y.hi)};
#endif
  }
  // x with the lanes of `mask` cleared.
  static DLA_LANES_INLINE TLanes Clear(TLanes mask, TLanes x) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_andnot_si256(mask.v, x.v)};
#else
    return {wasm_v128_andnot(x.lo, mask.lo), wasm_v128_andnot(x.hi, mask.hi)};
#endif
  }
  // Where the mask is true, ifTrue's lane, else ifFalse's.
  static DLA_LANES_INLINE TLanes Select(TLanes mask, TLanes ifTrue, TLanes ifFalse) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_blendv_epi8(ifFalse.v, ifTrue.v, mask.v)};
#else
    return {wasm_v128_bitselect(ifTrue.lo, ifFalse.lo, mask.lo), wasm_v128_bitselect(ifTrue.hi, ifFalse.hi, mask.hi)};
#endif
  }
  // Shifted right by n, the sign copied in.
  template <int n>
  DLA_LANES_INLINE TLanes ShiftedRight() const noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_srai_epi32(v, n)};
#else
    return {wasm_i32x4_shr(lo, n), wasm_i32x4_shr(hi, n)};
#endif
  }
  // Masks of x == y and of x > y (signed).
  static DLA_LANES_INLINE TLanes Equal(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_cmpeq_epi32(x.v, y.v)};
#else
    return {wasm_i32x4_eq(x.lo, y.lo), wasm_i32x4_eq(x.hi, y.hi)};
#endif
  }
  static DLA_LANES_INLINE TLanes Greater(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_cmpgt_epi32(x.v, y.v)};
#else
    return {wasm_i32x4_gt(x.lo, y.lo), wasm_i32x4_gt(x.hi, y.hi)};
#endif
  }
  // The lesser, both taken as unsigned.
  static DLA_LANES_INLINE TLanes MinUnsigned(TLanes x, TLanes y) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_min_epu32(x.v, y.v)};
#else
    return {wasm_u32x4_min(x.lo, y.lo), wasm_u32x4_min(x.hi, y.hi)};
#endif
  }
  // Bit i: the sign of lane i.
  DLA_LANES_INLINE unsigned Signs() const noexcept {
#ifdef DLA_LANES_AVX2
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(v)));
#else
    return wasm_i32x4_bitmask(lo) | (wasm_i32x4_bitmask(hi) << 4);
#endif
  }
  // Lane i: (x_i * factor + addend) >> 32, in 64 bits, all unsigned.
  static DLA_LANES_INLINE TLanes MulHigh(TLanes x, std::uint32_t factor, std::uint64_t addend) noexcept {
#ifdef DLA_LANES_AVX2
    const __m256i f = _mm256_set1_epi64x(factor), c = _mm256_set1_epi64x(static_cast<long long>(addend));
    const __m256i even = _mm256_add_epi64(_mm256_mul_epu32(x.v, f), c);
    const __m256i odd = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x.v, 32), f), c);
    return {_mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA)};
#else
    // The product as a sum of shifts, one per set bit of the factor (two for
    // the turn's 5): emscripten's compiler makes the widening multiply a
    // full 64-bit one, which the browsers form of three multiplies and
    // their carries.
    const v128_t c = wasm_u64x2_splat(addend);
    const auto times = [&](v128_t wide) {
      v128_t sum = c;
      for (std::uint32_t f = factor, bit = 0; f != 0; f >>= 1, ++bit) {
        if ((f & 1) != 0) sum = wasm_i64x2_add(sum, wasm_i64x2_shl(wide, bit));
      }
      return sum;
    };
    const auto half = [&](v128_t h) {
      return wasm_i32x4_shuffle(times(wasm_u64x2_extend_low_u32x4(h)), times(wasm_u64x2_extend_high_u32x4(h)), 1, 3,
                                5, 7);
    };
    return {half(x.lo), half(x.hi)};
#endif
  }
  // Lane i: x's lane index_i (index lanes 0 to 7).
  static DLA_LANES_INLINE TLanes Permute(TLanes x, TLanes index) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_permutevar8x32_epi32(x.v, index.v)};
#else
    // Byte k of lane i: byte 4 * index_i + k of the 32; a byte index of 16
    // or more reads 0 from a half, so each half's lookup adds its bytes.
    const v128_t spread = wasm_i32x4_splat(0x04040404), bytes = wasm_i32x4_splat(0x03020100);
    const v128_t sixteen = wasm_i8x16_splat(16);
    const auto half = [&](v128_t i) {
      const v128_t b = wasm_i32x4_add(wasm_i32x4_mul(i, spread), bytes);
      return wasm_v128_or(wasm_i8x16_swizzle(x.lo, b), wasm_i8x16_swizzle(x.hi, wasm_i8x16_sub(b, sixteen)));
    };
    return {half(index.lo), half(index.hi)};
#endif
  }
  // Byte k of each lane: the table's (ByteTable) byte at that byte of
  // index if it is below 16, 0 where its top bit is set.
  static DLA_LANES_INLINE TLanes PickBytes(TLanes table, TLanes index) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_shuffle_epi8(table.v, index.v)};
#else
    return {wasm_i8x16_swizzle(table.lo, index.lo), wasm_i8x16_swizzle(table.hi, index.hi)};
#endif
  }
  // Lane i of a half: the sum of the lanes of that half of r[i].
  static DLA_LANES_INLINE TLanes HalfSums(TLanes r0, TLanes r1, TLanes r2, TLanes r3) noexcept {
#ifdef DLA_LANES_AVX2
    return {_mm256_hadd_epi32(_mm256_hadd_epi32(r0.v, r1.v), _mm256_hadd_epi32(r2.v, r3.v))};
#else
    const auto pairs = [](v128_t a, v128_t b) {
      return wasm_i32x4_add(wasm_i32x4_shuffle(a, b, 0, 2, 4, 6), wasm_i32x4_shuffle(a, b, 1, 3, 5, 7));
    };
    return {pairs(pairs(r0.lo, r1.lo), pairs(r2.lo, r3.lo)), pairs(pairs(r0.hi, r1.hi), pairs(r2.hi, r3.hi))};
#endif
  }
};

}  // namespace dla

#endif
