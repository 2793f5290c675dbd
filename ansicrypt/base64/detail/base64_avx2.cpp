// Base64 with AVX2, after W. Muła and D. Lemire, "Faster Base64 Encoding and Decoding Using AVX2
// Instructions" (ACM TWEB, 2018): 24 bytes become 32 characters per step, and back.
#include "ansicrypt/base64/detail/base64_avx2.h"

#include "ansicrypt/common/detail/simd_level.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ANSICRYPT_HAVE_AVX2_LOOPS 1
#endif

namespace ansicrypt::Base64::detail {

using ::ansicrypt::detail::SimdLevel;

#ifdef ANSICRYPT_HAVE_AVX2_LOOPS

bool HaveAvx2() { return ::ansicrypt::detail::ActiveSimdLevel() >= SimdLevel::kAvx2; }

__attribute__((target("avx2"))) std::size_t EncodeBlocksAvx2(const std::uint8_t* in, std::size_t n,
                                                             std::uint8_t* out) {
  // Per 32-bit word, the bytes b1 b0 b2 b1 of one 3-byte group.
  const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,  //
                                          1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  // Offset from a 6-bit value to its character, by range: 0..25 'A', 26..51 'a', 52..61 '0', '+',
  // '/'.
  const __m256i offsets =
      _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                       'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                       '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  std::size_t i = 0;
  for (; i + 28 <= n; i += 24, out += 32) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 12));
    const __m256i groups = _mm256_shuffle_epi8(_mm256_set_m128i(high, low), spread);
    // Move the four 6-bit fields of each group into the four bytes of its word.
    const __m256i ac = _mm256_mulhi_epu16(_mm256_and_si256(groups, _mm256_set1_epi32(0x0fc0fc00)),
                                          _mm256_set1_epi32(0x04000040));
    const __m256i bd = _mm256_mullo_epi16(_mm256_and_si256(groups, _mm256_set1_epi32(0x003f03f0)),
                                          _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(ac, bd);
    __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
    range = _mm256_or_si256(range, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    const __m256i chars = _mm256_add_epi8(_mm256_shuffle_epi8(offsets, range), values);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t DecodeBlocksAvx2(const std::uint8_t* in, std::size_t n,
                                                             std::uint8_t* out) {
  // A character is in the alphabet exactly when the classes of its low and high nibble are
  // disjoint; `shifts` turns it into its 6-bit value by its high nibble ("/" set apart).
  const __m256i lowClass =
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B,
                       0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                       0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i highClass =
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i shifts = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i slash = _mm256_set1_epi8(0x2F);
  const __m256i pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,  //
                                        2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32, out += 24) {
    const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(chars, 4), slash);
    const __m256i lowNibbles = _mm256_and_si256(chars, slash);
    const __m256i high = _mm256_shuffle_epi8(highClass, highNibbles);
    const __m256i low = _mm256_shuffle_epi8(lowClass, lowNibbles);
    if (!_mm256_testz_si256(low, high)) break;  // the caller finds and raises the error
    const __m256i isSlash = _mm256_cmpeq_epi8(chars, slash);
    const __m256i shift = _mm256_shuffle_epi8(shifts, _mm256_add_epi8(isSlash, highNibbles));
    const __m256i values = _mm256_add_epi8(chars, shift);
    // Join pairs of 6-bit values to 12 bits, pairs of those to 24, then drop every fourth byte.
    const __m256i twelve = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(twelve, _mm256_set1_epi32(0x00011000));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, pack),
                                                      _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
  }
  return i;
}

#else

bool HaveAvx2() { return false; }
std::size_t EncodeBlocksAvx2(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }
std::size_t DecodeBlocksAvx2(const std::uint8_t*, std::size_t, std::uint8_t*) { return 0; }

#endif

}  // namespace ansicrypt::Base64::detail
