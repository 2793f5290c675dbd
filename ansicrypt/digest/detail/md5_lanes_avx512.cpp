// MD5 lanes in AVX-512 registers, sixteen to a register: the round functions are one
// ternary-logic instruction each and the rotations one instruction. Where both halves of the 32
// lanes are busy, two registers per state word advance side by side, so that one fills the
// other's wait on processors whose vector instructions take two cycles. This file alone is
// compiled for AVX-512 and is called only where the processor has it.
#include "ansicrypt/digest/detail/md5_lanes.h"

#ifdef __AVX512F__  // the build gives this file the instruction set on x86-64 only
// GCC 12's AVX-512 headers build "undefined" vectors from themselves, which -Wmaybe-uninitialized
// and -Wuninitialized report at inlined intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "ansicrypt/digest/detail/md5_lanes_engine.h"
#endif

namespace ansicrypt::detail {

#ifdef __AVX512F__

namespace {

struct Avx512Ops {
  static constexpr std::size_t kLanes = 16;
  using V = __m512i;
  static V Add(V a, V b) { return _mm512_add_epi32(a, b); }
  static V LoadRow(const std::uint32_t* row) { return _mm512_load_si512(row); }
  template <int S>
  static V Rotl(V a) {
    return _mm512_rol_epi32(a, S);
  }
  static V F(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, md5lanes::kF); }
  static V G(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, md5lanes::kG); }
  static V H(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, md5lanes::kH); }
  static V I(V b, V c, V d) { return _mm512_ternarylogic_epi32(b, c, d, md5lanes::kI); }
  // An unaligned load: the states may be on a stack that a Windows compiler does not align to 64.
  static V LoadState(const std::uint32_t* words) { return _mm512_loadu_si512(words); }
  static void StoreState(std::uint32_t* words, V v, std::uint32_t active) {
    _mm512_mask_storeu_epi32(words, static_cast<__mmask16>(active), v);
  }

  // Loads one block of each lane and transposes the 16 x 16 words: x[j] holds word j of every
  // lane. Pairs of lanes interleave words, then pairs of words, then the 128-bit quarters are
  // exchanged in two steps.
  static void LoadWords(const std::uint8_t* const* lanes, V (&x)[16]) {
    V r[16];
    for (int l = 0; l < 16; ++l) r[l] = _mm512_loadu_si512(lanes[l]);
    V t[16];
    for (int m = 0; m < 8; ++m) {
      t[2 * m] = _mm512_unpacklo_epi32(r[2 * m], r[2 * m + 1]);
      t[2 * m + 1] = _mm512_unpackhi_epi32(r[2 * m], r[2 * m + 1]);
    }
    // s[4g + k]: quarter q holds word 4q + k of lanes 4g .. 4g + 3.
    V s[16];
    for (int g = 0; g < 4; ++g) {
      const V lo0 = t[4 * g], hi0 = t[4 * g + 1], lo1 = t[4 * g + 2], hi1 = t[4 * g + 3];
      s[4 * g + 0] = _mm512_unpacklo_epi64(lo0, lo1);
      s[4 * g + 1] = _mm512_unpackhi_epi64(lo0, lo1);
      s[4 * g + 2] = _mm512_unpacklo_epi64(hi0, hi1);
      s[4 * g + 3] = _mm512_unpackhi_epi64(hi0, hi1);
    }
    // For each k, a 4 x 4 transpose of quarters: x[4q + k] gathers quarter q of s[4g + k].
    for (int k = 0; k < 4; ++k) {
      const V q01a = _mm512_shuffle_i32x4(s[k], s[4 + k], 0x44);
      const V q23a = _mm512_shuffle_i32x4(s[k], s[4 + k], 0xEE);
      const V q01b = _mm512_shuffle_i32x4(s[8 + k], s[12 + k], 0x44);
      const V q23b = _mm512_shuffle_i32x4(s[8 + k], s[12 + k], 0xEE);
      x[k] = _mm512_shuffle_i32x4(q01a, q01b, 0x88);
      x[4 + k] = _mm512_shuffle_i32x4(q01a, q01b, 0xDD);
      x[8 + k] = _mm512_shuffle_i32x4(q23a, q23b, 0x88);
      x[12 + k] = _mm512_shuffle_i32x4(q23a, q23b, 0xDD);
    }
  }
};

// Lanes 0..15 and 16..31 side by side.
struct Avx512PairOps {
  static constexpr std::size_t kLanes = 32;
  struct V {
    __m512i lo, hi;
  };
  static V Add(V a, V b) { return {Avx512Ops::Add(a.lo, b.lo), Avx512Ops::Add(a.hi, b.hi)}; }
  static V LoadRow(const std::uint32_t* row) {
    const __m512i w = Avx512Ops::LoadRow(row);
    return {w, w};
  }
  template <int S>
  static V Rotl(V a) {
    return {Avx512Ops::Rotl<S>(a.lo), Avx512Ops::Rotl<S>(a.hi)};
  }
  static V F(V b, V c, V d) {
    return {Avx512Ops::F(b.lo, c.lo, d.lo), Avx512Ops::F(b.hi, c.hi, d.hi)};
  }
  static V G(V b, V c, V d) {
    return {Avx512Ops::G(b.lo, c.lo, d.lo), Avx512Ops::G(b.hi, c.hi, d.hi)};
  }
  static V H(V b, V c, V d) {
    return {Avx512Ops::H(b.lo, c.lo, d.lo), Avx512Ops::H(b.hi, c.hi, d.hi)};
  }
  static V I(V b, V c, V d) {
    return {Avx512Ops::I(b.lo, c.lo, d.lo), Avx512Ops::I(b.hi, c.hi, d.hi)};
  }
  static V LoadState(const std::uint32_t* words) {
    return {Avx512Ops::LoadState(words), Avx512Ops::LoadState(words + 16)};
  }
  static void StoreState(std::uint32_t* words, V v, std::uint32_t active) {
    Avx512Ops::StoreState(words, v.lo, active & 0xFFFF);
    Avx512Ops::StoreState(words + 16, v.hi, active >> 16);
  }
  static void LoadWords(const std::uint8_t* const* lanes, V (&x)[16]) {
    __m512i lo[16], hi[16];
    Avx512Ops::LoadWords(lanes, lo);
    Avx512Ops::LoadWords(lanes + 16, hi);
    for (std::size_t j = 0; j < 16; ++j) x[j] = {lo[j], hi[j]};
  }
};

}  // namespace

void Md5CompressLanesAvx512(Md5LaneStates& states, const std::uint8_t* const* blocks,
                            std::uint32_t active, std::size_t count) {
  static_assert(kMd5Lanes == Avx512PairOps::kLanes);
  if ((active & 0xFFFF) != 0 && (active >> 16) != 0) {
    md5lanes::Engine<Avx512PairOps>::Run(states, blocks, active, count, 0);
  } else {
    md5lanes::Engine<Avx512Ops>::Run(states, blocks, active, count,
                                     (active & 0xFFFF) != 0 ? 0 : 16);
  }
}

#else

void Md5CompressLanesAvx512(Md5LaneStates&, const std::uint8_t* const*, std::uint32_t,
                            std::size_t) {}

#endif

}  // namespace ansicrypt::detail
