// Bitsliced DES with AVX-512: 512 blocks per batch, S-boxes of 3-input lookup gates (vpternlogq).
// This file alone is compiled for AVX-512 and is called only where the processor has it; it keeps
// to its own functions and intrinsics, so that no code shared with other files is compiled for
// AVX-512.
#include "ansicrypt/cipher/detail/des_bitslice.h"

#ifdef __AVX512F__  // the build gives this file the instruction set on x86-64 only
// GCC 12's AVX-512 headers build "undefined" vectors from themselves, which -Wmaybe-uninitialized
// and -Wuninitialized report at inlined intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "ansicrypt/cipher/detail/des_bitslice_engine.h"
#endif

namespace ansicrypt::detail {

#ifdef __AVX512F__

namespace {

struct Avx512Ops {
  using V = __m512i;
  static constexpr bool kHasLut = true;
  static V Load(const void* p) { return _mm512_loadu_si512(p); }
  static void Store(void* p, V v) { _mm512_storeu_si512(p, v); }
  static V And(V a, V b) { return _mm512_and_si512(a, b); }
  static V Or(V a, V b) { return _mm512_or_si512(a, b); }
  static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
  static V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }
  template <int Imm>
  static V Lut(V a, V b, V c) {
    return _mm512_ternarylogic_epi64(a, b, c, Imm);
  }
  static V Ones() { return _mm512_set1_epi64(-1); }
  static V Zero() { return _mm512_setzero_si512(); }
  static V Broadcast(std::int32_t word) { return _mm512_set1_epi32(word); }
  static V Splat64(std::uint64_t word) { return _mm512_set1_epi64(static_cast<long long>(word)); }
  template <int N>
  static V ShiftLeft64(V a) {
    return _mm512_slli_epi64(a, N);
  }
  template <int N>
  static V ShiftRight64(V a) {
    return _mm512_srli_epi64(a, N);
  }
};

}  // namespace

void BitslicedDesAvx512(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                        const std::int32_t* masks, int passes) {
  bitsliced::Engine<Avx512Ops>::Run(in, out, blocks, masks, passes);
}

#else

void BitslicedDesAvx512(const std::uint8_t*, std::uint8_t*, std::size_t, const std::int32_t*, int) {
}

#endif

}  // namespace ansicrypt::detail
