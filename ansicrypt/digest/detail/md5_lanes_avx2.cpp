// MD5 lanes 24 at a time, as three sets of eight in AVX2 registers advanced side by side: each
// step is a chain of dependent instructions, and the other sets fill one set's wait. Three sets
// hold twelve of the sixteen registers in state words and leave four for the steps' temporaries;
// four sets spill to the stack and ran at half the speed. Lanes 24-31 run as a set of their own.
// This file alone is compiled for AVX2 and is called only where the processor has it.
#include "ansicrypt/digest/detail/md5_lanes.h"

#ifdef __AVX2__  // the build gives this file the instruction set on x86-64 only
#include <immintrin.h>

#include <utility>

#include "ansicrypt/digest/detail/md5_lanes_engine.h"
#endif

namespace ansicrypt::detail {

#ifdef __AVX2__

namespace {

// Sets of eight lanes advanced side by side, one register each per word. Every operation names
// its sets with constant indices (no loops over them), so that the compiler keeps each in a
// register instead of the array in memory.
template <std::size_t N>
struct Sets {
  __m256i set[N];
};

template <std::size_t N, class Op, std::size_t... K>
Sets<N> EachSet(Op op, std::index_sequence<K...>) {
  return Sets<N>{{op(K)...}};
}

template <std::size_t N, class Op>
Sets<N> Each(Op op) {
  return EachSet<N>(op, std::make_index_sequence<N>{});
}

// Eight words, one per lane: pointers[l] + offset for lanes 0..7, transposed from eight rows.
// Pairs of lanes interleave words, then pairs of words, then the 128-bit halves are exchanged.
// Always inlined: GCC left it a call, six per block, and the copies of its results took 7% of
// `md5 -j 1`.
[[gnu::always_inline]] inline void Transpose8(const std::uint8_t* const* rows, std::size_t offset,
                                              __m256i (&out)[8]) {
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

template <std::size_t N>
struct Avx2Ops {
  static constexpr std::size_t kLanes = 8 * N;
  using V = Sets<N>;
  static V Add(const V& a, const V& b) {
    return Each<N>([&](std::size_t k) { return _mm256_add_epi32(a.set[k], b.set[k]); });
  }
  static V LoadRow(const std::uint32_t* row) {
    const __m256i words = _mm256_load_si256(reinterpret_cast<const __m256i*>(row));
    return Each<N>([&](std::size_t) { return words; });
  }
  template <int S>
  static V Rotl(const V& a) {
    return Each<N>([&](std::size_t k) {
      return _mm256_or_si256(_mm256_slli_epi32(a.set[k], S), _mm256_srli_epi32(a.set[k], 32 - S));
    });
  }
  // F chooses bits: d ^ (b & (c ^ d)), where c ^ d does not wait for the previous step's b.
  static V F(const V& b, const V& c, const V& d) {
    return Each<N>([&](std::size_t k) {
      return _mm256_xor_si256(d.set[k],
                              _mm256_and_si256(b.set[k], _mm256_xor_si256(c.set[k], d.set[k])));
    });
  }
  static V And(const V& a, const V& b) {
    return Each<N>([&](std::size_t k) { return _mm256_and_si256(a.set[k], b.set[k]); });
  }
  static V AndNot(const V& a, const V& b) {  // ~a & b
    return Each<N>([&](std::size_t k) { return _mm256_andnot_si256(a.set[k], b.set[k]); });
  }
  // b is the word the previous step made: c ^ d does not wait for it.
  static V H(const V& b, const V& c, const V& d) {
    return Each<N>([&](std::size_t k) {
      return _mm256_xor_si256(b.set[k], _mm256_xor_si256(c.set[k], d.set[k]));
    });
  }
  static V I(const V& b, const V& c, const V& d) {
    return Each<N>([&](std::size_t k) {
      const __m256i notD = _mm256_xor_si256(d.set[k], _mm256_set1_epi32(-1));
      return _mm256_xor_si256(c.set[k], _mm256_or_si256(b.set[k], notD));
    });
  }
  // Unaligned moves: the states may be on a stack that a Windows compiler does not align to 32.
  static V LoadState(const std::uint32_t* words) {
    return Each<N>([&](std::size_t k) {
      return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 8 * k));
    });
  }
  static void StoreState(std::uint32_t* words, const V& v, std::uint32_t active) {
    for (std::size_t k = 0; k < N; ++k) {
      _mm256_maskstore_epi32(reinterpret_cast<int*>(words + 8 * k), LaneMask(active >> (8 * k)),
                             v.set[k]);
    }
  }
  static void LoadWords(const std::uint8_t* const* lanes, V (&x)[16]) {
    for (std::size_t k = 0; k < N; ++k) {
      for (std::size_t half = 0; half < 2; ++half) {
        __m256i words[8];
        Transpose8(lanes + 8 * k, 32 * half, words);
        for (std::size_t j = 0; j < 8; ++j) x[8 * half + j].set[k] = words[j];
      }
    }
  }
};

}  // namespace

void Md5CompressLanesAvx2(Md5LaneStates& states, const std::uint8_t* const* blocks,
                          std::uint32_t active, std::size_t count) {
  // Lanes 0-23 as one group of as few sets as reach its last busy lane, lanes 24-31 as another.
  const std::uint32_t group = active & 0xFFFFFF;
  if (group > 0xFFFF) {
    md5lanes::Engine<Avx2Ops<3>>::Run(states, blocks, active, count, 0);
  } else if (group > 0xFF) {
    md5lanes::Engine<Avx2Ops<2>>::Run(states, blocks, active, count, 0);
  } else if (group != 0) {
    md5lanes::Engine<Avx2Ops<1>>::Run(states, blocks, active, count, 0);
  }
  if ((active >> 24) != 0) md5lanes::Engine<Avx2Ops<1>>::Run(states, blocks, active, count, 24);
}

#else

void Md5CompressLanesAvx2(Md5LaneStates&, const std::uint8_t* const*, std::uint32_t, std::size_t) {}

#endif

}  // namespace ansicrypt::detail
