// Bitsliced DES with AVX2: 256 blocks per batch, S-boxes of AND, OR, XOR and ANDNOT gates.
// This file alone is compiled for AVX2 and is called only where the processor has it; it keeps
// to its own functions and intrinsics, so that no code shared with other files is compiled for
// AVX2.
#include "ansicrypt/cipher/detail/des_bitslice.h"

#ifdef __AVX2__  // the build gives this file the instruction set on x86-64 only
// GCC 12's AVX-512 headers build "undefined" vectors from themselves, which -Wmaybe-uninitialized
// reports at every inlined intrinsic.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "ansicrypt/cipher/detail/des_bitslice_engine.h"
#endif

namespace ansicrypt::detail {

#ifdef __AVX2__

namespace {

struct Avx2Ops {
  using V = __m256i;
  static constexpr bool kHasLut = false;
  static V Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void Store(void* p, V v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
  static V Ones() { return _mm256_set1_epi64x(-1); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Broadcast(std::int32_t word) { return _mm256_set1_epi32(word); }
  static V Splat64(std::uint64_t word) { return _mm256_set1_epi64x(static_cast<long long>(word)); }
  template <int N>
  static V ShiftLeft64(V a) {
    return _mm256_slli_epi64(a, N);
  }
  template <int N>
  static V ShiftRight64(V a) {
    return _mm256_srli_epi64(a, N);
  }
};

}  // namespace

void BitslicedDesAvx2(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                      const std::int32_t* masks, int passes) {
  bitsliced::Engine<Avx2Ops>::Run(in, out, blocks, masks, passes);
}

#else

void BitslicedDesAvx2(const std::uint8_t*, std::uint8_t*, std::size_t, const std::int32_t*, int) {}

#endif

}  // namespace ansicrypt::detail
