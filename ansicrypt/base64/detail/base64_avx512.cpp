// Base64 decoding with AVX-512 VBMI: one two-register byte permutation looks up 64 characters at
// once, and for every 256 characters three more pack their 192 bytes into three whole vectors. This
// file alone is compiled for AVX-512 VBMI and is called only where the processor has it.
#include "ansicrypt/base64/detail/base64_avx512.h"

#include <array>

#include "ansicrypt/base64/detail/base64_alphabet.h"
#include "ansicrypt/common/detail/simd_level.h"

#ifdef __AVX512VBMI__  // the build gives this file the instruction set on x86-64 only
// GCC 12's AVX-512 headers build "undefined" vectors from themselves, which -Wmaybe-uninitialized
// reports at every inlined intrinsic.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace ansicrypt::Base64::detail {

#ifdef __AVX512VBMI__

namespace {

// The 6-bit value of each character code below 128, 0x80 for the others: the permutation reads
// only the low 7 bits of a code, so codes from 128 on are told apart by their own top bit.
constexpr std::array<std::uint8_t, 128> kValues = [] {
  std::array<std::uint8_t, 128> values{};
  values.fill(0x80);
  for (unsigned i = 0; i < 64; ++i)
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return values;
}();

// Four blocks give 192 bytes: three whole vectors. Output byte g comes from block g / 48, whose
// byte r = g % 48 is byte 2 - r % 3 of its 32-bit word r / 3, where the packed 24 bits lie. Vector
// k takes its bytes from blocks k and k + 1, as a two-register permutation indexes them.
constexpr std::array<std::array<std::uint8_t, 64>, 3> kMerge = [] {
  std::array<std::array<std::uint8_t, 64>, 3> merge{};
  for (unsigned k = 0; k < 3; ++k) {
    for (unsigned j = 0; j < 64; ++j) {
      const unsigned g = 64 * k + j, block = g / 48, r = g % 48;
      merge[k][j] = static_cast<std::uint8_t>(64 * (block - k) + 4 * (r / 3) + 2 - r % 3);
    }
  }
  return merge;
}();

}  // namespace

bool HaveAvx512() {
  return ::ansicrypt::detail::ActiveSimdLevel() >= ::ansicrypt::detail::SimdLevel::kAvx512;
}

std::size_t DecodeBlocksAvx512(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
  const __m512i lowHalf = _mm512_loadu_si512(kValues.data());
  const __m512i highHalf = _mm512_loadu_si512(kValues.data() + 64);
  const __m512i merge0 = _mm512_loadu_si512(kMerge[0].data());
  const __m512i merge1 = _mm512_loadu_si512(kMerge[1].data());
  const __m512i merge2 = _mm512_loadu_si512(kMerge[2].data());
  std::size_t i = 0;
  for (; i + 256 <= n; i += 256, out += 192) {
    __m512i words[4];
    __m512i foreign = _mm512_setzero_si512();
    for (int b = 0; b < 4; ++b) {
      const __m512i chars = _mm512_loadu_si512(in + i + 64 * b);
      const __m512i values = _mm512_permutex2var_epi8(lowHalf, chars, highHalf);
      // A top bit in a code or in its value: a character outside the alphabet.
      foreign = _mm512_ternarylogic_epi32(foreign, chars, values, 0xFE);  // OR of the three
      // Join pairs of 6-bit values to 12 bits, and pairs of those to 24.
      const __m512i twelve = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
      words[b] = _mm512_madd_epi16(twelve, _mm512_set1_epi32(0x00011000));
    }
    // The caller finds and raises the error, from the first of the four blocks on.
    if (_mm512_movepi8_mask(foreign) != 0) break;
    _mm512_storeu_si512(out, _mm512_permutex2var_epi8(words[0], merge0, words[1]));
    _mm512_storeu_si512(out + 64, _mm512_permutex2var_epi8(words[1], merge1, words[2]));
    _mm512_storeu_si512(out + 128, _mm512_permutex2var_epi8(words[2], merge2, words[3]));
  }
  return i;
}

#else

bool HaveAvx512() { return false; }
std::size_t DecodeBlocksAvx512(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }

#endif

}  // namespace ansicrypt::Base64::detail
