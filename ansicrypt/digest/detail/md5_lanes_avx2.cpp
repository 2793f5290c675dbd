// MD5 lanes sixteen at a time, as two sets of eight in AVX2 registers advanced side by side: each
// step is a chain of dependent instructions, and the second set fills the first one's wait (four
// sets would hold all sixteen registers in state words alone). This file alone is compiled for
// AVX2 and is called only where the processor has it.
#include "ansicrypt/digest/detail/md5_lanes.h"

#ifdef __AVX2__  // the build gives this file the instruction set on x86-64 only
#include <immintrin.h>

#include "ansicrypt/digest/detail/md5_lanes_engine.h"
#endif

namespace ansicrypt::detail {

#ifdef __AVX2__

namespace {

struct Pair {
  __m256i lo;  // lanes 0..7
  __m256i hi;  // lanes 8..15
};

template <class Op>
Pair Each(Pair a, Pair b, Op op) {
  return {op(a.lo, b.lo), op(a.hi, b.hi)};
}

// Eight words, one per lane: pointers[l] + offset for lanes 0..7, transposed from eight rows.
// Pairs of lanes interleave words, then pairs of words, then the 128-bit halves are exchanged.
void Transpose8(const std::uint8_t* const* rows, std::size_t offset, __m256i (&out)[8]) {
  __m256i r[8];
  for (int l = 0; l < 8; ++l)
    r[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[l] + offset));
  __m256i t[8];
  for (int m = 0; m < 4; ++m) {
    t[2 * m] = _mm256_unpacklo_epi32(r[2 * m], r[2 * m + 1]);
    t[2 * m + 1] = _mm256_unpackhi_epi32(r[2 * m], r[2 * m + 1]);
  }
  // s[4g + k]: half h holds word 4h + k of lanes 4g .. 4g + 3.
  __m256i s[8];
  for (int g = 0; g < 2; ++g) {
    s[4 * g + 0] = _mm256_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
    s[4 * g + 1] = _mm256_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
    s[4 * g + 2] = _mm256_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
    s[4 * g + 3] = _mm256_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
  }
  for (int k = 0; k < 4; ++k) {
    out[k] = _mm256_permute2x128_si256(s[k], s[4 + k], 0x20);
    out[4 + k] = _mm256_permute2x128_si256(s[k], s[4 + k], 0x31);
  }
}

__m256i LaneMask(std::uint32_t active) {  // all ones in lane l where bit l of `active` is set
  const __m256i bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  const __m256i selected = _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(active)), bits);
  return _mm256_cmpeq_epi32(selected, bits);
}

struct Avx2Ops {
  static constexpr std::size_t kLanes = 16;
  using V = Pair;
  static V Add(V a, V b) {
    return Each(a, b, [](__m256i x, __m256i y) { return _mm256_add_epi32(x, y); });
  }
  static V Broadcast(std::uint32_t word) {
    const __m256i w = _mm256_set1_epi32(static_cast<int>(word));
    return {w, w};
  }
  template <int S>
  static V Rotl(V a) {
    const auto rotl = [](__m256i x) {
      return _mm256_or_si256(_mm256_slli_epi32(x, S), _mm256_srli_epi32(x, 32 - S));
    };
    return {rotl(a.lo), rotl(a.hi)};
  }
  // F chooses bits: d ^ (b & (c ^ d)), where c ^ d does not wait for the previous step's b.
  static V F(V b, V c, V d) {
    const auto f = [](__m256i x, __m256i y, __m256i z) {
      return _mm256_xor_si256(z, _mm256_and_si256(x, _mm256_xor_si256(y, z)));
    };
    return {f(b.lo, c.lo, d.lo), f(b.hi, c.hi, d.hi)};
  }
  static V And(V a, V b) {
    return Each(a, b, [](__m256i x, __m256i y) { return _mm256_and_si256(x, y); });
  }
  static V AndNot(V a, V b) {  // ~a & b
    return Each(a, b, [](__m256i x, __m256i y) { return _mm256_andnot_si256(x, y); });
  }
  // b is the word the previous step made: c ^ d does not wait for it.
  static V H(V b, V c, V d) {
    const auto h = [](__m256i x, __m256i y, __m256i z) {
      return _mm256_xor_si256(x, _mm256_xor_si256(y, z));
    };
    return {h(b.lo, c.lo, d.lo), h(b.hi, c.hi, d.hi)};
  }
  static V I(V b, V c, V d) {
    const auto i = [](__m256i x, __m256i y, __m256i z) {
      const __m256i notZ = _mm256_xor_si256(z, _mm256_set1_epi32(-1));
      return _mm256_xor_si256(y, _mm256_or_si256(x, notZ));
    };
    return {i(b.lo, c.lo, d.lo), i(b.hi, c.hi, d.hi)};
  }
  // Unaligned moves: the states may be on a stack that a Windows compiler does not align to 32.
  static V LoadState(const std::uint32_t* words) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 8))};
  }
  static void StoreState(std::uint32_t* words, V v, std::uint32_t active) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(words), LaneMask(active), v.lo);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(words + 8), LaneMask(active >> 8), v.hi);
  }
  static void LoadWords(const std::uint8_t* const* lanes, V (&x)[16]) {
    for (std::size_t half = 0; half < 2; ++half) {
      __m256i lo[8], hi[8];
      Transpose8(lanes, 32 * half, lo);
      Transpose8(lanes + 8, 32 * half, hi);
      for (std::size_t j = 0; j < 8; ++j) x[8 * half + j] = {lo[j], hi[j]};
    }
  }
};

}  // namespace

void Md5CompressLanesAvx2(Md5LaneStates& states, const std::uint8_t* const* blocks,
                          std::uint32_t active, std::size_t count) {
  for (std::size_t first = 0; first < kMd5Lanes; first += Avx2Ops::kLanes) {
    if (((active >> first) & 0xFFFF) != 0) {
      md5lanes::Engine<Avx2Ops>::Run(states, blocks, active, count, first);
    }
  }
}

#else

void Md5CompressLanesAvx2(Md5LaneStates&, const std::uint8_t* const*, std::uint32_t, std::size_t) {}

#endif

}  // namespace ansicrypt::detail
